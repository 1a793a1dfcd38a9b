#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/IniDocument.h"
#include "platform/Registry.h"
#include "savegame/modRegistry.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

using platform::IniDocument;
using platform::RegKey;
using savegame::kStatusBadName;
using savegame::kStatusDone;
using savegame::kStatusNotConverted;
using savegame::kStatusNothingDone;
using savegame::modRegistry;
using savegame::RootKey;
using savegame::SettingValue;
using testing_support::TempFolder;

TEST(RootKeyFromName, NamesARootInAnyCaseOrAnExistingFile) {
    TempFolder folder;
    folder.Write("Data.ini", "");
    std::filesystem::create_directory(folder / "Folder.ini");
    const std::string file = (folder / "Data.ini").string();
    const std::pair<std::string, RootKey> cases[] = {
        {"HKCU", {RootKey::Kind::kRegistry, platform::kHkeyCurrentUser}},
        {"hkcu", {RootKey::Kind::kRegistry, platform::kHkeyCurrentUser}},
        {"HkLm", {RootKey::Kind::kRegistry, platform::kHkeyLocalMachine}},
        {"HKU", {RootKey::Kind::kRegistry, platform::kHkeyUsers}},
        {"hkdd", {RootKey::Kind::kRegistry, platform::kHkeyDynData}},
        {"HKCC", {RootKey::Kind::kRegistry, platform::kHkeyCurrentConfig}},
        {"HKCR", {RootKey::Kind::kRegistry, platform::kHkeyClassesRoot}},
        {file, {RootKey::Kind::kIniFile, 0}},
        {"HKEY_CURRENT_USER", {}},
        {" HKCU", {}},
        {(folder / "Missing.ini").string(), {}},
        {(folder / "Folder.ini").string(), {}},  // a folder is no INI file
        {"", {}},
    };
    for (const auto& [root, expected] : cases) {
        const RootKey key = modRegistry::RootKeyFromName(root);
        EXPECT_EQ(key.kind, expected.kind) << root;
        EXPECT_EQ(key.key, expected.key) << root;
    }
}

// Values as a saved game may hold them, and some it should not.
const std::string kValues =
    "[Data]\r\n"
    "Money=3751.5\r\n"
    "Level=2.5\r\n"
    "Odd=3.5\r\n"
    "Big=40000\r\n"
    "Huge=3000000000\r\n"
    "Text=abc\r\n"
    "Comma=3751,5\r\n"
    "Grouped=1,000,000\r\n"
    "Exponent=1E+15\r\n"
    "Negative=-12\r\n"
    "Flag=True\r\n"
    "Zero=0\r\n"
    "Blank=\r\n"
    "Long=" + std::string(299, 'x') + "y\r\n";

// Reads a key both ways (from a document in memory and from the file by
// its path); both must agree.
class StoreReads : public ::testing::Test {
protected:
    StoreReads() {
        folder_.Write("Data.ini", kValues);
        ini_ = IniDocument::Parse(kValues);
    }

    template <class T>
    std::pair<T, std::int32_t> Read(const char* key, const SettingValue& defaultValue, T start = T{}) {
        T fromDocument = start;
        T fromFile = start;
        const std::int32_t status = modRegistry::ReadValue(ini_, "Data", key, "S", defaultValue, fromDocument);
        const std::int32_t fileStatus =
            store_.ReadValue((folder_ / "Data.ini").string(), "Data", key, "S", defaultValue, fromFile);
        EXPECT_EQ(fromFile, fromDocument) << key;
        EXPECT_EQ(fileStatus, status) << key;
        return {fromDocument, status};
    }

    TempFolder folder_;
    IniDocument ini_;
    modRegistry store_;
};

template <class T>
struct ReadCase {
    const char* key;
    SettingValue defaultValue;
    T value;
    std::int32_t status;
};

TEST_F(StoreReads, ConvertsToAFloatingPointReceiver) {
    const ReadCase<double> cases[] = {
        {"Money", 0, 3751.5, kStatusDone},
        {"Comma", 0, 3751.5, kStatusDone},  // written where "," is the decimal point
        {"Exponent", 0, 1e15, kStatusDone},
        {"Negative", 0, -12, kStatusDone},
        {"Missing", 2.5, 2.5, kStatusDone},
        {"Missing", "7", 7, kStatusDone},
        {"Text", 0, 0, kStatusNotConverted},  // keeps the default
        {"Text", 7.5, 7.5, kStatusNotConverted},
        {"Grouped", 1, 1, kStatusNotConverted},
        {"Blank", 1, 1, kStatusNotConverted},
    };
    for (const auto& c : cases) {
        const auto [value, status] = Read<double>(c.key, c.defaultValue, -99);
        EXPECT_EQ(value, c.value) << c.key;
        EXPECT_EQ(status, c.status) << c.key;
    }
    EXPECT_EQ(Read<float>("Money", 0).first, 3751.5f);
}

TEST_F(StoreReads, RoundsFractionsIntoWholeNumbersTiesToEven) {
    const ReadCase<std::int32_t> cases[] = {
        {"Level", 0, 2, kStatusDone},  // 2.5
        {"Odd", 0, 4, kStatusDone},    // 3.5
        {"Money", 0, 3752, kStatusDone},
        {"Negative", 0, -12, kStatusDone},
        {"Big", 0, 40000, kStatusDone},
        {"Huge", 5, 5, kStatusNotConverted},  // beyond 32 bits
        {"Flag", 0, 0, kStatusNotConverted},
        {"Missing", 110, 110, kStatusDone},
        {"Missing", "110", 110, kStatusDone},
    };
    for (const auto& c : cases) {
        const auto [value, status] = Read<std::int32_t>(c.key, c.defaultValue, -99);
        EXPECT_EQ(value, c.value) << c.key;
        EXPECT_EQ(status, c.status) << c.key;
    }
    const ReadCase<std::int16_t> shorts[] = {
        {"Level", 0, 2, kStatusDone},
        {"Negative", 0, -12, kStatusDone},
        {"Big", 2025, 2025, kStatusNotConverted},  // beyond 16 bits
        {"Missing", 2025, 2025, kStatusDone},
    };
    for (const auto& c : shorts) {
        const auto [value, status] = Read<std::int16_t>(c.key, c.defaultValue, -99);
        EXPECT_EQ(value, c.value) << c.key;
        EXPECT_EQ(status, c.status) << c.key;
    }
}

TEST_F(StoreReads, GivesTextAsItIsCutTo254Characters) {
    const ReadCase<std::string> cases[] = {
        {"Money", "", "3751.5", kStatusDone},
        {"Text", "???", "abc", kStatusDone},
        {"Blank", "???", "", kStatusDone},
        {"Missing", "???", "???", kStatusDone},
        {"Missing", 0, "0", kStatusDone},  // a numeric default as text
        {"Missing", 2.5, "2.5", kStatusDone},
        {"Missing", true, "True", kStatusDone},
        {"Missing", SettingValue(), "", kStatusDone},
        {"Long", "", std::string(254, 'x'), kStatusDone},
        {"Missing", std::string(300, 'd'), std::string(254, 'd'), kStatusDone},
    };
    for (const auto& c : cases) {
        const auto [value, status] = Read<std::string>(c.key, c.defaultValue, "before");
        EXPECT_EQ(value, c.value) << c.key;
        EXPECT_EQ(status, c.status) << c.key;
    }
}

TEST_F(StoreReads, ReadsTruthValues) {
    const ReadCase<bool> cases[] = {
        {"Flag", false, true, kStatusDone},
        {"Zero", true, false, kStatusDone},
        {"Negative", false, true, kStatusDone},
        {"Text", true, true, kStatusNotConverted},
        {"Missing", true, true, kStatusDone},
    };
    for (const auto& c : cases) {
        const auto [value, status] = Read<bool>(c.key, c.defaultValue);
        EXPECT_EQ(value, c.value) << c.key;
        EXPECT_EQ(status, c.status) << c.key;
    }
}

TEST_F(StoreReads, ADefaultThatDoesNotFitLeavesTheReceiverAlone) {
    std::int32_t count = 42;
    EXPECT_EQ(modRegistry::ReadValue(ini_, "Data", "Missing", "S", "???", count), kStatusNotConverted);
    EXPECT_EQ(count, 42);
    // A value that converts still arrives.
    EXPECT_EQ(modRegistry::ReadValue(ini_, "Data", "Negative", "S", "???", count), kStatusDone);
    EXPECT_EQ(count, -12);
    // With the default omitted a missing key gives the receiver's zero.
    EXPECT_EQ(modRegistry::ReadValue(ini_, "Data", "Missing", "S", count), kStatusDone);
    EXPECT_EQ(count, 0);
}

TEST_F(StoreReads, TakeTheTypeInEitherCaseAndReadWholeNumbersForDAndB) {
    std::string text;
    EXPECT_EQ(modRegistry::ReadValue(ini_, "data", "TEXT", "s", "", text), kStatusDone);
    EXPECT_EQ(text, "abc");

    IniDocument ini = IniDocument::Parse("[N]\r\nCount=12 horses\r\nOn=1\r\nOff=0\r\nEmpty=\r\n");
    std::int32_t number = 0;
    EXPECT_EQ(modRegistry::ReadValue(ini, "N", "Count", "D", 5, number), kStatusDone);
    EXPECT_EQ(number, 12);
    EXPECT_EQ(modRegistry::ReadValue(ini, "N", "Empty", "d", 5, number), kStatusDone);
    EXPECT_EQ(number, 5);
    bool flag = false;
    EXPECT_EQ(modRegistry::ReadValue(ini, "N", "On", "B", false, flag), kStatusDone);
    EXPECT_TRUE(flag);
    EXPECT_EQ(modRegistry::ReadValue(ini, "N", "Off", "b", true, flag), kStatusDone);
    EXPECT_FALSE(flag);
    // Another type reads nothing and leaves the default.
    EXPECT_EQ(modRegistry::ReadValue(ini, "N", "Count", "X", 5, number), kStatusDone);
    EXPECT_EQ(number, 5);
}

TEST(StoreRoots, ARootThatIsNoRootAndNoFileDoesNothing) {
    TempFolder folder;
    modRegistry store;
    const std::string missing = (folder / "Data.ini").string();
    std::string text = "before";
    EXPECT_EQ(store.ReadValue(missing, "Data", "Name", "S", "???", text), kStatusNothingDone);
    EXPECT_EQ(text, "???");
    EXPECT_EQ(store.WriteValue(missing, "Data", "Name", "S", "x"), kStatusNothingDone);
    EXPECT_EQ(store.WriteValue("HKEY_CURRENT_USER", "Software", "Name", "S", "x"), kStatusNothingDone);
    EXPECT_TRUE(folder.Names().empty());  // nothing created
}

TEST(StoreWrites, WriteTheOrdinaryTextOfEachValue) {
    IniDocument ini;
    const std::pair<SettingValue, const char*> cases[] = {
        {3751.5, "3751.5"},
        {0.1, "0.1"},
        {1e15, "1E+15"},
        {std::int32_t{-7}, "-7"},
        {std::int16_t{2025}, "2025"},
        {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
        {true, "True"},
        {false, "False"},
        {"Hell Yeah", "Hell Yeah"},
        {std::string("Caf\xE9"), "Caf\xE9"},
        {SettingValue(), ""},
    };
    int i = 0;
    for (const auto& [value, text] : cases) {
        const std::string key = "K" + std::to_string(i++);
        ASSERT_EQ(modRegistry::WriteValue(ini, "Data", key, "S", value), kStatusDone) << text;
        EXPECT_EQ(ini.Find("Data", key).value_or("<missing>"), text);
    }
}

TEST(StoreWrites, WriteOnlyTextIntoAnIniFile) {
    IniDocument ini;
    for (const char* type : {"B", "D", "X", "", "SS"}) {
        EXPECT_EQ(modRegistry::WriteValue(ini, "Data", "Money", type, 1), kStatusNothingDone) << type;
    }
    EXPECT_EQ(ini.Serialize(), "");
    EXPECT_EQ(modRegistry::WriteValue(ini, "Data", "Money", "s", 1), kStatusDone);
    EXPECT_EQ(modRegistry::WriteValue(ini, "Data", "Bad=Key", "S", 1), kStatusBadName);
    EXPECT_EQ(ini.Serialize(), "[Data]\r\nMoney=1\r\n");
}

TEST(StoreWrites, RewriteAnExistingFileOneValueAtATime) {
    TempFolder folder;
    folder.Write("Data.ini", "[Data]\r\nMoney=1\r\n");
    const std::string file = (folder / "Data.ini").string();
    modRegistry store;
    EXPECT_EQ(store.WriteValue(file, "Data", "Money", "S", 3751.5), kStatusDone);
    EXPECT_EQ(store.WriteValue(file, "OWNED0", "Name", "S", "Sea Breeze"), kStatusDone);
    EXPECT_EQ(store.WriteValue(file, "Data", "Saved", "S", "TRUE"), kStatusDone);
    EXPECT_EQ(store.WriteValue(file, "Data", "Level", "D", 1), kStatusNothingDone);
    EXPECT_EQ(folder.Read("Data.ini"), "[Data]\r\nMoney=3751.5\r\nSaved=TRUE\r\n[OWNED0]\r\nName=Sea Breeze\r\n");
    double money = 0;
    EXPECT_EQ(store.ReadValue(file, "Data", "Money", "S", 0, money), kStatusDone);
    EXPECT_EQ(money, 3751.5);
}

TEST(StoreWrites, AFailedWriteIsReportedAndTheOldFileStaysWhole) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "ro");
    const char old[] = "[Data]\r\nMoney=1\r\n";
    folder.Write("ro/Data.ini", old);
    std::filesystem::permissions(folder / "ro", std::filesystem::perms(0555));
    const std::string file = (folder / "ro" / "Data.ini").string();
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        modRegistry store;
        return store.WriteValue(file, "Data", "Money", "S", 2);
    });
    if (result == testing_support::kChildSetupFailed) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, 5);  // access denied
    EXPECT_EQ(folder.Read("ro/Data.ini"), old);
    EXPECT_EQ(folder.Names("ro"), std::vector<std::string>{"Data.ini"});
}

TEST(StoreWrites, AFullDiskIsReportedAndTheOldFileStaysWhole) {
    TempFolder folder;
    const char old[] = "[Data]\r\nMoney=1\r\n";
    folder.Write("Data.ini", old);
    const std::string file = (folder / "Data.ini").string();
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::LimitFileSize(64)) return testing_support::kChildSetupFailed;
        modRegistry store;
        return store.WriteValue(file, "Data", "Name", "S", std::string(200, 'n'));
    });
    ASSERT_NE(result, testing_support::kChildSetupFailed);
    EXPECT_EQ(result, 223);  // file too large, as a full disk refuses it
    EXPECT_EQ(folder.Read("Data.ini"), old);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Data.ini"});
}

TEST(StoreWrites, FileErrorsBecomeWindowsCodes) {
    const std::pair<std::errc, std::int32_t> cases[] = {
        {std::errc::no_such_file_or_directory, 2},
        {std::errc::not_a_directory, 3},
        {std::errc::permission_denied, 5},
        {std::errc::read_only_file_system, 5},
        {std::errc::no_space_on_device, 112},
        {std::errc::file_too_large, 223},
        {std::errc::io_error, 31},
    };
    for (const auto& [error, code] : cases) {
        EXPECT_EQ(savegame::StatusForFileError(std::make_error_code(error)), code) << static_cast<int>(error);
    }
}

// The registry side: every text and every 32-bit number comes back exactly.
class StoreRegistry : public ::testing::Test {
protected:
    platform::Registry registry_;
    modRegistry store_{registry_};
};

TEST_F(StoreRegistry, GivesBackEveryTextExactly) {
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    const std::vector<std::string> texts = {
        "", "a", "Hell Yeah", "  blanks kept  ", everyByte, std::string(300, 'x'), std::string("nul\0inside", 10),
    };
    for (const auto& text : texts) {
        ASSERT_EQ(store_.WriteValue("HKCU", "Software\\Trotwick", "Server", "S", text), kStatusDone);
        std::string read = "before";
        EXPECT_EQ(store_.ReadValue("hkcu", "SOFTWARE\\trotwick", "server", "s", "???", read), kStatusDone);
        EXPECT_EQ(read, text);
    }
    EXPECT_EQ(registry_.OpenKeyCount(), 0u);
}

TEST_F(StoreRegistry, GivesBackEvery32BitNumberExactly) {
    for (std::int32_t n : {0, 1, -1, 32767, -32768, 32768, 70000, -70000, std::numeric_limits<std::int32_t>::max(),
                           std::numeric_limits<std::int32_t>::min()}) {
        ASSERT_EQ(store_.WriteValue("HKLM", "Numbers", "N", "D", n), kStatusDone) << n;
        std::int32_t read = 12345;
        EXPECT_EQ(store_.ReadValue("HKLM", "Numbers", "N", "D", 0, read), kStatusDone);
        EXPECT_EQ(read, n);
    }
    // Text and fractions are converted first: ties to even, 32 bits or nothing.
    ASSERT_EQ(store_.WriteValue("HKLM", "Numbers", "N", "D", "2.5"), kStatusDone);
    std::int32_t read = 0;
    store_.ReadValue("HKLM", "Numbers", "N", "D", 0, read);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(store_.WriteValue("HKLM", "Numbers", "N", "D", "3000000000"), kStatusNotConverted);
    EXPECT_EQ(store_.WriteValue("HKLM", "Numbers", "N", "D", "abc"), kStatusNotConverted);
    store_.ReadValue("HKLM", "Numbers", "N", "D", 0, read);
    EXPECT_EQ(read, 2);  // the refused writes changed nothing
}

TEST_F(StoreRegistry, KeepsTruthValuesInTwoBytes) {
    ASSERT_EQ(store_.WriteValue("HKU", "Flags", "On", "B", true), kStatusDone);
    ASSERT_EQ(store_.WriteValue("HKU", "Flags", "Off", "B", "False"), kStatusDone);
    RegKey key = 0;
    ASSERT_EQ(registry_.OpenKey(platform::kHkeyUsers, "Flags", platform::kKeyQueryValue, key), 0);
    char bytes[2] = {};
    std::uint32_t type = 0;
    std::uint32_t size = sizeof bytes;
    ASSERT_EQ(registry_.QueryValue(key, "On", &type, bytes, &size), 0);
    EXPECT_EQ(type, platform::kRegBinary);
    EXPECT_EQ(std::string(bytes, size), "\xFF\xFF");  // true is all bits set
    registry_.CloseKey(key);

    bool on = false;
    bool off = true;
    std::int32_t asNumber = 0;
    EXPECT_EQ(store_.ReadValue("HKU", "Flags", "On", "B", false, on), kStatusDone);
    EXPECT_EQ(store_.ReadValue("HKU", "Flags", "Off", "B", true, off), kStatusDone);
    EXPECT_EQ(store_.ReadValue("HKU", "Flags", "On", "B", 0, asNumber), kStatusDone);
    EXPECT_TRUE(on);
    EXPECT_FALSE(off);
    EXPECT_EQ(asNumber, -1);
    EXPECT_EQ(store_.WriteValue("HKU", "Flags", "On", "B", "maybe"), kStatusNotConverted);
}

TEST_F(StoreRegistry, ReportsTheRegistryErrorAndKeepsTheDefault) {
    std::string text = "before";
    EXPECT_EQ(store_.ReadValue("HKCR", "Missing\\Key", "Name", "S", "???", text), platform::kErrorFileNotFound);
    EXPECT_EQ(text, "???");
    ASSERT_EQ(store_.WriteValue("HKCR", "Key", "Number", "D", 5), kStatusDone);
    EXPECT_EQ(store_.ReadValue("HKCR", "Key", "Name", "S", "???", text), platform::kErrorFileNotFound);
    // A value of another type does not pass for text, nor text for a number.
    EXPECT_EQ(store_.ReadValue("HKCR", "Key", "Number", "S", "???", text), kStatusNotConverted);
    EXPECT_EQ(text, "???");
    ASSERT_EQ(store_.WriteValue("HKCR", "Key", "Name", "S", "12"), kStatusDone);
    std::int32_t number = 7;
    EXPECT_EQ(store_.ReadValue("HKCR", "Key", "Name", "D", 7, number), kStatusNotConverted);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(store_.ReadValue("HKCR", "\\Key", "Name", "S", "", text), platform::kErrorBadPathname);
    // Another type creates the key and writes nothing.
    EXPECT_EQ(store_.WriteValue("HKCC", "Other", "Name", "X", 5), kStatusDone);
    EXPECT_EQ(store_.ReadValue("HKCC", "Other", "Name", "S", "", text), platform::kErrorFileNotFound);
    EXPECT_EQ(registry_.OpenKeyCount(), 0u);
}

TEST_F(StoreRegistry, SharesOneRegistryBetweenStores) {
    modRegistry other(registry_);
    ASSERT_EQ(store_.WriteValue("HKDD", "Shared", "Name", "S", "seen"), kStatusDone);
    std::string text;
    EXPECT_EQ(other.ReadValue("HKDD", "Shared", "Name", "S", "", text), kStatusDone);
    EXPECT_EQ(text, "seen");
    // A store of its own starts empty.
    modRegistry alone;
    EXPECT_EQ(alone.ReadValue("HKDD", "Shared", "Name", "S", "???", text), platform::kErrorFileNotFound);
}

}  // namespace
