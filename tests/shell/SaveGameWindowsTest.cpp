#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QWindow>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/IniDocument.h"
#include "shell/Form1.h"
#include "shell/SaveGameWindows.h"
#include "shell/TreeView.h"
#include "tests/savegame/SaveFixtures.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using shell::SavedGameLoad;
using shell::SaveGameWindows;
using testing_support::RunUntil;

// What one step of a window looked like when it was shown.
struct Glimpse {
    std::string window;
    bool mainWindowVisible;
    bool windowVisible;
    bool windowOnScreen;  // painted there already, so this step shows
    QString log;
    bool caretAtEnd;
    bool scrolledToEnd;
};

// Closing the main window as the start-up and shutdown code wires it: the
// close-time save, and the close goes ahead only when it says so.
class FormUnload : public QObject {
public:
    explicit FormUnload(shell::Form1& form) : form_(form) { form.installEventFilter(this); }
    int closes = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &form_ && event->type() == QEvent::Close) {
            ++closes;
            // As start-up does: the close goes ahead when the program is
            // ending now; a save still on its way ends it itself.
            auto ending = std::make_shared<std::optional<bool>>();
            shell::SaveAndQuit(form_, true, [ending](bool e) { *ending = e; });
            event->setAccepted(ending->value_or(false));
            return true;
        }
        return false;
    }

private:
    shell::Form1& form_;
};

class SaveGameWindowsTest : public ::testing::Test {
protected:
    SaveGameWindowsTest() {
        windows.SetEndProgram([this] { ++ends; });
        QObject::connect(&windows, &SaveGameWindows::WindowOpened, [this](shell::LogWindow* window) {
            ++opened;
            windowsOpened.emplace_back(window);
            QObject::connect(window, &shell::LogWindow::LogShown, [this, window] { Watch(*window); });
        });
        QObject::connect(&windows, &SaveGameWindows::SaveFinished, [this] { ++saves; });
    }

    // Game > "Save Game", and the wait for it to finish.
    void SaveFromTheMenu() {
        const int before = saves;
        form.Save->trigger();
        ASSERT_TRUE(RunUntil([&] { return saves > before; }));
    }

    // The save on the way out: whether the program is ending.
    std::optional<bool> Quit(bool mayAsk = true) {
        auto ending = std::make_shared<std::optional<bool>>();
        shell::SaveAndQuit(form, mayAsk, [ending](bool e) { *ending = e; });
        RunUntil([&] { return ending->has_value(); });
        return *ending;
    }

    void Watch(shell::LogWindow& window) {
        const QScrollBar* bar = window.Text1->verticalScrollBar();
        const QTextCursor caret = window.Text1->textCursor();
        const bool onScreen = window.windowHandle() && window.windowHandle()->isExposed();
        glimpses.push_back({window.objectName().toStdString(), form.isVisible(), window.isVisible(), onScreen,
                            window.Text1->toPlainText(), caret.atEnd() && !caret.hasSelection(),
                            bar->value() == bar->maximum()});
        // Half-way through the steps, a picture for a person to look at.
        if (glimpses.size() == 6) {
            testing_support::SaveScreenshot(window, window.objectName().toStdString() + "-mid-log");
        }
    }

    std::string Value(std::string_view key) const {
        const auto plain = platform::IniDocument::Parse(save_test::PlainOf(folder / "Zirc.enc"));
        return std::string(plain.Find("Data", key).value_or("(missing)"));
    }

    testing_support::TempFolder folder;
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    SaveGameWindows& windows = SaveGameWindows::Install(form, folder.Path());
    std::vector<Glimpse> glimpses;
    int opened = 0;
    std::vector<QPointer<shell::LogWindow>> windowsOpened;
    int ends = 0;
    int saves = 0;  // saves finished
};

TEST_F(SaveGameWindowsTest, TheWindowsCarryTheirNamesAndTexts) {
    shell::Form3 save(&form);
    shell::Form4 load(&form);
    EXPECT_EQ(save.objectName(), "Form3");
    EXPECT_EQ(load.objectName(), "Form4");
    EXPECT_EQ(save.Label12->text(), "Saving Game Data...");
    EXPECT_EQ(load.Label12->text(), "Loading Game Data...");
    for (const shell::LogWindow* window : {static_cast<shell::LogWindow*>(&save), static_cast<shell::LogWindow*>(&load)}) {
        EXPECT_EQ(window->Label1->text(),
                  "Termination of this process at this point in time will severley damage save game data, and "
                  "information will be lost.");
        EXPECT_EQ(window->findChild<QPlainTextEdit*>("Text1"), window->Text1);
        EXPECT_TRUE(window->Text1->isReadOnly());
    }
    save.Form_Load();
    ASSERT_TRUE(save.HasCanvas());
    // The gradient runs from white to the light grey.
    EXPECT_NE(save.Canvas().pixelColor(2, 2), save.Canvas().pixelColor(save.width() - 3, save.height() - 3));
}

// The window stands on the screen, painted, before the first step: no empty
// frame while the steps run.
TEST_F(SaveGameWindowsTest, SaveGameShowsTheStepsThenPlayGoesOn) {
    save_test::FillGame(game);
    form.show();
    form.Save->trigger();
    EXPECT_TRUE(glimpses.empty()) << "the steps wait for the window to show";
    ASSERT_TRUE(RunUntil([&] { return saves == 1; }));

    ASSERT_EQ(opened, 1);
    ASSERT_EQ(glimpses.size(), 13u);
    for (const Glimpse& g : glimpses) {
        EXPECT_EQ(g.window, "Form3");
        EXPECT_FALSE(g.mainWindowVisible);
        EXPECT_TRUE(g.windowVisible);
        EXPECT_TRUE(g.windowOnScreen);
        EXPECT_TRUE(g.caretAtEnd);
        EXPECT_TRUE(g.scrolledToEnd);
    }
    EXPECT_EQ(glimpses[0].log, "Calculating amount of owned horses.");
    EXPECT_EQ(glimpses[1].log, "Calculating amount of owned horses.DONE\nDeleting old game data.");
    EXPECT_TRUE(glimpses.back().log.endsWith("Encypting Game Data.DONE\n"));
    EXPECT_EQ(glimpses.back().log.count('\n'), 12);

    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(!windowsOpened[0] || !windowsOpened[0]->isVisible());  // closed
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(form.SaveOnClose);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(form.Notice->text(), "Game saved.");
    EXPECT_EQ(Value("Saved"), "TRUE");
    EXPECT_EQ(Value("OwnedHorses"), "4");
}

TEST_F(SaveGameWindowsTest, ASecondSaveWhileOneIsOnItsWayOpensNothing) {
    std::vector<bool> endings;
    const auto askAgain = [&] {
        form.Save->trigger();
        shell::SaveAndQuit(form, true, [&](bool ending) { endings.push_back(ending); });
    };
    QObject::connect(&windows, &SaveGameWindows::WindowOpened, [&](shell::LogWindow* window) {
        QObject::connect(window, &shell::LogWindow::LogShown, [&] {
            if (endings.size() < 2) askAgain();
        });
    });
    form.show();
    form.Save->trigger();
    askAgain();  // before the window shows
    ASSERT_TRUE(RunUntil([&] { return saves == 1; }));
    EXPECT_EQ(endings, (std::vector<bool>{false, false}));  // the close waits for the save
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(form.SaveOnClose);
    EXPECT_EQ(Value("Saved"), "TRUE");
}

TEST_F(SaveGameWindowsTest, AFailedSaveIsReportedAndTheGameGoesOn) {
    fs::create_directory(folder / "Zirc.enc");  // nothing can replace a folder
    form.show();
    SaveFromTheMenu();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Save Failed");
    EXPECT_EQ(dialogs.boxes[0].style, platform::kExclamation);
    EXPECT_EQ(dialogs.boxes[0].prompt, "The game could not be saved in " + folder.Path().string() +
                                           " (Path/File access error).\r\n"
                                           "There is no saved game there: this game has not been saved yet.");
    EXPECT_TRUE(glimpses.back().log.endsWith("Saving Contacts.DONE\nEncypting Game Data."));
    EXPECT_TRUE(form.Notice->text().isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(fs::is_directory(folder / "Zirc.enc"));
}

// What a failed save says is so: whether an earlier save is still there, and
// what the player can do.
TEST_F(SaveGameWindowsTest, AFailedSaveSaysWhetherAnEarlierSaveIsThereAndWhatToDo) {
    form.show();
    SaveFromTheMenu();  // an earlier save
    dialogs.boxes.clear();
    {
        testing_support::FileSizeLimit full(64);  // the disk fills up
        ASSERT_TRUE(full.InForce());
        SaveFromTheMenu();
    }
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].prompt, "The game could not be saved in " + folder.Path().string() +
                                           " (Disk full).\r\n"
                                           "The game last saved in Zirc.enc has not been changed.\r\n"
                                           "Free some space on its disk, then save again with Game > \"Save Game\".");
    EXPECT_EQ(Value("Saved"), "TRUE");

    // The game's folder has gone: there is no earlier save to speak of.
    shell::Form1 main(game, dialogs);
    SaveGameWindows& elsewhere = SaveGameWindows::Install(main, folder / "gone");
    int finished = 0;
    QObject::connect(&elsewhere, &SaveGameWindows::SaveFinished, [&] { ++finished; });
    dialogs.boxes.clear();
    main.show();
    main.Save->trigger();
    ASSERT_TRUE(RunUntil([&] { return finished == 1; }));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].prompt, "The game could not be saved in " + (folder / "gone").string() +
                                           " (Path not found).\r\n"
                                           "There is no saved game there: this game has not been saved yet.\r\n"
                                           "The folder is gone: make it again, then save again with Game > "
                                           "\"Save Game\".");
    EXPECT_FALSE(fs::exists(folder / "gone"));
}

TEST_F(SaveGameWindowsTest, SaveAndQuitSavesOnceAndTheCloseThatFollowsDoesNotSaveAgain) {
    FormUnload unload(form);
    form.show();
    form.close();  // the close box: the close-time save
    EXPECT_EQ(unload.closes, 1);
    EXPECT_EQ(opened, 1);
    ASSERT_TRUE(RunUntil([&] { return ends == 1; }));
    EXPECT_FALSE(form.SaveOnClose);
    EXPECT_EQ(Value("Saved"), "TRUE");
    const std::string saved = save_test::FileBytes(folder / "Zirc.enc");

    // Whatever closes the window again (the end of the program) saves nothing.
    form.show();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Quit(), true);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(save_test::FileBytes(folder / "Zirc.enc"), saved);
}

// A network race in play gives its stake back on the way out (see Quitting):
// the last save must hold that money, however the program is ended.
TEST_F(SaveGameWindowsTest, AStakeGivenBackOnTheWayOutIsInTheLastSave) {
    for (const bool mayAsk : {true, false}) {
        form.SaveOnClose = true;
        game.Money = 100;
        int quits = 0;
        const auto connection = QObject::connect(&form, &shell::Form1::Quitting, [&] {
            ++quits;
            game.Money += 2500;
        });
        EXPECT_EQ(Quit(mayAsk), true);
        EXPECT_EQ(Quit(mayAsk), true);
        QObject::disconnect(connection);
        EXPECT_EQ(quits, 1) << mayAsk;
        EXPECT_EQ(Value("Money"), "2600") << mayAsk;
    }
}

TEST_F(SaveGameWindowsTest, AFailedSaveOnTheWayOutLetsThePlayerChoose) {
    fs::create_directory(folder / "Zirc.enc");
    form.show();
    dialogs.answers = {platform::kNo};
    EXPECT_EQ(Quit(), false);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].style, platform::kYesNo | platform::kExclamation);
    EXPECT_TRUE(dialogs.boxes[0].prompt.ends_with("\r\n\r\nQuit without saving?"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.SaveOnClose);
    EXPECT_EQ(ends, 0);

    dialogs.answers = {platform::kYes};
    EXPECT_EQ(Quit(), true);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(form.SaveOnClose);
}

TEST_F(SaveGameWindowsTest, AFailedSaveWhenTheDesktopEndsTheGameAsksNothingAndEnds) {
    fs::create_directory(folder / "Zirc.enc");
    form.show();
    EXPECT_EQ(Quit(false), true);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(form.SaveOnClose);
    EXPECT_TRUE(fs::is_directory(folder / "Zirc.enc"));
}

TEST_F(SaveGameWindowsTest, NoSaveFileMeansAFreshGame) {
    EXPECT_EQ(shell::LoadSavedGame(form), SavedGameLoad::NoSavedGame);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(SaveGameWindowsTest, TheLoadFillsTheTreesAndTheCaptionAndShowsTheMainWindow) {
    core::Game saved;
    save_test::FillGame(saved);
    testing_support::RecordingDialogs quiet;
    save_test::RecordingLog log;
    ASSERT_EQ(savegame::SavedGame(quiet, folder.Path()).Save(saved, log).result, savegame::SaveResult::kSaved);

    EXPECT_EQ(shell::LoadSavedGame(form), SavedGameLoad::Loaded);
    ASSERT_EQ(opened, 1);
    ASSERT_EQ(glimpses.size(), 12u);
    for (const Glimpse& g : glimpses) {
        EXPECT_EQ(g.window, "Form4");
        EXPECT_FALSE(g.mainWindowVisible);
        EXPECT_TRUE(g.caretAtEnd);
        EXPECT_TRUE(g.scrolledToEnd);
    }
    EXPECT_TRUE(glimpses.back().log.endsWith("Deleting Temporary Files.DONE\nGame Loaded!"));
    EXPECT_FALSE(form.isVisible());  // start-up shows it when it has finished
    EXPECT_TRUE(!windowsOpened[0] || !windowsOpened[0]->isVisible());
    EXPECT_EQ(form.windowTitle(), "Trotwick - You Have Cheated 2 time(s)");
    ASSERT_EQ(form.StableTree->Count(), 4);
    EXPECT_EQ(form.StableTree->KeyAt(1), "MAIR1");
    EXPECT_EQ(form.StableTree->TextOf("MAIR1"), "Caf\xE9 \x80 Wind");
    EXPECT_EQ(form.MarketTree->Count(), 251);
    EXPECT_EQ(game.Contacts, saved.Contacts);
    EXPECT_EQ(game.Money, saved.Money);
    EXPECT_EQ(Value("Saved"), "FALSE");
    EXPECT_TRUE(form.SaveOnClose);
    EXPECT_EQ(ends, 0);
}

TEST_F(SaveGameWindowsTest, ARefusedSaveFileEndsTheProgramWithoutSaving) {
    struct Case {
        std::string bytes;
        std::string title;
    };
    std::string oldGame = "[Data]\r\nZircona=Yes\r\n";
    cipher::DABlowfish().EncryptByte(oldGame, savegame::kSaveKey);
    const Case cases[] = {{oldGame, platform::kAppTitle}, {std::string(40, 'x'), savegame::kUnreadableTitle}};
    for (const Case& c : cases) {
        shell::Form1 main(game, dialogs);
        SaveGameWindows& own = SaveGameWindows::Install(main, folder.Path());
        int ended = 0;
        own.SetEndProgram([&] { ++ended; });
        FormUnload unload(main);
        dialogs.boxes.clear();
        folder.Write("Zirc.enc", c.bytes);

        EXPECT_EQ(shell::LoadSavedGame(main), SavedGameLoad::Refused);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].title, c.title);
        EXPECT_EQ(ended, 1);
        EXPECT_FALSE(main.SaveOnClose);
        EXPECT_FALSE(main.isVisible());
        // The end of the program closes the window: no save over the file.
        main.close();
        EXPECT_EQ(unload.closes, 1);
        EXPECT_EQ(folder.Read("Zirc.enc"), c.bytes);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zirc.enc"});
    }
}

}  // namespace
