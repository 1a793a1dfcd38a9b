#include "platform/IniDocument.h"

#include <array>
#include <limits>

#include "platform/AtomicFile.h"
#include "runtime/Text.h"

namespace platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsBlankLine(std::string_view text) { return TrimBlanks(text).empty(); }

bool HasLineBreak(std::string_view text) {
    for (char c : text) {
        if (c == '\r' || c == '\n') return true;
    }
    return false;
}

// A line break inside a name or value would end its line in the file and
// turn the rest into a line of its own; it is written as a blank instead.
std::string WithoutLineBreaks(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

// Upper case of every byte, taken once from the runtime's Windows-1252 rules.
std::array<unsigned char, 256> MakeUpperTable() {
    std::string all(256, '\0');
    for (int b = 0; b < 256; ++b) all[static_cast<std::size_t>(b)] = static_cast<char>(b);
    const std::string upper = runtime::UpperCase(all);
    std::array<unsigned char, 256> table{};
    for (std::size_t b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(upper[b]);
    return table;
}
const std::array<unsigned char, 256> kUpper = MakeUpperTable();

// A name asked for, as the file would give it back: line breaks as blanks
// (as a write makes them) and blanks around it ignored. Copies only when
// the name holds a line break.
class LookupName {
public:
    explicit LookupName(std::string_view name) {
        if (!HasLineBreak(name)) {
            view_ = TrimBlanks(name);
        } else {
            storage_ = WithoutLineBreaks(name);
            view_ = TrimBlanks(storage_);
        }
    }
    LookupName(const LookupName&) = delete;
    LookupName& operator=(const LookupName&) = delete;
    std::string_view View() const { return view_; }

private:
    std::string storage_;
    std::string_view view_;
};

std::uint32_t Offset(std::string_view inner, std::string_view outer) {
    return static_cast<std::uint32_t>(inner.data() - outer.data());
}

}  // namespace

std::size_t IniDocument::NameHash::operator()(std::string_view name) const noexcept {
    std::size_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : name) {
        hash ^= kUpper[static_cast<unsigned char>(c)];
        hash *= 1099511628211ull;
    }
    return hash;
}

bool IniDocument::NameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (kUpper[static_cast<unsigned char>(a[i])] != kUpper[static_cast<unsigned char>(b[i])]) return false;
    }
    return true;
}

bool IniDocument::IsSectionHeader(std::string_view text, std::string_view* name) {
    const std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty() || trimmed.front() != '[') return false;
    std::string_view inner = trimmed.substr(1);
    // The last "]" closes the name, so a name holding "]" reads back whole.
    if (const auto close = inner.rfind(']'); close != std::string_view::npos) inner = inner.substr(0, close);
    if (name) *name = TrimBlanks(inner);
    return true;
}

IniDocument::Line IniDocument::ParseLine(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string_view whole(line.text);
    const auto equals = whole.find('=');
    if (equals == std::string_view::npos) return line;
    const std::string_view key = TrimBlanks(whole.substr(0, equals));
    const std::string_view value = TrimBlanks(whole.substr(equals + 1));
    line.isKey = true;
    line.keyBegin = key.empty() ? 0 : Offset(key, whole);
    line.keyLength = static_cast<std::uint32_t>(key.size());
    line.valueBegin = value.empty() ? 0 : Offset(value, whole);
    line.valueLength = static_cast<std::uint32_t>(value.size());
    return line;
}

void IniDocument::AppendLine(std::string text) {
    if (IsSectionHeader(text, nullptr)) {
        Section section;
        section.header = std::move(text);
        sections_.push_back(std::move(section));
    } else {
        sections_.back().lines.push_back(ParseLine(std::move(text)));
    }
}

namespace {
// Sections with more keys than this get a hash index besides the scan.
constexpr std::size_t kScanLimit = 48;
}  // namespace

std::optional<std::size_t> IniDocument::Section::FindKey(std::string_view key) const {
    if (bigIndex) {
        const auto found = bigIndex->find(key);
        if (found == bigIndex->end()) return std::nullopt;
        return found->second;
    }
    const std::size_t hash = NameHash{}(key);
    for (const KeyRef& ref : keys) {
        if (ref.hash == hash && NameEqual{}(lines[ref.line].Key(), key)) return ref.line;
    }
    return std::nullopt;
}

void IniDocument::Section::AddKey(std::size_t line) {
    const std::string_view key = lines[line].Key();
    keys.push_back({NameHash{}(key), line});
    if (bigIndex) {
        bigIndex->try_emplace(std::string(key), line);
    } else if (keys.size() > kScanLimit) {
        bigIndex = std::make_unique<NameIndex>();
        for (const KeyRef& ref : keys) bigIndex->try_emplace(std::string(lines[ref.line].Key()), ref.line);
    }
}

void IniDocument::IndexSection(std::size_t index) {
    Section& section = sections_[index];
    section.keys.clear();
    section.bigIndex.reset();
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        if (section.lines[i].isKey) section.AddKey(i);
    }
}

void IniDocument::IndexNames() {
    index_.clear();
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        std::string_view name;
        IsSectionHeader(sections_[i].header, &name);
        index_.try_emplace(std::string(name), i);  // the first of two same-named sections is the one read
    }
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument document;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        document.AppendLine(std::string(bytes.substr(start, end - start)));
        if (end == bytes.size()) break;
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    }
    document.IndexNames();
    for (std::size_t i = 1; i < document.sections_.size(); ++i) document.IndexSection(i);
    return document;
}

std::string IniDocument::Serialize() const {
    std::size_t size = 0;
    for (const Section& section : sections_) {
        if (!section.header.empty()) size += section.header.size() + 2;
        for (const Line& line : section.lines) size += line.text.size() + 2;
    }
    std::string out;
    out.reserve(size);
    for (const Section& section : sections_) {
        if (!section.header.empty()) out.append(section.header).append("\r\n");
        for (const Line& line : section.lines) out.append(line.text).append("\r\n");
    }
    return out;
}

std::error_code IniDocument::Load(const std::filesystem::path& file, IniDocument& document) {
    std::string bytes;
    if (const std::error_code error = ReadFileBytes(file, bytes)) {
        document = IniDocument();
        return error;
    }
    document = Parse(bytes);
    return {};
}

std::error_code IniDocument::Save(const std::filesystem::path& file) const {
    return WriteFileAtomically(file, Serialize());
}

const IniDocument::Section* IniDocument::FindSection(std::string_view section) const {
    const LookupName name(section);
    const auto found = index_.find(name.View());
    return found == index_.end() ? nullptr : &sections_[found->second];
}

IniDocument::Section* IniDocument::FindSection(std::string_view section) {
    const LookupName name(section);
    const auto found = index_.find(name.View());
    return found == index_.end() ? nullptr : &sections_[found->second];
}

const IniDocument::Line* IniDocument::FindLine(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (!found) return nullptr;
    const LookupName name(key);
    const auto line = found->FindKey(name.View());
    return line ? &found->lines[*line] : nullptr;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section, std::string_view key) const {
    const Line* line = FindLine(section, key);
    if (!line) return std::nullopt;
    return line->Value();
}

bool IniDocument::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::string IniDocument::GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                   std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    const std::string_view value = Find(section, key).value_or(defaultValue);
    return std::string(value.substr(0, bufferSize - 1));
}

std::int32_t IniDocument::GetInt(std::string_view section, std::string_view key, std::int32_t defaultValue) const {
    const auto value = Find(section, key);
    if (!value || value->empty()) return defaultValue;
    std::string_view text = *value;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        number = number * 10 + (c - '0');
        if (number > kLimit) number = kLimit;  // keeps the sum small; clamped below
    }
    if (negative) number = -number;
    if (number > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(number);
}

bool IniDocument::SetString(std::string_view section, std::string_view key, std::string_view value) {
    const LookupName keyName(key);
    const std::string_view keyText = keyName.View();
    // Such a key would read back as another key, or as a section header.
    if (keyText.find('=') != std::string::npos || (!keyText.empty() && keyText.front() == '[')) return false;

    Section* target = FindSection(section);
    if (!target) {
        const LookupName name(section);
        Section created;
        created.header.reserve(name.View().size() + 2);
        created.header.append("[").append(name.View()).append("]");
        sections_.push_back(std::move(created));
        index_.emplace(std::string(name.View()), sections_.size() - 1);
        target = &sections_.back();
    }

    // The line as it will stand in the file: key, "=", value.
    auto lineFor = [&value](std::string_view name) {
        std::string text;
        text.reserve(name.size() + 1 + value.size());
        text.append(name).append("=").append(value);
        for (std::size_t i = name.size() + 1; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') text[i] = ' ';
        }
        return ParseLine(std::move(text));
    };
    if (const auto existing = target->FindKey(keyText)) {
        Line& line = target->lines[*existing];
        // The key keeps its place and the spelling it has in the file.
        line = lineFor(line.Key());
        return true;
    }
    // After the section's last line with text, so that blank lines that part
    // it from the next section stay where they are.
    std::size_t at = target->lines.size();
    while (at > 0 && IsBlankLine(target->lines[at - 1].text)) --at;
    target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(at), lineFor(keyText));
    target->AddKey(at);
    return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
    Section* found = FindSection(section);
    if (!found) return false;
    const LookupName name(key);
    const auto line = found->FindKey(name.View());
    if (!line) return false;
    found->lines.erase(found->lines.begin() + static_cast<std::ptrdiff_t>(*line));
    IndexSection(static_cast<std::size_t>(found - sections_.data()));
    return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
    const LookupName name(section);
    const auto found = index_.find(name.View());
    if (found == index_.end()) return false;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(found->second));
    IndexNames();
    return true;
}

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferSize) {
    IniDocument document;
    IniDocument::Load(file, document);  // an unreadable file reads as an empty one
    return document.GetString(section, key, defaultValue, bufferSize);
}

std::int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::int32_t defaultValue) {
    IniDocument document;
    IniDocument::Load(file, document);
    return document.GetInt(section, key, defaultValue);
}

std::error_code WriteProfileString(const std::filesystem::path& file, std::string_view section,
                                   std::optional<std::string_view> key, std::optional<std::string_view> value) {
    const bool deleting = !key || !value;
    IniDocument document;
    if (const std::error_code error = IniDocument::Load(file, document)) {
        // A file that is there but cannot be read must not be replaced by
        // one that lacks its contents.
        if (error != std::errc::no_such_file_or_directory) return error;
        if (deleting) return {};
    }
    bool changed = false;
    if (!key) {
        changed = document.DeleteSection(section);
    } else if (!value) {
        changed = document.DeleteKey(section, *key);
    } else {
        if (!document.SetString(section, *key, *value)) return std::make_error_code(std::errc::invalid_argument);
        changed = true;
    }
    return changed ? document.Save(file) : std::error_code{};
}

}  // namespace platform
