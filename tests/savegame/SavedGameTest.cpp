#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/Horses.h"
#include "core/TreeKeys.h"
#include "platform/IniDocument.h"
#include "runtime/Rounding.h"
#include "savegame/SaveSeal.h"
#include "savegame/SavedGame.h"
#include "savegame/modRegistry.h"
#include "tests/savegame/SaveFixtures.h"
#include "tests/support/FakePorts.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::IniDocument;
using savegame::LoadResult;
using savegame::SaveResult;
using save_test::RecordingLog;

const std::string kSaveLog =
    "Calculating amount of owned horses.DONE\r\n"
    "Deleting old game data.DONE\r\n"
    "Saving Version Restrictor.DONE\r\n"
    "Storing money.DONE\r\n"
    "Saving profile.DONE\r\n"
    "Storing amount of owned horses.DONE\r\n"
    "Saving Update Server Address.DONE\r\n"
    "Storing amount cheat attempts.DONE\r\n"
    "Storing amount of market horses.DONE\r\n"
    "Storing information on owned horses.DONE\r\n"
    "Saving Contacts.DONE\r\n"
    "Encypting Game Data.DONE\r\n";

const std::string kLoadLog =
    "Decrypting Data File.DONE\r\n"
    "Checking Version Restrictor.DONE\r\n"
    "Reading money amount.DONE\r\n"
    "Reading profile.DONE\r\n"
    "Reading amount of owned horses.DONE\r\n"
    "Loading Update Server Address.DONE\r\n"
    "Counting Cheat Attempts.DONE\r\n"
    "Generating Market Horses.DONE\r\n"
    "Retrieving Contacts.DONE\r\n"
    "Retreiving owned horses.DONE\r\n"
    "Deleting Temporary Files.DONE\r\n"
    "Game Loaded!";

// A save file as an older copy wrote it: the edition marker, the given
// lines of "Data", then the given sections.
std::string OldCopyText(const std::string& data, const std::string& sections = "") {
    return "[Data]\r\nZircona=Hell Yeah\r\n" + data + sections;
}

// A horse section: `extra` lines first, so that they win over the same keys
// after them (the first line of a key is the one read).
std::string HorseSectionText(int k, const std::string& name, const std::string& extra = "") {
    return "[OWNED" + std::to_string(k) + "]\r\n" + extra + "Name=" + name + "\r\nSpeed=40\r\n";
}

class SavedGameTest : public ::testing::Test {
protected:
    fs::path SaveFile() const { return folder / "Zirc.enc"; }

    std::string Value(std::string_view section, std::string_view key) const {
        const IniDocument plain = IniDocument::Parse(save_test::PlainOf(SaveFile()));
        return std::string(plain.Find(section, key).value_or("(missing)"));
    }

    LoadResult LoadInto(core::Game& target) {
        stable.Clear();
        market.Clear();
        dialogs.boxes.clear();
        loadLog.shown.clear();
        return files.Load(target, targets, loadLog);
    }

    // Loads a file of plain text written as an older copy would have.
    LoadResult LoadText(const std::string& plain) {
        save_test::WriteSave(SaveFile(), plain);
        return LoadInto(loaded);
    }

    void ExpectRefused(LoadResult result, const std::string& bytesBefore, const std::string& title) {
        EXPECT_TRUE(result == LoadResult::kUnreadable || result == LoadResult::kOldGame);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].title, title);
        EXPECT_EQ(save_test::FileBytes(SaveFile()), bytesBefore);
        EXPECT_EQ(loaded.Money, 777.0);  // the game is as it was
        EXPECT_TRUE(stable.nodes.empty());
        EXPECT_TRUE(market.nodes.empty());
        EXPECT_TRUE(captions.empty());
    }

    testing_support::TempFolder folder;
    testing_support::RecordingDialogs dialogs;
    savegame::SavedGame files{dialogs, folder.Path()};
    RecordingLog saveLog, loadLog;
    testing_support::MemoryTree stable, market;
    std::vector<std::string> captions;
    savegame::LoadTargets targets{stable, market, [this](const std::string& c) { captions.push_back(c); }};
    core::Game game{std::make_unique<runtime::LcgRandom>(3)};
    core::Game loaded{std::make_unique<runtime::LcgRandom>(7)};

    void SetUp() override { loaded.Money = 777; }
};

TEST_F(SavedGameTest, ARoundTripKeepsEveryFieldAndTheSlotOrder) {
    save_test::FillGame(game);
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    EXPECT_EQ(saveLog.Last(), kSaveLog);
    ASSERT_EQ(saveLog.shown.size(), 13u);  // every step shows, then the end
    for (std::size_t i = 1; i < saveLog.shown.size(); ++i) {
        EXPECT_EQ(saveLog.shown[i].rfind(saveLog.shown[i - 1], 0), 0u) << "the log only grows";
    }
    EXPECT_EQ(Value("Data", "Saved"), "TRUE");
    EXPECT_EQ(Value("Data", "OwnedHorses"), "4");

    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_EQ(loadLog.Last(), kLoadLog);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(Value("Data", "Saved"), "FALSE");

    const std::vector<core::HorseRec> expected = save_test::Compacted(game);
    for (std::size_t k = 0; k < core::kStableSlots; ++k) {
        if (k < expected.size()) {
            EXPECT_EQ(loaded.OwnedHorse[k], expected[k]) << "slot " << k;
        } else {
            ASSERT_TRUE(loaded.OwnedHorse[k].IsFree()) << "slot " << k;
        }
    }
    ASSERT_EQ(stable.nodes.size(), 4u);
    const char* keys[] = {"STUD0", "MAIR1", "STUD2", "MAIR3"};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(stable.nodes[k].key, keys[k]);
        EXPECT_EQ(stable.nodes[k].text, expected[k].Name);
        EXPECT_EQ(stable.nodes[k].image, expected[k].Colour - 100);
    }
    EXPECT_EQ(loaded.Money, 98765.25);
    EXPECT_EQ(loaded.Level, 3);
    EXPECT_EQ(loaded.LANwon, 12);
    EXPECT_EQ(loaded.LANlost, -1);
    EXPECT_EQ(loaded.LANwager, 1.5e6);
    EXPECT_EQ(loaded.Server, "games.example.org/trotwick");
    EXPECT_EQ(loaded.Cheated, 2);
    EXPECT_EQ(loaded.Contacts, game.Contacts);
    EXPECT_EQ(captions, std::vector<std::string>{"Trotwick - You Have Cheated 2 time(s)"});

    // A fresh market of 251 horses, each with its node.
    ASSERT_EQ(market.nodes.size(), 251u);
    for (int i = 0; i < core::kMarketSlots; ++i) {
        const core::HorseRec& horse = loaded.MarketHorse[static_cast<std::size_t>(i)];
        if (i >= 251) {
            ASSERT_TRUE(horse.IsFree()) << i;
            continue;
        }
        ASSERT_FALSE(horse.IsFree());
        EXPECT_EQ(market.nodes[static_cast<std::size_t>(i)].key, core::HorseKey(horse, i));
        EXPECT_EQ(market.nodes[static_cast<std::size_t>(i)].text, horse.Name);
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zirc.enc"});
}

// The boxes where these texts are typed take no more than the file gives
// back; one character more would be cut on the next load.
TEST_F(SavedGameTest, TextsAsLongAsTheBoxesTakeComeBackWholeAndLongerOnesWouldNot) {
    const std::string longest(savegame::kLongestReadValue, 'n');
    save_test::FillGame(game);
    game.OwnedHorse[0].Name = longest;
    game.OwnedHorse[0].Mother = std::string(savegame::kLongestReadValue, 'm');
    game.OwnedHorse[5].Name = longest + "x";
    game.Server = std::string(savegame::kLongestReadValue, 's');
    game.Contacts = {std::string(savegame::kLongestReadValue, 'c')};
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_EQ(loaded.OwnedHorse[0].Name, game.OwnedHorse[0].Name);
    EXPECT_EQ(loaded.OwnedHorse[0].Mother, game.OwnedHorse[0].Mother);
    EXPECT_EQ(loaded.OwnedHorse[1].Name, longest);  // cut
    EXPECT_EQ(loaded.Server, game.Server);
    EXPECT_EQ(loaded.Contacts, game.Contacts);
}

TEST_F(SavedGameTest, TheFileHoldsEveryKeyAsTheGameHasAlwaysSpeltIt) {
    game.Money = 5000.5;
    game.Level = 1;
    game.LANwon = 2;
    game.LANlost = 3;
    game.LANwager = 250;
    game.Server = "localhost/trotwick";
    game.OwnedHorse[3] = core::HorseRec{"Sea Breeze", 80, 90, 100, 40, 35, 6, 4, 120, 3, 2, 15000.75,
                                        "Dam", "???", 30, 70, 5};
    game.Contacts = {"carol"};
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);

    std::string plain = save_test::PlainOf(SaveFile());
    EXPECT_EQ(savegame::CheckSaveSeal(plain), savegame::SealState::kIntact);
    plain.replace(plain.find("Checksum=") + 9, 8, "XXXXXXXX");
    EXPECT_EQ(plain,
              "[Data]\r\nChecksum=XXXXXXXX\r\nZircona=Hell Yeah\r\nMoney=5000.5\r\nLevel=1\r\nLANwon=2\r\n"
              "LANlost=3\r\nLANwager=250\r\nOwnedHorses=1\r\nServer=localhost/trotwick\r\nCheatAttempt=0\r\n"
              "MarketHorses=0\r\nSaved=TRUE\r\n"
              "[OWNED0]\r\nFather=???\r\nColour=120\r\nMother=Dam\r\nName=Sea Breeze\r\nOddsLeft=6\r\n"
              "OddsRight=4\r\nRRP=15000.75\r\nSex=2\r\nSpeed=40\r\nStamina=35\r\nConfidence=80\r\nMoJo=3\r\n"
              "Start=30\r\nEnd=70\r\nHealth=90\r\nHealthMAX=100\r\n"
              "[CONTACTS]\r\nQauntity=1\r\nContact0=carol\r\n");
}

TEST_F(SavedGameTest, AnEmptyGameSavesNoHorseAndNoContact) {
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    const IniDocument plain = IniDocument::Parse(save_test::PlainOf(SaveFile()));
    EXPECT_EQ(plain.Find("Data", "OwnedHorses").value_or(""), "0");
    EXPECT_FALSE(plain.HasSection("OWNED0"));
    EXPECT_EQ(plain.Find("CONTACTS", "Qauntity").value_or(""), "0");
    EXPECT_FALSE(plain.Find("CONTACTS", "Contact0"));

    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_TRUE(stable.nodes.empty());
    EXPECT_TRUE(loaded.Contacts.empty());
    EXPECT_TRUE(captions.empty());  // no cheat attempts: the caption stays
}

TEST_F(SavedGameTest, LineBreaksInsideTextsCannotSplitTheirLines) {
    game.OwnedHorse[0] = save_test::Horse("Two\r\nLines", core::kMale, 1);
    game.Server = "host\nname";
    game.Contacts = {"first\rcontact", "second"};
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_EQ(loaded.OwnedHorse[0].Name, "Two  Lines");
    EXPECT_EQ(loaded.OwnedHorse[0].Speed, game.OwnedHorse[0].Speed);  // the keys after it are whole
    EXPECT_EQ(loaded.Server, "host name");
    EXPECT_EQ(loaded.Contacts, (std::vector<std::string>{"first contact", "second"}));
}

TEST_F(SavedGameTest, TheSaveWritesTheGameAsItWasWhenTheSaveBegan) {
    save_test::FillGame(game);
    RecordingLog other;
    std::vector<SaveResult> nested;
    std::vector<LoadResult> nestedLoads;
    saveLog.onShow = [&](const std::string& text) {
        if (text.size() < 40 || !nested.empty()) return;
        // Something else runs while the steps show: it changes the game and
        // asks for another save and a load.
        game.Money = 1;
        game.OwnedHorse[1] = save_test::Horse("Late Comer", core::kMale, 1);
        game.Contacts.push_back("late");
        nested.push_back(files.Save(game, other).result);
        nestedLoads.push_back(files.Load(loaded, targets, other));
    };
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    EXPECT_EQ(nested, std::vector<SaveResult>{SaveResult::kBusy});
    EXPECT_EQ(nestedLoads, std::vector<LoadResult>{LoadResult::kBusy});
    EXPECT_TRUE(other.shown.empty());
    EXPECT_EQ(Value("Data", "Money"), "98765.25");
    EXPECT_EQ(Value("Data", "OwnedHorses"), "4");
    EXPECT_EQ(Value("CONTACTS", "Qauntity"), "3");
    EXPECT_FALSE(files.Busy());
    EXPECT_EQ(files.Save(game, other).result, SaveResult::kSaved);  // and the next save runs
}

TEST_F(SavedGameTest, NoPlainDataFileEverReachesTheDisk) {
    folder.Write("Data.ini", "[Data]\r\nMoney=1\r\n");  // left by an older copy
    save_test::FillGame(game);
    std::vector<bool> plainThere;
    const auto watch = [&](const std::string&) { plainThere.push_back(fs::exists(folder / "Data.ini")); };
    saveLog.onShow = watch;
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    ASSERT_GE(plainThere.size(), 4u);
    EXPECT_TRUE(plainThere[1]);  // removed by "Deleting old game data."
    EXPECT_EQ(std::count(plainThere.begin() + 2, plainThere.end(), true), 0);

    folder.Write("Data.ini", "left over");
    plainThere.clear();
    loadLog.onShow = watch;
    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_FALSE(plainThere.back());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zirc.enc"});
}

TEST_F(SavedGameTest, ALoadAfterALoadReportsTheIncorrectTerminationOnce) {
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_TRUE(dialogs.boxes.empty());

    // The game ended without a save: the next start says so, after the log.
    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Incorrect Termination Detected");
    EXPECT_EQ(dialogs.boxes[0].style, platform::kInformation);
    EXPECT_EQ(dialogs.boxes[0].prompt,
              "Trotwick has detected that the program was closed down incorrectly last time you were playing the "
              "game.\r\nThis may have been for a number of reasons, but if it happened due to an unexpected in-game "
              "error, then Kestrane is truely sorry for any inconvinience this has caused.");
    EXPECT_EQ(loadLog.Last(), kLoadLog);

    ASSERT_EQ(files.Save(loaded, saveLog).result, SaveResult::kSaved);
    ASSERT_EQ(LoadInto(loaded), LoadResult::kLoaded);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SavedGameTest, AFileWithoutTheMarkerShowsNothing) {
    ASSERT_EQ(LoadText(OldCopyText("Money=10\r\n")), LoadResult::kLoaded);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(loaded.Money, 10.0);
    EXPECT_EQ(loaded.Server, core::kDefaultServer);  // no Server key
}

TEST_F(SavedGameTest, DataValuesThatDoNotConvertKeepTheirDefaults) {
    struct Case {
        std::string lines;
        double money;
        std::int32_t level;
        std::int32_t lanWon;
        std::int32_t cheated;
    };
    const Case cases[] = {
        {"Money=abc\r\nLevel=x\r\n", 0, 0, 0, 0},
        {"Money=1234,5\r\nLevel=2.5\r\n", 1234.5, 2, 0, 0},  // "," from a copy with that decimal point
        {"Money=-3e2\r\nLevel=3.5\r\nLANwon=99999999999\r\n", -300, 4, 0, 0},
        {"Money=\r\nLANwon=7\r\nCheatAttempt=x\r\n", 0, 0, 7, 0},
        {"CheatAttempt=-2\r\n", 0, 0, 0, -2},
    };
    for (const Case& c : cases) {
        captions.clear();
        ASSERT_EQ(LoadText(OldCopyText(c.lines)), LoadResult::kLoaded) << c.lines;
        EXPECT_EQ(loaded.Money, c.money) << c.lines;
        EXPECT_EQ(loaded.Level, c.level) << c.lines;
        EXPECT_EQ(loaded.LANwon, c.lanWon) << c.lines;
        EXPECT_EQ(loaded.Cheated, c.cheated) << c.lines;
        EXPECT_TRUE(captions.empty()) << "no caption without cheat attempts";
    }
}

TEST_F(SavedGameTest, HorseNumbersRoundTiesToEven) {
    ASSERT_EQ(LoadText(OldCopyText("OwnedHorses=1\r\n",
                                   HorseSectionText(0, "Odd Numbers", "Stamina=2.5\r\nMoJo=3.5\r\nRRP=12.25\r\n"
                                                                      "Health=-0.5\r\nStart=10\r\nEnd=90\r\n"))),
              LoadResult::kLoaded);
    const core::HorseRec& horse = loaded.OwnedHorse[0];
    EXPECT_EQ(horse.Stamina, 2);
    EXPECT_EQ(horse.MoJo, 4);
    EXPECT_EQ(horse.RRP, 12.25);
    EXPECT_EQ(horse.Health, 0);
    // Keys that are missing take the defaults.
    EXPECT_EQ(horse.Colour, 110);
    EXPECT_EQ(horse.Father, "???");
    EXPECT_EQ(horse.Mother, "???");
    EXPECT_EQ(horse.HealthMAX, 100);
    EXPECT_EQ(horse.Sex, 1);
    EXPECT_EQ(horse.OddsLeft, 1);
    EXPECT_EQ(horse.Start, 10);
    EXPECT_EQ(horse.End, 90);
}

TEST_F(SavedGameTest, HorseNumbersThatDoNotConvertMakeTheFileUnreadable) {
    const char* bad[] = {"Speed=fast", "Colour=", "RRP=1e999", "Health=99999999999", "Sex=1.0.0", "OddsRight=inf"};
    for (const char* line : bad) {
        save_test::WriteSave(SaveFile(), OldCopyText("OwnedHorses=2\r\nMoney=5\r\n",
                                                     HorseSectionText(0, "Fine Horse") +
                                                         HorseSectionText(1, "Bad Horse", std::string(line) + "\r\n")));
        const std::string before = save_test::FileBytes(SaveFile());
        ExpectRefused(LoadInto(loaded), before, savegame::kUnreadableTitle);
        EXPECT_EQ(dialogs.boxes.at(0).prompt, savegame::kUnreadableText) << line;
        EXPECT_EQ(dialogs.boxes.at(0).style, platform::kCritical);
    }
}

TEST_F(SavedGameTest, APaceOf2025IsDrawnAfresh) {
    ASSERT_EQ(LoadText(OldCopyText("OwnedHorses=3\r\n", HorseSectionText(0, "A", "Start=2025\r\nEnd=50\r\n") +
                                                           HorseSectionText(1, "B", "Start=fast\r\nEnd=50\r\n") +
                                                           HorseSectionText(2, "C", "Start=10\r\nEnd=2025\r\n"))),
              LoadResult::kLoaded);
    // The same draws as the load: 251 market horses, then one per pace.
    core::Game reference{std::make_unique<runtime::LcgRandom>(7)};
    core::HorseRec ignored;
    for (int i = 0; i < 251; ++i) core::GenerateHorse(ignored, reference.Random());
    for (int k = 0; k < 3; ++k) {
        const auto start = static_cast<std::int16_t>(runtime::Round(reference.Rnd() * 100.0f));
        EXPECT_EQ(loaded.OwnedHorse[static_cast<std::size_t>(k)].Start, start) << k;
        EXPECT_EQ(loaded.OwnedHorse[static_cast<std::size_t>(k)].End, 100 - start) << k;
    }
}

TEST_F(SavedGameTest, CountsAndSectionsOutOfRange) {
    struct Case {
        std::string count;
        int sections;
        int expectedHorses;
    };
    const Case cases[] = {{"-3", 2, 0}, {"1500", 1002, 1001}, {"40000", 2, 0}, {"1.5", 3, 2}};
    for (const Case& c : cases) {
        std::string sections;
        for (int k = 0; k < c.sections; ++k) sections += HorseSectionText(k, "Horse " + std::to_string(k));
        ASSERT_EQ(LoadText(OldCopyText("OwnedHorses=" + c.count + "\r\n", sections)), LoadResult::kLoaded);
        EXPECT_EQ(static_cast<int>(stable.nodes.size()), c.expectedHorses) << c.count;
        EXPECT_EQ(static_cast<int>(std::count_if(loaded.OwnedHorse.begin(), loaded.OwnedHorse.end(),
                                                 [](const core::HorseRec& h) { return !h.IsFree(); })),
                  c.expectedHorses)
            << c.count;
    }
}

TEST_F(SavedGameTest, ASectionWithoutANameLeavesItsSlotEmpty) {
    ASSERT_EQ(LoadText(OldCopyText("OwnedHorses=4\r\n", HorseSectionText(0, "First") + "[OWNED1]\r\nSpeed=4\r\n" +
                                                           HorseSectionText(2, "") + HorseSectionText(3, "Last"))),
              LoadResult::kLoaded);
    EXPECT_EQ(loaded.OwnedHorse[0].Name, "First");
    EXPECT_TRUE(loaded.OwnedHorse[1].IsFree());
    EXPECT_TRUE(loaded.OwnedHorse[2].IsFree());
    EXPECT_EQ(loaded.OwnedHorse[3].Name, "Last");
    ASSERT_EQ(stable.nodes.size(), 2u);
    EXPECT_EQ(stable.nodes[0].key, "STUD0");
    EXPECT_EQ(stable.nodes[1].key, "STUD3");
}

TEST_F(SavedGameTest, ContactCounts) {
    struct Case {
        std::string section;
        std::size_t size;
        std::string last;
    };
    const Case cases[] = {
        {"[CONTACTS]\r\nQauntity=2\r\nContact0=dave\r\n", 2, "???"},
        {"[CONTACTS]\r\nQauntity=-1\r\nContact0=dave\r\n", 0, ""},
        {"[CONTACTS]\r\nQauntity=many\r\nContact0=dave\r\n", 0, ""},
        {"[CONTACTS]\r\nQauntity=2000000000\r\nContact0=dave\r\n", 32767, "???"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(LoadText(OldCopyText("", c.section)), LoadResult::kLoaded);
        ASSERT_EQ(loaded.Contacts.size(), c.size) << c.section;
        if (c.size > 0) {
            EXPECT_EQ(loaded.Contacts.front(), "dave");
            EXPECT_EQ(loaded.Contacts.back(), c.last);
        }
    }
}

TEST_F(SavedGameTest, AFileFromAnOldGameIsRefusedAndLeftAsItWas) {
    for (const std::string marker : {"Zircona=hell yeah\r\n", "Zircona=HELL YEAH\r\n", "Zircona=Hell Yea\r\n", ""}) {
        save_test::WriteSave(SaveFile(), "[Data]\r\n" + marker + "Money=5\r\nSaved=FALSE\r\n");
        folder.Write("Data.ini", "left over");
        const std::string before = save_test::FileBytes(SaveFile());
        ExpectRefused(LoadInto(loaded), before, platform::kAppTitle);
        EXPECT_EQ(dialogs.boxes.at(0).prompt, "Zirc.enc file is from an old game - delete Zirc.enc and re-open game!");
        EXPECT_EQ(dialogs.boxes.at(0).style, platform::kOkOnly);
        EXPECT_EQ(loadLog.Last(), "Decrypting Data File.DONE\r\nChecking Version Restrictor.");
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zirc.enc"});
    }
}

TEST_F(SavedGameTest, DamagedFilesAreRefusedOrReadWholeNeverHalfRead) {
    save_test::FillGame(game);
    ASSERT_EQ(files.Save(game, saveLog).result, SaveResult::kSaved);
    const std::string good = save_test::FileBytes(SaveFile());
    const std::vector<core::HorseRec> horses = save_test::Compacted(game);

    std::vector<std::string> damaged;
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{8}, std::size_t{15}, std::size_t{16},
                               good.size() / 2, good.size() - 8, good.size() - 1}) {
        damaged.push_back(good.substr(0, length));
    }
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string flipped = good;
        flipped[i] = static_cast<char>(flipped[i] ^ (1 << (i % 8)));
        damaged.push_back(flipped);
    }
    for (std::size_t extra : {1, 7, 8, 9, 16, 100}) damaged.push_back(good + std::string(extra, '\0'));
    damaged.push_back(good + good);
    std::mt19937 random(11);
    for (std::size_t size : {std::size_t{16}, std::size_t{24}, std::size_t{1000}, good.size()}) {
        for (int n = 0; n < 20; ++n) {
            std::string bytes(size, '\0');
            for (char& b : bytes) b = static_cast<char>(random());
            damaged.push_back(bytes);
        }
    }

    int refused = 0;
    for (std::size_t d = 0; d < damaged.size(); ++d) {
        runtime::WriteFileAtomically(SaveFile(), damaged[d]);
        core::Game target{std::make_unique<runtime::LcgRandom>(1)};
        target.Money = 777;
        const LoadResult result = LoadInto(target);
        if (result == LoadResult::kLoaded) {
            // Only a change the text never sees (a random header word, the
            // padding) may load, and then the game is all there.
            ASSERT_EQ(target.Money, game.Money) << "case " << d;
            for (std::size_t k = 0; k < horses.size(); ++k) ASSERT_EQ(target.OwnedHorse[k], horses[k]) << d;
            ASSERT_EQ(target.Contacts, game.Contacts) << d;
            ASSERT_EQ(target.Server, game.Server) << d;
            ASSERT_EQ(target.Level, game.Level) << d;
            ASSERT_EQ(target.Cheated, game.Cheated) << d;
            continue;
        }
        ++refused;
        ASSERT_TRUE(result == LoadResult::kUnreadable || result == LoadResult::kOldGame) << "case " << d;
        ASSERT_EQ(dialogs.boxes.size(), 1u) << d;
        ASSERT_EQ(save_test::FileBytes(SaveFile()), damaged[d]) << "case " << d;
        ASSERT_EQ(target.Money, 777.0) << d;
        ASSERT_TRUE(target.OwnedHorse[0].IsFree()) << d;
    }
    EXPECT_GT(refused, static_cast<int>(damaged.size()) * 9 / 10);
}

TEST_F(SavedGameTest, AMissingFileIsNothingToLoad) {
    EXPECT_EQ(LoadInto(loaded), LoadResult::kNoSaveFile);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(loadLog.shown.empty());
    EXPECT_TRUE(folder.Names().empty());
}

TEST_F(SavedGameTest, AFileThatCannotBeReadAtAllIsRefused) {
    fs::create_directory(SaveFile());  // a folder where the file should be
    ExpectRefused(LoadInto(loaded), "", savegame::kUnreadableTitle);
    EXPECT_TRUE(fs::is_directory(SaveFile()));
}

TEST(SaveSeal, TheChecksumIsCrc32) {
    EXPECT_EQ(savegame::Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(savegame::Crc32(""), 0u);
    // Split anywhere, the sum goes on where it stopped.
    const std::string text(1000, 'q');
    EXPECT_EQ(savegame::Crc32(text.substr(3), savegame::Crc32(text.substr(0, 3))), savegame::Crc32(text));
}

TEST(SaveSeal, AnySingleChangeToASealedTextBreaksIt) {
    std::string text = "[Data]\r\nZircona=Hell Yeah\r\nMoney=5\r\n[OWNED0]\r\nName=Sea Breeze\r\n";
    savegame::SealSaveText(text);
    ASSERT_EQ(text.rfind("[Data]\r\nChecksum=", 0), 0u);
    ASSERT_EQ(savegame::CheckSaveSeal(text), savegame::SealState::kIntact);
    std::string resealed = text;
    savegame::SealSaveText(resealed);  // renewing keeps one line
    EXPECT_EQ(resealed, text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string changed = text;
            changed[i] = static_cast<char>(changed[i] ^ (1 << bit));
            // Either the check line is gone (and so is "[Data]" or its own key) or it fails.
            const auto state = savegame::CheckSaveSeal(changed);
            if (i < 17) {
                EXPECT_NE(state, savegame::SealState::kIntact) << i;
            } else {
                EXPECT_EQ(state, savegame::SealState::kBroken) << i << " bit " << bit;
            }
        }
    }
    EXPECT_EQ(savegame::CheckSaveSeal("[Data]\r\nZircona=Hell Yeah\r\n"), savegame::SealState::kNone);
    std::string foreign = "; a comment\r\n[Data]\r\n";
    savegame::SealSaveText(foreign);
    EXPECT_EQ(foreign, "; a comment\r\n[Data]\r\n");
}

}  // namespace
