// Feeds arbitrary bytes to the INI reader. Besides not crashing, the
// document must read back from its own text what it holds in memory, and a
// value written into it must read back as the file would give it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/IniDocument.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The first line of the input names a section and a key ("section|key");
// the rest is the file.
void NamesFrom(std::string_view& data, std::string& section, std::string& key) {
    const auto end = data.find('\n');
    const std::string_view head = data.substr(0, end);
    const auto bar = head.find('|');
    section = std::string(head.substr(0, bar));
    key = bar == std::string_view::npos ? "" : std::string(head.substr(bar + 1));
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string_view data(reinterpret_cast<const char*>(bytes), size);
    std::string section, key;
    NamesFrom(data, section, key);

    platform::IniDocument ini = platform::IniDocument::Parse(data);
    const std::string text = ini.Serialize();
    const platform::IniDocument reread = platform::IniDocument::Parse(text);
    Check(reread.Serialize() == text);
    Check(ini.Find(section, key) == reread.Find(section, key));
    Check(ini.GetInt(section, key, -1) == reread.GetInt(section, key, -1));
    Check(ini.GetString(section, key, "default", 255).size() <= 254);

    // The rest of the file doubles as a value to write.
    const std::string value(data.substr(0, 300));
    if (ini.SetString(section, key, value)) {
        std::string expected = value;
        for (char& c : expected) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        const std::string_view trimmed = TrimBlanks(expected);
        Check(ini.Find(section, key) == trimmed);
        const platform::IniDocument written = platform::IniDocument::Parse(ini.Serialize());
        Check(written.Find(section, key) == trimmed);
        Check(ini.DeleteKey(section, key));
    }
    ini.DeleteSection(section);
    return 0;
}
