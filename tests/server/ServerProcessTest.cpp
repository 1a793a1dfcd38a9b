// trotwick-server as an operator runs it: its help, its errors, a clean
// stop on SIGTERM and SIGINT, and a board that keeps its scores through a
// kill. The tests that need the game's fixed ports
// skip when another program holds one of them.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include "online/Brambly.h"
#include "online/ServerPorts.h"
#include "server/ScoreBoard.h"
#include "tests/support/RawSocket.h"
#include "tests/support/TempFolder.h"

using testing_support::RawSocket;
using testing_support::TempFolder;

namespace {

constexpr int kProductPorts[] = {online::kLiveUpdatePort, online::kFileTransferPort, online::kLeaderBoardPort,
                                 online::kChatPort};

bool ProductPortsAreFree() {
    for (int port : kProductPorts) {
        if (!testing_support::PortIsFree(static_cast<std::uint16_t>(port))) return false;
    }
    return true;
}

// Reads the server's log (its standard error) into `log` until it holds
// `what`, the server ends, or the time is up.
bool WaitForLog(QProcess& process, std::string& log, const std::string& what, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    process.setReadChannel(QProcess::StandardError);
    while (log.find(what) == std::string::npos && !deadline.hasExpired()) {
        process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        log += process.readAllStandardError().toStdString();
        if (process.state() == QProcess::NotRunning) break;
    }
    return log.find(what) != std::string::npos;
}

// A connection to the product's port from `from` (127.0.0.x), another
// machine as the server sees it.
RawSocket ConnectFrom(const char* from, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    const sockaddr_in to = testing_support::Loopback(port);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return RawSocket(fd);
}

// Starts the server and waits until it listens on every port; false (and
// the reason in `log`) when it does not.
bool StartAndWait(QProcess& process, const QStringList& arguments, std::string& log) {
    process.start(SERVER_PROGRAM, arguments);
    if (!process.waitForStarted()) return false;
    if (WaitForLog(process, log, "[chat 3113] listening")) return true;
    process.kill();
    process.waitForFinished();
    return false;
}

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct ServerProcess : ::testing::Test {
    TempFolder folder;
    QStringList Arguments() const {
        return {"--version", "30", "--patch", QString::fromStdString((folder / "Patch.exe").string()), "--board",
                QString::fromStdString((folder / "board.sqlite").string())};
    }
    ServerProcess() { folder.Write("Patch.exe", "MZ patch"); }

    static Outcome RunToEnd(const QStringList& arguments) {
        QProcess process;
        process.start(SERVER_PROGRAM, arguments);
        Outcome run;
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the server did not end by itself";
        }
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }
};

TEST_F(ServerProcess, HelpTellsHowToRunIt) {
    const Outcome run = RunToEnd({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Usage: trotwick-server --version N --patch FILE"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST_F(ServerProcess, EveryMistakeEndsItWithOneClearLine) {
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string says;
    };
    const std::string folderText = folder.Path().string();
    folder.Write("text.sqlite", "not a database");
    const Case cases[] = {
        {{"--versoin", "30"}, 2, "trotwick-server: unknown option '--versoin'\nTry 'trotwick-server --help'.\n"},
        {{"--version", "30"}, 2, "trotwick-server: --patch is missing"},
        {{"--version", "30", "--patch", QString::fromStdString(folderText + "/none.exe")}, 1,
         "trotwick-server: the patch file " + folderText + "/none.exe cannot be read: No such file or directory\n"},
        {{"--version", "30", "--patch", QString::fromStdString(folderText + "/Patch.exe"), "--board",
          QString::fromStdString(folderText + "/text.sqlite")},
         1, "trotwick-server: the leader's board " + folderText + "/text.sqlite cannot be opened: file is not a database\n"},
        {{"--version", "30", "--patch", QString::fromStdString(folderText + "/Patch.exe"), "--board",
          QString::fromStdString(folderText + "/no/board.sqlite")},
         1, "cannot be opened: unable to open database file\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = RunToEnd(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(ServerProcess, APortInUseIsNamed) {
    if (!ProductPortsAreFree()) GTEST_SKIP() << "a port of the online services is in use on this machine";
    // Something else holds the version port on every address.
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // As a server binds: a connection of an earlier test still closing on
    // the port must not keep it from listening.
    const int reuse = 1;
    ::setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(online::kLiveUpdatePort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0 || ::listen(holder, 1) != 0) {
        ::close(holder);
        GTEST_SKIP() << "port 2094 was taken by another program while this test ran";
    }
    const Outcome run = RunToEnd(Arguments());
    ::close(holder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("trotwick-server: cannot listen on port 2094 for the version: it is in use"),
              std::string::npos)
        << run.err;
}

TEST_F(ServerProcess, StopsCleanlyOnSigtermAndSigint) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        if (!ProductPortsAreFree()) GTEST_SKIP() << "a port of the online services is in use on this machine";
        QProcess process;
        process.setReadChannel(QProcess::StandardError);  // the log
        process.start(SERVER_PROGRAM, Arguments());
        ASSERT_TRUE(process.waitForStarted());
        std::string err;
        while (err.find("[chat 3113] listening") == std::string::npos && process.waitForReadyRead(5000)) {
            err += process.readAllStandardError().toStdString();
        }
        if (err.find("[chat 3113] listening") == std::string::npos) {
            process.kill();
            process.waitForFinished();
            if (err.find("in use") != std::string::npos) GTEST_SKIP() << "a port was taken while this test ran";
            FAIL() << err;
        }
        RawSocket player = RawSocket::Connect(online::kChatPort);
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        ASSERT_TRUE(process.waitForFinished(10000));
        err += process.readAllStandardError().toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_NE(err.find("stopping (signal " + std::to_string(signalNumber) + ")"), std::string::npos) << err;
        EXPECT_NE(err.find("stopped"), std::string::npos) << err;
        EXPECT_TRUE(player.WaitForClose());
        std::string error;
        EXPECT_TRUE(server::ScoreBoard::Open(folder / "board.sqlite", error)) << error;
    }
}

TEST_F(ServerProcess, AScoreReadASecondBeforeAKillIsOnTheBoardAfterTheRestart) {
    if (!ProductPortsAreFree()) GTEST_SKIP() << "a port of the online services is in use on this machine";
    const online::ScoreRecord kim{"kim", 7, 3, 1, 250.5};
    {
        QProcess process;
        process.start(SERVER_PROGRAM, Arguments());
        ASSERT_TRUE(process.waitForStarted());
        std::string log;
        if (!WaitForLog(process, log, "[chat 3113] listening")) {
            process.kill();
            process.waitForFinished();
            if (log.find("in use") != std::string::npos) GTEST_SKIP() << "a port was taken while this test ran";
            FAIL() << log;
        }
        RawSocket player = RawSocket::Connect(online::kLeaderBoardPort);
        player.SendAll("SCORE:" + online::EncodeScoreCode(kim));
        EXPECT_TRUE(WaitForLog(process, log, "score \"kim\" level 7")) << log;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    }
    // The restarted server has it on top.
    QProcess again;
    again.start(SERVER_PROGRAM, Arguments());
    ASSERT_TRUE(again.waitForStarted());
    std::string log;
    ASSERT_TRUE(WaitForLog(again, log, "[chat 3113] listening")) << log;
    RawSocket asker = RawSocket::Connect(online::kLeaderBoardPort);
    asker.SendAll("LEADER?jenny");
    const std::string answer = "LEADER:" + online::EncodeScoreCode(kim);
    EXPECT_EQ(asker.ReceiveExactly(answer.size()), answer);
    ::kill(static_cast<pid_t>(again.processId()), SIGTERM);
    EXPECT_TRUE(again.waitForFinished(10000));
}

// Players on eight machines each send a burst of scores, and the server is
// killed the moment it logs its first: every score the log calls kept is
// on the board when it starts again.
TEST_F(ServerProcess, EveryScoreTheLogCallsKeptIsOnTheBoardAfterAKill) {
    if (!ProductPortsAreFree()) GTEST_SKIP() << "a port of the online services is in use on this machine";
    std::map<std::string, std::string> logged;  // name: what the log said of it
    const std::regex kept(R"re(\] #\d+ 127\.0\.0\.\d+ score "([^"]+)" (level .*))re");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        QProcess process;
        std::string log;
        if (!StartAndWait(process, Arguments(), log)) {
            if (log.find("in use") != std::string::npos) GTEST_SKIP() << "a port was taken while this test ran";
            FAIL() << log;
        }
        std::vector<RawSocket> players;
        for (int machine = 0; machine < 8; ++machine) {
            const std::string from = "127.0.0." + std::to_string(2 + machine);
            players.push_back(ConnectFrom(from.c_str(), online::kLeaderBoardPort));
            std::string burst;
            for (int i = 0; i < 60; ++i) {
                const online::ScoreRecord score{"r" + std::to_string(round) + "m" + std::to_string(machine) + "s" +
                                                    std::to_string(i),
                                                i % 12, i, machine, 10.5 * i};
                burst += "SCORE:" + online::EncodeScoreCode(score);
            }
            players.back().SendAll(burst);
        }
        ASSERT_TRUE(WaitForLog(process, log, " score \"")) << log;
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * round));
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        ASSERT_TRUE(process.waitForFinished(10000));
        log += process.readAllStandardError().toStdString();
        for (std::sregex_iterator it(log.begin(), log.end(), kept), end; it != end; ++it) {
            logged[(*it)[1]] = (*it)[2];
        }
    }
    ASSERT_FALSE(logged.empty());

    // The server starts on the board the kills left, and stops cleanly.
    QProcess again;
    std::string log;
    ASSERT_TRUE(StartAndWait(again, Arguments(), log)) << log;
    ::kill(static_cast<pid_t>(again.processId()), SIGTERM);
    ASSERT_TRUE(again.waitForFinished(10000));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "after-kills");
        db.setDatabaseName(QString::fromStdString((folder / "board.sqlite").string()));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.prepare("SELECT level, won, lost, wager FROM scores WHERE name = ?"));
        for (const auto& [name, what] : logged) {
            query.bindValue(0, QByteArray::fromStdString(name));
            ASSERT_TRUE(query.exec());
            ASSERT_TRUE(query.next()) << name << " (" << what << ") is not on the board";
            const std::string found = "level " + std::to_string(query.value(0).toInt()) + ", won " +
                                      std::to_string(query.value(1).toInt()) + ", lost " +
                                      std::to_string(query.value(2).toInt());
            EXPECT_EQ(what.substr(0, found.size()), found) << name;
        }
    }
    QSqlDatabase::removeDatabase("after-kills");
}

}  // namespace
