#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/InstanceLock.h"

namespace {

namespace fs = std::filesystem;

const std::string kIncorrectTermination =
    "BOX Incorrect Termination Detected|Trotwick has detected that the program was closed down incorrectly last "
    "time you were playing the game.";

// A copy of the program in its own process (see StartupProbe.cpp).
class Copy {
public:
    enum class Boxes { Printed, Real };

    Copy(const QString& lockName, const QString& programFolder, const QString& gameFolder,
         Boxes boxes = Boxes::Printed) {
        process_.setWorkingDirectory(gameFolder);
        process_.setProgram(QStringLiteral(STARTUP_PROBE));
        QStringList arguments{lockName, programFolder};
        if (boxes == Boxes::Real) arguments << QStringLiteral("real-boxes");
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~Copy() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Reads lines until one equals `line` (true) or the copy ends (false).
    bool WaitFor(const std::string& line) {
        for (;;) {
            while (process_.canReadLine()) {
                const std::string got = process_.readLine().trimmed().toStdString();
                lines_.push_back(got);
                if (got == line) return true;
            }
            if (process_.state() == QProcess::NotRunning) return false;
            if (!process_.waitForReadyRead(15000) && process_.state() != QProcess::NotRunning) return false;
        }
    }
    bool Finished(int deadlineMs = 15000) {
        const bool finished = process_.waitForFinished(deadlineMs);
        while (process_.canReadLine()) lines_.push_back(process_.readLine().trimmed().toStdString());
        return finished;
    }
    // A line for the copy's standard input ("ASK" opens a box in real-boxes mode).
    void Tell(const char* line) {
        process_.write(line);
        process_.write("\n");
        process_.waitForBytesWritten(5000);
    }
    int ExitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
    void Signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
    void KillOutright() {
        process_.kill();  // SIGKILL: no handler, no clean-up
        process_.waitForFinished(5000);
    }
    const std::vector<std::string>& Lines() const { return lines_; }
    bool Said(const std::string& line) const { return std::find(lines_.begin(), lines_.end(), line) != lines_.end(); }

private:
    QProcess process_;
    std::vector<std::string> lines_;
};

class StartupProcessTest : public ::testing::Test {
protected:
    ~StartupProcessTest() override {
        std::error_code error;
        fs::remove(platform::LockFilePath(LockName().toStdString()), error);
    }

    QString LockName() const { return QStringLiteral("trotwick-test-%1-process").arg(::getpid()); }
    fs::path Patch() const { return fs::path(programFolder.path().toStdString()) / "Patch.exe"; }
    void LeavePatch() const { std::ofstream(Patch()) << "patch"; }
    // A first start in the first game's folder, ended by the desktop, which
    // saves the fresh game there.
    void SaveAFreshGame() {
        Copy fresh(LockName(), programFolder.path(), firstGame.path());
        ASSERT_TRUE(fresh.WaitFor("READY"));
        fresh.Signal(SIGTERM);
        ASSERT_TRUE(fresh.WaitFor("ENDED"));
        ASSERT_TRUE(fresh.Finished());
    }

    QTemporaryDir programFolder;
    QTemporaryDir firstGame;
    QTemporaryDir secondGame;
};

TEST_F(StartupProcessTest, ASecondCopyEndsUntouchedAndAKilledCopyBlocksNothing) {
    LeavePatch();
    Copy first(LockName(), programFolder.path(), firstGame.path());
    ASSERT_TRUE(first.WaitFor("READY"));
    EXPECT_TRUE(first.Said("BOX Notice|FIREWALL NOTICE!"));
    EXPECT_FALSE(fs::exists(Patch()));

    LeavePatch();
    Copy second(LockName(), programFolder.path(), secondGame.path());
    EXPECT_TRUE(second.WaitFor("BOX Already Running|Trotwick is already running!"));
    ASSERT_TRUE(second.Finished());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_FALSE(second.Said("READY"));
    EXPECT_FALSE(second.Said("SAVED"));
    EXPECT_FALSE(second.Said("BOX Notice|FIREWALL NOTICE!"));
    EXPECT_TRUE(fs::exists(Patch()));  // the running copy's live update may still need it
    EXPECT_TRUE(fs::is_empty(secondGame.path().toStdString()));

    first.KillOutright();
    Copy third(LockName(), programFolder.path(), secondGame.path());
    ASSERT_TRUE(third.WaitFor("READY"));
    EXPECT_FALSE(fs::exists(Patch()));
}

TEST_F(StartupProcessTest, TheDesktopEndingTheGameSavesItLikeTheCloseBox) {
    for (int number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(number);
        Copy copy(LockName(), programFolder.path(), firstGame.path());
        ASSERT_TRUE(copy.WaitFor("READY"));
        copy.Signal(number);
        EXPECT_TRUE(copy.WaitFor("ENDED"));
        ASSERT_TRUE(copy.Finished());
        EXPECT_EQ(copy.ExitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copy.ExitCode(), 0);
        EXPECT_EQ(std::count(copy.Lines().begin(), copy.Lines().end(), "SAVED"), 1);
    }
}

TEST_F(StartupProcessTest, AGameKilledAfterLoadingIsReportedOnceAtTheNextStart) {
    ASSERT_NO_FATAL_FAILURE(SaveAFreshGame());
    const fs::path saveFile = fs::path(firstGame.path().toStdString()) / "Zirc.enc";
    ASSERT_TRUE(fs::exists(saveFile));
    {
        Copy loaded(LockName(), programFolder.path(), firstGame.path());
        ASSERT_TRUE(loaded.WaitFor("READY"));
        EXPECT_FALSE(loaded.Said("BOX Notice|FIREWALL NOTICE!"));
        EXPECT_FALSE(loaded.Said(kIncorrectTermination));
        loaded.KillOutright();
    }
    {
        Copy next(LockName(), programFolder.path(), firstGame.path());
        ASSERT_TRUE(next.WaitFor("READY"));
        EXPECT_TRUE(next.Said(kIncorrectTermination));
        next.Signal(SIGTERM);
        ASSERT_TRUE(next.WaitFor("ENDED"));
        ASSERT_TRUE(next.Finished());
    }
    Copy clean(LockName(), programFolder.path(), firstGame.path());
    ASSERT_TRUE(clean.WaitFor("READY"));
    EXPECT_FALSE(clean.Said(kIncorrectTermination));
    EXPECT_FALSE(fs::exists(fs::path(firstGame.path().toStdString()) / "Data.ini"));
}

// The desktop ends the game (logout, `kill`) while a modal box waits for a
// click that never comes: the program still ends within a few seconds.
TEST_F(StartupProcessTest, TheDesktopEndsTheGameWhileTheFirstStartsNoticeIsOpenSavingNothing) {
    Copy copy(LockName(), programFolder.path(), firstGame.path(), Copy::Boxes::Real);
    ASSERT_TRUE(copy.WaitFor("BOX Notice|FIREWALL NOTICE!"));
    copy.Signal(SIGTERM);
    ASSERT_TRUE(copy.Finished(5000)) << "still running with the box open";
    EXPECT_EQ(copy.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(copy.ExitCode(), 0);
    EXPECT_TRUE(copy.Said("ENDED"));
    EXPECT_FALSE(copy.Said("READY"));
    EXPECT_FALSE(copy.Said("SAVED"));
    EXPECT_FALSE(fs::exists(fs::path(firstGame.path().toStdString()) / "Zirc.enc"));
}

TEST_F(StartupProcessTest, TheDesktopEndsAGameInPlayWhileABoxIsOpenAndTheGameIsSaved) {
    ASSERT_NO_FATAL_FAILURE(SaveAFreshGame());
    for (int number : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(number);
        Copy copy(LockName(), programFolder.path(), firstGame.path(), Copy::Boxes::Real);
        ASSERT_TRUE(copy.WaitFor("READY"));  // the saved game, loaded without a box
        copy.Tell("ASK");
        ASSERT_TRUE(copy.WaitFor("BOX Probe|Are you still there?"));
        copy.Signal(number);
        ASSERT_TRUE(copy.Finished(5000)) << "still running with the box open";
        EXPECT_EQ(copy.ExitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copy.ExitCode(), 0);
        EXPECT_EQ(std::count(copy.Lines().begin(), copy.Lines().end(), "SAVED"), 1);
        EXPECT_TRUE(copy.Said("ENDED"));
    }
    // Saved on the way out, so the next start finds a clean end.
    Copy next(LockName(), programFolder.path(), firstGame.path());
    ASSERT_TRUE(next.WaitFor("READY"));
    EXPECT_FALSE(next.Said(kIncorrectTermination));
    EXPECT_FALSE(next.Said("BOX Notice|FIREWALL NOTICE!"));
}

}  // namespace
