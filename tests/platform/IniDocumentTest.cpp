#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/IniDocument.h"
#include "runtime/Text.h"

namespace {

using platform::IniDocument;

// A file as a person or an older program might have left it: a comment
// before the first section, blanks and tabs around names and values, an
// empty value, a value holding "=", accented names, and blank lines.
const char kHandWritten[] =
    "; written by hand\r\n"
    "Stray=before any section\r\n"
    "[Data]\r\n"
    "Money=5000\r\n"
    "  Level =  3  \r\n"
    "\tName\t=\tSea Breeze\t\r\n"
    "Empty=\r\n"
    "Formula=a=b\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[ OWNED0 ]\r\n"
    "Name=Caf\xE9\r\n"
    "\r\n"
    "[Owned\xC9]\r\n"
    "Key=accented section\r\n";

struct LookupCase {
    const char* section;
    const char* key;
    std::optional<std::string> value;
};

TEST(IniDocument, FindsNamesWithoutRegardToCaseOrBlanks) {
    const IniDocument ini = IniDocument::Parse(kHandWritten);
    const LookupCase cases[] = {
        {"Data", "Money", "5000"},
        {"DATA", "money", "5000"},
        {"data", "LEVEL", "3"},
        {"  Data\t", " Level ", "3"},
        {"Data", "Name", "Sea Breeze"},
        {"Data", "Empty", ""},
        {"Data", "Formula", "a=b"},
        {"owned0", "NAME", "Caf\xE9"},
        {"OWNED\xE9", "key", "accented section"},  // é and É are one letter in two cases
        {"Data", "Missing", std::nullopt},
        {"Nowhere", "Money", std::nullopt},
        {"OWNED0", "Money", std::nullopt},          // keys stay in their own section
        {"Data", "no equals sign here", std::nullopt},
        {"", "Stray", std::nullopt},                // lines before the first section belong to none
    };
    for (const auto& c : cases) {
        const auto found = ini.Find(c.section, c.key);
        ASSERT_EQ(found.has_value(), c.value.has_value()) << c.section << "/" << c.key;
        if (found) {
            EXPECT_EQ(std::string(*found), *c.value) << c.section << "/" << c.key;
        }
    }
    EXPECT_TRUE(ini.HasSection("owned0"));
    EXPECT_FALSE(ini.HasSection("OWNED1"));
}

TEST(IniDocument, KeepsEveryLineItDoesNotChange) {
    EXPECT_EQ(IniDocument::Parse(kHandWritten).Serialize(), kHandWritten);
}

TEST(IniDocument, ReadsAnyLineBreakAndWritesCrLf) {
    const char* inputs[] = {
        "[A]\r\nx=1\r\ny=2",
        "[A]\nx=1\ny=2\n",
        "[A]\rx=1\ry=2\r",
        "[A]\r\nx=1\ny=2\r",
    };
    for (const char* input : inputs) {
        const IniDocument ini = IniDocument::Parse(input);
        EXPECT_EQ(ini.Find("A", "y").value_or("<missing>"), "2") << input;
        EXPECT_EQ(ini.Serialize(), "[A]\r\nx=1\r\ny=2\r\n") << input;
    }
    EXPECT_EQ(IniDocument::Parse("").Serialize(), "");
    EXPECT_EQ(IniDocument::Parse("[A]\r\n\r\n").Serialize(), "[A]\r\n\r\n");
}

TEST(IniDocument, ReplacesAValueInItsOwnLine) {
    IniDocument ini = IniDocument::Parse(kHandWritten);
    ASSERT_TRUE(ini.SetString("data", "LEVEL", "4"));
    ASSERT_TRUE(ini.SetString("Data", "Empty", "now full"));
    std::string expected = kHandWritten;
    // The key keeps the spelling it has in the file; only its line changes.
    expected.replace(expected.find("  Level =  3  "), 14, "Level=4");
    expected.replace(expected.find("Empty="), 6, "Empty=now full");
    EXPECT_EQ(ini.Serialize(), expected);
}

TEST(IniDocument, PutsNewKeysAtTheEndOfTheirSectionAndNewSectionsAtTheEnd) {
    IniDocument ini = IniDocument::Parse(
        "[Data]\r\n"
        "Money=1\r\n"
        "; end of money\r\n"
        "\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1\r\n");
    ASSERT_TRUE(ini.SetString("Data", "Level", "2"));
    ASSERT_TRUE(ini.SetString("Other", "y", "2"));
    ASSERT_TRUE(ini.SetString(" New ", "z", "3"));
    ASSERT_TRUE(ini.SetString("new", "w", "4"));
    EXPECT_EQ(ini.Serialize(),
              "[Data]\r\n"
              "Money=1\r\n"
              "; end of money\r\n"
              "Level=2\r\n"
              "\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=1\r\n"
              "y=2\r\n"
              "[New]\r\n"
              "z=3\r\n"
              "w=4\r\n");
}

TEST(IniDocument, BuildsAFileFromNothingInWritingOrder) {
    IniDocument ini;
    ini.SetString("Data", "Zircona", "Hell Yeah");
    ini.SetString("Data", "Money", "5000");
    ini.SetString("OWNED0", "Name", "Sea Breeze");
    ini.SetString("Data", "Saved", "TRUE");
    EXPECT_EQ(ini.Serialize(),
              "[Data]\r\nZircona=Hell Yeah\r\nMoney=5000\r\nSaved=TRUE\r\n"
              "[OWNED0]\r\nName=Sea Breeze\r\n");
}

TEST(IniDocument, CarriesEveryByteOfAValue) {
    // Every byte but the line breaks, with text at both ends so that no
    // blank is trimmed away.
    std::string value = "<";
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') value += static_cast<char>(b);
    }
    value += ">";
    IniDocument ini;
    ASSERT_TRUE(ini.SetString("Bytes", "All", value));
    ASSERT_TRUE(ini.SetString("Bytes", "After", "still here"));
    const IniDocument reread = IniDocument::Parse(ini.Serialize());
    EXPECT_EQ(reread.Find("Bytes", "All").value_or(""), value);
    EXPECT_EQ(reread.Find("Bytes", "After").value_or(""), "still here");
}

TEST(IniDocument, WritesLineBreaksInsideAValueAsBlanks) {
    IniDocument ini;
    ASSERT_TRUE(ini.SetString("Contacts", "Contact0", "Ann\r\nInjected=1\rx\ny"));
    ASSERT_TRUE(ini.SetString("Contacts", "Contact1", "Bob"));
    EXPECT_EQ(ini.Find("Contacts", "Contact0").value_or(""), "Ann  Injected=1 x y");
    const IniDocument reread = IniDocument::Parse(ini.Serialize());
    EXPECT_EQ(reread.Find("Contacts", "Contact0").value_or(""), "Ann  Injected=1 x y");
    EXPECT_FALSE(reread.Find("Contacts", "Injected").has_value());
    EXPECT_EQ(reread.Find("Contacts", "Contact1").value_or(""), "Bob");
}

TEST(IniDocument, RefusesKeysTheFileCouldNotGiveBack) {
    IniDocument ini = IniDocument::Parse("[A]\r\nx=1\r\n");
    for (const char* key : {"a=b", "=", "[Section]", "  [x"}) {
        EXPECT_FALSE(ini.SetString("A", key, "v")) << key;
    }
    EXPECT_EQ(ini.Serialize(), "[A]\r\nx=1\r\n");
    EXPECT_TRUE(ini.SetString("A", "x[1]", "v"));  // "[" further in is harmless
    EXPECT_EQ(ini.Find("A", "x[1]").value_or(""), "v");
}

TEST(IniDocument, ReadsAndWritesTheFirstOfTwoSameNames) {
    IniDocument ini = IniDocument::Parse(
        "[A]\r\nk=first\r\nk=second\r\n"
        "[a]\r\nk=other section\r\nonly=here\r\n");
    EXPECT_EQ(ini.Find("A", "k").value_or(""), "first");
    EXPECT_FALSE(ini.Find("A", "only").has_value());
    ASSERT_TRUE(ini.SetString("A", "K", "changed"));
    EXPECT_EQ(ini.Serialize(),
              "[A]\r\nk=changed\r\nk=second\r\n"
              "[a]\r\nk=other section\r\nonly=here\r\n");
    ASSERT_TRUE(ini.DeleteKey("A", "k"));
    EXPECT_EQ(ini.Find("A", "k").value_or(""), "second");
    ASSERT_TRUE(ini.DeleteSection("A"));
    EXPECT_EQ(ini.Find("A", "only").value_or(""), "here");
}

TEST(IniDocument, ReadsTheFirstOfTwoSameKeysInALargeSection) {
    std::string text = "[Big]\r\n";
    for (int i = 0; i < 100; ++i) text += "Key" + std::to_string(i) + "=first" + std::to_string(i) + "\r\n";
    text += "KEY7=second\r\nkey99=second\r\n";
    IniDocument ini = IniDocument::Parse(text);
    EXPECT_EQ(ini.Find("Big", "key7").value_or(""), "first7");
    EXPECT_EQ(ini.Find("Big", "Key99").value_or(""), "first99");
    ASSERT_TRUE(ini.SetString("Big", "Key7", "changed"));
    ASSERT_TRUE(ini.SetString("Big", "Key100", "new"));
    EXPECT_EQ(ini.Find("Big", "KEY7").value_or(""), "changed");
    ASSERT_TRUE(ini.DeleteKey("Big", "Key7"));
    EXPECT_EQ(ini.Find("Big", "Key7").value_or(""), "second");
    const std::string written = ini.Serialize();
    EXPECT_NE(written.find("Key6=first6\r\nKey8=first8\r\n"), std::string::npos);
    EXPECT_NE(written.find("key99=second\r\nKey100=new\r\n"), std::string::npos);
}

TEST(IniDocument, DeletesKeysAndSections) {
    IniDocument ini = IniDocument::Parse("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n[C]\r\nw=4\r\n");
    EXPECT_TRUE(ini.DeleteKey("a", "X"));
    EXPECT_FALSE(ini.DeleteKey("A", "x"));
    EXPECT_FALSE(ini.DeleteKey("Nowhere", "x"));
    EXPECT_TRUE(ini.DeleteSection("b"));
    EXPECT_FALSE(ini.DeleteSection("B"));
    EXPECT_EQ(ini.Serialize(), "[A]\r\ny=2\r\n[C]\r\nw=4\r\n");
    // Sections after a deleted one are still found, and written to.
    EXPECT_EQ(ini.Find("C", "w").value_or(""), "4");
    ASSERT_TRUE(ini.SetString("C", "v", "5"));
    ASSERT_TRUE(ini.SetString("B", "z", "6"));
    EXPECT_EQ(ini.Serialize(), "[A]\r\ny=2\r\n[C]\r\nw=4\r\nv=5\r\n[B]\r\nz=6\r\n");
}

TEST(IniDocument, CutsValuesToTheBuffer) {
    IniDocument ini;
    for (std::size_t length : {253u, 254u, 255u, 300u}) {
        ini.SetString("Long", "L" + std::to_string(length), std::string(length - 1, 'x') + "y");
    }
    // Each value ends in "y": a read that is cut ends in "x".
    struct Case {
        const char* key;
        std::size_t size;
        char last;
    };
    for (const Case c : {Case{"L253", 253, 'y'}, Case{"L254", 254, 'y'}, Case{"L255", 254, 'x'}, Case{"L300", 254, 'x'}}) {
        const std::string read = ini.GetString("Long", c.key, "", 255);
        EXPECT_EQ(read.size(), c.size) << c.key;
        EXPECT_EQ(read.back(), c.last) << c.key;
    }
    // The whole value is kept; only the read is cut.
    EXPECT_EQ(ini.Find("Long", "L300")->size(), 300u);
    EXPECT_EQ(ini.GetString("Long", "Missing", std::string(300, 'd'), 255), std::string(254, 'd'));
    EXPECT_EQ(ini.GetString("Long", "Missing", "???", 255), "???");
    EXPECT_EQ(ini.GetString("Long", "L253", "", 0), "");
}

TEST(IniDocument, ReadsWholeNumbersAsTheProfileFunctionDoes) {
    IniDocument ini = IniDocument::Parse(
        "[N]\r\na=42\r\nb=-7\r\nc=+5\r\nd=12abc\r\ne=abc\r\nf=\r\ng=99999999999\r\nh=-99999999999\r\n"
        "i=0x10\r\nj=2.9\r\nk=-\r\n");
    const std::pair<const char*, std::int32_t> cases[] = {
        {"a", 42}, {"b", -7}, {"c", 5},
        {"d", 12},             // the digits at the start count
        {"e", 0},              // a value that is no number is 0...
        {"f", -1},             // ...but an empty one is not there at all
        {"g", INT32_MAX}, {"h", INT32_MIN},
        {"i", 0}, {"j", 2}, {"k", 0},
        {"missing", -1},
    };
    for (const auto& [key, expected] : cases) EXPECT_EQ(ini.GetInt("N", key, -1), expected) << key;
}

// Random writes and deletions against a plain model of what the file must
// hold; after every step the document must serialize to the model's bytes
// and read back the same from its own text.
class ModelFile {
public:
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        Entry& s = SectionFor(section);
        const std::string v = Sanitized(value);
        for (auto& [name, current] : s.keys) {
            if (Fold(name) == Fold(key)) {
                current = v;
                return;
            }
        }
        s.keys.emplace_back(Trimmed(Sanitized(key)), v);
    }
    void DeleteKey(const std::string& section, const std::string& key) {
        for (auto& s : sections_) {
            if (Fold(s.name) != Fold(section)) continue;
            for (auto it = s.keys.begin(); it != s.keys.end(); ++it) {
                if (Fold(it->first) == Fold(key)) {
                    s.keys.erase(it);
                    return;
                }
            }
            return;
        }
    }
    void DeleteSection(const std::string& section) {
        for (auto it = sections_.begin(); it != sections_.end(); ++it) {
            if (Fold(it->name) == Fold(section)) {
                sections_.erase(it);
                return;
            }
        }
    }
    std::string Bytes() const {
        std::string out;
        for (const auto& s : sections_) {
            out += "[" + s.name + "]\r\n";
            for (const auto& [k, v] : s.keys) out += k + "=" + v + "\r\n";
        }
        return out;
    }
    std::optional<std::string> Find(const std::string& section, const std::string& key) const {
        for (const auto& s : sections_) {
            if (Fold(s.name) != Fold(section)) continue;
            for (const auto& [k, v] : s.keys) {
                if (Fold(k) == Fold(key)) return std::string(Trimmed(v));
            }
            return std::nullopt;
        }
        return std::nullopt;
    }

    static std::string Trimmed(std::string text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.erase(0, 1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
        return text;
    }

private:
    struct Entry {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    static std::string Sanitized(std::string text) {
        for (char& c : text) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        return text;
    }
    static std::string Fold(const std::string& name) { return runtime::UpperCase(Trimmed(Sanitized(name))); }
    Entry& SectionFor(const std::string& section) {
        for (auto& s : sections_) {
            if (Fold(s.name) == Fold(section)) return s;
        }
        sections_.push_back({Trimmed(Sanitized(section)), {}});
        return sections_.back();
    }
    std::vector<Entry> sections_;
};

// `sectionDeletes`: how many steps in a thousand delete a whole section.
// Every `checkEvery` steps all names are looked up, in the document and in
// its own text read back.
void CheckAgainstModel(const std::vector<std::string>& keys, int steps, unsigned sectionDeletes, int checkEvery) {
    std::mt19937 random(20240611);
    const std::vector<std::string> sections = {"Data", "DATA", " data ", "OWNED0", "owned0", "Owned\xC9", "OWNED\xE9",
                                               "CONTACTS", "a]b", "[x]"};
    const std::string valueBytes = std::string("ab \t\r\n=[];\xA3\xE9\x80\xFF") + '\0';
    auto pick = [&](const auto& list) { return list[random() % list.size()]; };

    IniDocument ini;
    ModelFile model;
    for (int step = 0; step < steps; ++step) {
        const std::string section = pick(sections);
        const std::string key = pick(keys);
        const unsigned action = random() % 1000;
        if (action < sectionDeletes) {
            ini.DeleteSection(section);
            model.DeleteSection(section);
        } else if (action < 750) {
            std::string value;
            const std::size_t length = random() % 12;
            for (std::size_t i = 0; i < length; ++i) value += valueBytes[random() % valueBytes.size()];
            ASSERT_TRUE(ini.SetString(section, key, value));
            model.Set(section, key, value);
        } else {
            ini.DeleteKey(section, key);
            model.DeleteKey(section, key);
        }
        const std::string bytes = ini.Serialize();
        ASSERT_EQ(bytes, model.Bytes()) << "step " << step;
        if (step % checkEvery != 0) continue;
        const IniDocument reread = IniDocument::Parse(bytes);
        ASSERT_EQ(reread.Serialize(), bytes) << "step " << step;
        for (const auto& s : sections) {
            for (const auto& k : keys) {
                const auto expected = model.Find(s, k);
                const auto inMemory = ini.Find(s, k);
                const auto fromFile = reread.Find(s, k);
                ASSERT_EQ(inMemory.has_value(), expected.has_value()) << "step " << step;
                ASSERT_EQ(fromFile.has_value(), expected.has_value()) << "step " << step;
                if (expected) {
                    ASSERT_EQ(std::string(*inMemory), *expected) << "step " << step;
                    ASSERT_EQ(std::string(*fromFile), *expected) << "step " << step;
                }
            }
        }
    }
}

TEST(IniDocument, AgreesWithAPlainModelUnderRandomEdits) {
    CheckAgainstModel({"Money", "MONEY", " money\t", "Name", "Contact0", "contact0", "\xE9t\xE9", "\xC9T\xC9", "", "x[1]",
                       "Line\nBreak"},
                      3000, 100, 1);
}

TEST(IniDocument, AgreesWithThePlainModelInSectionsOfManyKeys) {
    // Enough names that a section outgrows the scan and gets an index.
    std::vector<std::string> keys;
    for (int i = 0; i < 80; ++i) {
        keys.push_back("Contact" + std::to_string(i));
        if (i % 4 == 0) keys.push_back(" CONTACT" + std::to_string(i));
    }
    CheckAgainstModel(keys, 4000, 3, 10);
}

}  // namespace
