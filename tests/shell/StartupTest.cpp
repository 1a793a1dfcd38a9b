#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "core/Products.h"
#include "core/TreeKeys.h"
#include "platform/InstanceLock.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/Startup.h"
#include "shell/TracksPanel.h"
#include "shell/TreeView.h"
#include "tests/support/RecordingDialogs.h"

namespace {

using shell::Form1;
using shell::LoadOutcome;
using shell::Panel;
using shell::Startup;
namespace fs = std::filesystem;

// Records the boxes and lets a test act while one is open (a modal box runs
// the event loop, so anything may happen then).
class WatchingDialogs final : public platform::Dialogs {
public:
    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        if (whileOpen) whileOpen(prompt);
        return recorder.MsgBox(prompt, style, title);
    }
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        return recorder.InputBox(prompt, title, defaultText);
    }
    testing_support::RecordingDialogs recorder;
    std::function<void(const std::string&)> whileOpen;
};

// The game's generator, counting how often it is reseeded.
class CountingRandom final : public runtime::RandomSource {
public:
    float Rnd() override { return inner.Rnd(); }
    void Randomize() override { ++randomized; }
    runtime::LcgRandom inner{4242};
    int randomized = 0;
};

// Lock names of this process's tests; their files are removed at the end.
std::vector<std::string>& UsedLockNames() {
    static std::vector<std::string> names;
    return names;
}

std::string UniqueLockName() {
    UsedLockNames().push_back("trotwick-test-" + std::to_string(::getpid()) + "-startup-" +
                              std::to_string(UsedLockNames().size()));
    return UsedLockNames().back();
}

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

class StartupTest : public ::testing::Test {
protected:
    StartupTest() {
        settings.InstanceName = UniqueLockName();
        settings.ProgramFolder = programFolder.path().toStdString();
        settings.GameFolder = gameFolder.path().toStdString();
    }
    ~StartupTest() override {
        form.reset();  // lets go of the lock
        std::error_code error;
        for (const auto& name : UsedLockNames()) fs::remove(platform::LockFilePath(name), error);
        UsedLockNames().clear();
    }

    // Builds the window and the start-up with the settings as they are now.
    void Build() {
        form.reset();
        game.reset();
        auto random = std::make_unique<CountingRandom>();
        rnd = random.get();
        game = std::make_unique<core::Game>(std::move(random));
        form = std::make_unique<Form1>(*game, dialogs);
        tracks = new shell::TracksPanel(*form);
        startup = new Startup(*form, *tracks, settings);
        startup->Seams.EndProcess = [this](int code) { ended.push_back(code); };
        startup->Seams.SaveOnExit = [this](bool mayAsk, std::function<void(bool)> done) {
            asked.push_back(mayAsk);
            done(++saves > 0);
        };
        startup->Seams.LoadHiddenWindows = [this] { calls.push_back("hidden windows"); };
        startup->Seams.ConnectLiveUpdate = [this](const std::string& s) { calls.push_back("live update " + s); };
        startup->Seams.ConnectChat = [this](const std::string& s) { calls.push_back("chat " + s); };
    }

    const std::vector<testing_support::RecordingDialogs::Box>& Boxes() const { return dialogs.recorder.boxes; }

    QTemporaryDir programFolder;
    QTemporaryDir gameFolder;
    shell::StartupSettings settings;
    WatchingDialogs dialogs;
    CountingRandom* rnd = nullptr;
    std::unique_ptr<core::Game> game;
    std::unique_ptr<Form1> form;
    shell::TracksPanel* tracks = nullptr;
    Startup* startup = nullptr;
    std::vector<int> ended;
    std::vector<std::string> calls;
    int saves = 0;
    std::vector<bool> asked;  // what each save on the way out was allowed
};

TEST_F(StartupTest, AFreshStartInAnEmptyFolderSetsUpAWholeGame) {
    Build();
    std::size_t marketAtTheBox = 0;
    bool timersAtTheBox = true;
    dialogs.whileOpen = [&](const std::string&) {
        marketAtTheBox = static_cast<std::size_t>(form->MarketTree->Count());
        timersAtTheBox = form->Timer("Timer1").Enabled() || form->Timer("NoticeTim").Enabled();
    };
    ASSERT_TRUE(startup->Form_Load());

    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].title, "Notice");
    EXPECT_EQ(Boxes()[0].style, platform::kInformation);
    EXPECT_EQ(Boxes()[0].prompt,
              "FIREWALL NOTICE!\r\n\r\nIf this is the first time you have used Trotwick, then your firewall may try "
              "and block Trotwick from accessing the internet.\r\nBy allowing Trotwick to have internet access, you "
              "are enabling the LAN racing feature, Live Updates, and the Leader's Board. If you block Trotwick, "
              "none of these three features will work.");
    EXPECT_EQ(marketAtTheBox, 251u);  // the box comes after the market exists
    EXPECT_FALSE(timersAtTheBox);     // and no timer runs on a half-made game

    EXPECT_EQ(form->ProgramVersion, 29);
    EXPECT_EQ(rnd->randomized, 1);
    EXPECT_EQ(game->Money, 5000);
    EXPECT_EQ(game->Server, "localhost");
    EXPECT_EQ(game->Cheated, 0);
    EXPECT_EQ(form->windowTitle(), "Trotwick");
    ASSERT_EQ(form->MarketTree->Count(), 251);
    for (int i = 0; i < 251; ++i) {
        const std::string key = form->MarketTree->KeyAt(i);
        EXPECT_EQ(key, core::HorseKey(game->MarketHorse[static_cast<std::size_t>(i)], i));
        EXPECT_EQ(key.substr(0, 4), game->MarketHorse[static_cast<std::size_t>(i)].Sex == 1 ? "STUD" : "MAIR");
    }
    for (const auto& h : game->TrackHorse) EXPECT_FALSE(h.Name.empty());
    std::vector<std::string> legal, illegal;
    for (const auto& p : core::kProducts) (p.shop == core::Shop::Pharmacy ? legal : illegal).emplace_back(p.key);
    for (std::size_t i = 0; i < legal.size(); ++i) EXPECT_EQ(form->legal->KeyAt(static_cast<int>(i)), legal[i]);
    for (std::size_t i = 0; i < illegal.size(); ++i) EXPECT_EQ(form->illegal->KeyAt(static_cast<int>(i)), illegal[i]);
    EXPECT_FALSE(tracks->Command1->isEnabled());
    EXPECT_TRUE(tracks->Command3->isEnabled());
    EXPECT_EQ(calls, (std::vector<std::string>{"hidden windows", "live update localhost", "chat localhost"}));
    EXPECT_TRUE(form->Timer("LiveUpdate").Enabled());
    for (const char* timer : {"NoticeTim", "Timer1", "Timer4", "Timer5", "Timer2", "Connecti"}) {
        EXPECT_TRUE(form->Timer(timer).Enabled()) << timer;
    }
    EXPECT_FALSE(form->Timer("MoveHorses").Enabled());
    EXPECT_EQ(form->FrontPanel(), Panel::Tracks);
    EXPECT_EQ(form->Notice->text(), "Welcome To Trotwick");
    EXPECT_EQ(form->Label11->text(), QString::fromUtf8("Money: \u00A35,000"));
    EXPECT_FALSE(form->isVisible());  // shown last, by the splash's tick
    EXPECT_EQ(startup->CurrentStage(), Startup::Stage::Playing);
    EXPECT_TRUE(ended.empty());
}

TEST_F(StartupTest, TheSplashTickShowsTheWindowLastAndOnce) {
    Build();
    int ready = 0;
    QObject::connect(startup, &Startup::Ready, [&] { ++ready; });
    dialogs.whileOpen = [&](const std::string&) { EXPECT_FALSE(form->isVisible()); };
    startup->ShowMainWindow();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ready, 1);
    startup->ShowMainWindow();
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(StartupTest, ASavedGameInTheGameFolderIsLoadedInsteadOfAFreshGame) {
    Touch(fs::path(settings.GameFolder) / "Zirc.enc");
    Build();
    std::vector<fs::path> loaded;
    startup->Seams.LoadSavedGame = [&](const fs::path& file) {
        loaded.push_back(file);
        game->Money = 1234;
        game->Server = "";
        return LoadOutcome::Restored;
    };
    ASSERT_TRUE(startup->Form_Load());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0], fs::path(settings.GameFolder) / "Zirc.enc");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(game->Money, 1234);
    EXPECT_EQ(form->MarketTree->Count(), 0);  // the loader makes its own market
    for (const auto& h : game->TrackHorse) EXPECT_FALSE(h.Name.empty());
    // no server: no connections, the watchdog still runs
    EXPECT_EQ(calls, std::vector<std::string>{"hidden windows"});
    EXPECT_TRUE(form->Timer("LiveUpdate").Enabled());
    EXPECT_EQ(form->Notice->text(), "Welcome To Trotwick");
}

TEST_F(StartupTest, TheLoaderDecidesWhetherAFreshGameStartsOrTheProgramEnds) {
    Touch(fs::path(settings.GameFolder) / "Zirc.enc");
    Build();
    startup->Seams.LoadSavedGame = [](const fs::path&) { return LoadOutcome::StartFresh; };
    ASSERT_TRUE(startup->Form_Load());
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(form->MarketTree->Count(), 251);

    Build();
    startup->Seams.LoadSavedGame = [](const fs::path&) { return LoadOutcome::EndProgram; };
    startup->ShowMainWindow();
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(game->TrackHorse[0].Name, "");
    EXPECT_EQ(form->Notice->text(), "");
}

TEST_F(StartupTest, OnlyTheGameFolderCounts) {
    Touch(fs::path(settings.ProgramFolder) / "Zirc.enc");
    Build();
    bool loaderCalled = false;
    startup->Seams.LoadSavedGame = [&](const fs::path&) { return loaderCalled = true, LoadOutcome::Restored; };
    ASSERT_TRUE(startup->Form_Load());
    EXPECT_FALSE(loaderCalled);
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(StartupTest, ALeftOverPatchIsRemovedButNeverStopsTheStart) {
    const fs::path patch = fs::path(settings.ProgramFolder) / "Patch.exe";
    Touch(patch);
    Build();
    ASSERT_TRUE(startup->Form_Load());
    EXPECT_FALSE(fs::exists(patch));

    // a folder of that name is no patch: it stays, and the game starts
    fs::create_directory(patch);
    Touch(patch / "inside");
    settings.InstanceName = UniqueLockName();
    Build();
    EXPECT_TRUE(startup->Form_Load());
    EXPECT_TRUE(fs::exists(patch / "inside"));
}

TEST_F(StartupTest, ASecondCopyShowsTheBoxAndTouchesNothing) {
    const fs::path patch = fs::path(settings.ProgramFolder) / "Patch.exe";
    Touch(patch);
    platform::InstanceLock firstCopy(settings.InstanceName);
    ASSERT_EQ(firstCopy.Acquire(), platform::InstanceLock::Result::Acquired);
    Build();
    startup->ShowMainWindow();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].prompt, "Trotwick is already running!");
    EXPECT_EQ(Boxes()[0].style, platform::kInformation);
    EXPECT_EQ(Boxes()[0].title, "Already Running");
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_TRUE(fs::exists(patch));
    EXPECT_EQ(game->Money, 0);
    EXPECT_EQ(form->MarketTree->Count(), 0);
    EXPECT_EQ(rnd->randomized, 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer("Timer1").Enabled());
    EXPECT_EQ(saves, 0);
}

TEST_F(StartupTest, ALockThatCannotBeUsedDoesNotKeepThePlayerOut) {
    const fs::path lockFile = platform::LockFilePath(settings.InstanceName);
    fs::create_symlink(fs::path(settings.GameFolder) / "elsewhere", lockFile);
    Build();
    EXPECT_TRUE(startup->Form_Load());
    EXPECT_EQ(Boxes().size(), 1u);  // the firewall notice only
    EXPECT_EQ(Boxes()[0].title, "Notice");
    EXPECT_FALSE(fs::exists(fs::path(settings.GameFolder) / "elsewhere"));
}

TEST_F(StartupTest, EveryWayOutSavesOnceHidingTheWindowFirst) {
    const std::vector<std::function<void(Startup&, Form1&)>> ways = {
        [](Startup&, Form1& f) { f.close(); },                 // the close box
        [](Startup&, Form1& f) { f.exit_->trigger(); },        // Game > "Quit"
        [](Startup& s, Form1&) { s.exit_Click(); },
        [](Startup& s, Form1&) { s.TerminationRequested(); },  // SIGTERM, SIGINT
    };
    for (std::size_t way = 0; way < ways.size(); ++way) {
        SCOPED_TRACE(way);
        settings.InstanceName = UniqueLockName();
        Build();
        startup->ShowMainWindow();
        bool hiddenWhenSaving = false;
        startup->Seams.SaveOnExit = [&](bool, std::function<void(bool)> done) {
            ++saves;
            hiddenWhenSaving = !form->isVisible();
            form->close();  // the save closes every window, Form1 again included
            done(true);
        };
        saves = 0;
        ended.clear();
        ways[way](*startup, *form);
        EXPECT_EQ(saves, 1);
        EXPECT_TRUE(hiddenWhenSaving);
        EXPECT_EQ(ended, std::vector<int>{0});
        startup->TerminationRequested();
        form->close();
        EXPECT_EQ(saves, 1);
    }
}

TEST_F(StartupTest, ClosedDuringStartUpItSavesTheFinishedGame) {
    Build();
    int moneyWhenSaved = -1;
    startup->Seams.SaveOnExit = [&](bool, std::function<void(bool)> done) {
        moneyWhenSaved = static_cast<int>(game->Money), ++saves;
        done(true);
    };
    dialogs.whileOpen = [&](const std::string&) { form->close(); };
    startup->ShowMainWindow();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(moneyWhenSaved, 5000);
    for (const auto& h : game->TrackHorse) EXPECT_FALSE(h.Name.empty());  // saved after start-up finished
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ended, std::vector<int>{0});
}

TEST_F(StartupTest, TheDesktopEndingTheGameDuringStartUpEndsItThereWithoutSaving) {
    Build();
    dialogs.whileOpen = [&](const std::string&) { startup->TerminationRequested(); };  // the "Notice" box
    startup->ShowMainWindow();
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(ended.empty());
    EXPECT_TRUE(std::all_of(ended.begin(), ended.end(), [](int code) { return code == 0; }));
    EXPECT_EQ(startup->CurrentStage(), Startup::Stage::Ending);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(game->TrackHorse[0].Name.empty());  // start-up went no further
    EXPECT_FALSE(form->Timer("Timer1").Enabled());
    form->close();
    EXPECT_EQ(saves, 0);
}

TEST_F(StartupTest, TheDesktopEndingAGameInPlaySavesWithoutQuestionsAndEndsEvenIfTheSaveFails) {
    Build();
    startup->ShowMainWindow();
    startup->Seams.SaveOnExit = [&](bool mayAsk, std::function<void(bool)> done) {
        asked.push_back(mayAsk);
        ++saves;
        done(false);  // a save that did not happen and would keep the game open
    };
    startup->TerminationRequested();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(asked, std::vector<bool>{false});
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_FALSE(form->isVisible());

    // The close box still lets the player answer.
    Build();
    startup->ShowMainWindow();
    form->close();
    EXPECT_EQ(asked, (std::vector<bool>{false, true}));
}

TEST_F(StartupTest, AskedToEndBeforeStartUpItEndsWithoutSaving) {
    Build();
    startup->TerminationRequested();
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(ended, std::vector<int>{0});
    startup->ShowMainWindow();  // the splash's tick comes too late
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(game->Money, 0);
}

// The save on the way out answers once its window has shown: the close waits
// for it, nothing else ends the program meanwhile, and its answer decides.
TEST_F(StartupTest, ASaveThatAnswersLaterDecidesWhetherTheProgramEnds) {
    for (const bool ending : {true, false}) {
        SCOPED_TRACE(ending);
        settings.InstanceName = UniqueLockName();
        Build();
        startup->ShowMainWindow();
        std::function<void(bool)> answer;
        startup->Seams.SaveOnExit = [&](bool, std::function<void(bool)> done) {
            ++saves;
            answer = std::move(done);
        };
        saves = 0;
        ended.clear();
        form->close();
        EXPECT_EQ(saves, 1);
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(ended.empty());
        form->close();  // asked again while the save is on its way
        EXPECT_EQ(saves, 1);
        ASSERT_TRUE(answer);

        answer(ending);
        EXPECT_EQ(ended, ending ? std::vector<int>{0} : std::vector<int>{});
        EXPECT_EQ(form->isVisible(), !ending);
        EXPECT_EQ(startup->CurrentStage(), ending ? Startup::Stage::Ending : Startup::Stage::Playing);
    }
}

}  // namespace
