// The leader's board in its SQLite file: who is on top, what a later score
// does, what survives a restart, and files that cannot be a board.
#include <gtest/gtest.h>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <filesystem>
#include <string>
#include <vector>

#include "server/ScoreBoard.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempFolder.h"

using online::ScoreRecord;
using server::ScoreBoard;
using testing_support::TempFolder;

namespace online {
void PrintTo(const ScoreRecord& s, std::ostream* out) {
    *out << '{' << s.Name << ' ' << s.Level << ' ' << s.LANwon << ' ' << s.LANlost << ' ' << s.LANwager << '}';
}
}  // namespace online

namespace {

struct Board : ::testing::Test {
    TempFolder folder;
    std::filesystem::path file = folder / "board.sqlite";

    std::unique_ptr<ScoreBoard> Open(std::int64_t maxPlayers = ScoreBoard::kDefaultMaxPlayers) {
        std::string error;
        auto board = ScoreBoard::Open(file, error, maxPlayers);
        EXPECT_TRUE(board) << error;
        return board;
    }
    static std::string TopName(const ScoreBoard& board) {
        const auto top = board.Top();
        return top ? top->Name : "(none)";
    }
};

// Built by a function, not braces: g++ 12 at -O3 takes braced strings in a
// list like this one for read before they are written.
std::pair<ScoreRecord, std::string> Step(const char* name, std::int32_t level, std::int32_t won, std::int32_t lost,
                                         double wager, const char* top) {
    ScoreRecord score;
    score.Name = name;
    score.Level = level;
    score.LANwon = won;
    score.LANlost = lost;
    score.LANwager = wager;
    return {score, top};
}

TEST_F(Board, TheTopPlayerHasTheHighestLevelThenTheMostWinsThenTheBiggestWager) {
    auto board = Open();
    ASSERT_TRUE(board);
    EXPECT_EQ(board->Top(), std::nullopt) << "nobody yet";

    // Each step: a score sent, and the top player after it.
    const std::vector<std::pair<ScoreRecord, std::string>> steps = {
        Step("ann", 1, 0, 0, 0, "ann"),
        Step("bob", 1, 0, 9, 0, "ann"),            // races lost do not count: first there stays
        Step("cat", 1, 0, 0, 2500.5, "cat"),       // same level and wins, bigger wager
        Step("dan", 1, 1, 0, 0, "dan"),            // more wins beat any wager
        Step("eve", 2, 0, 0, 0, "eve"),            // a higher level beats any wins
        Step("fay", 2, 0, 0, 0, "eve"),            // a tie: the first to get there stays
        Step("gus", -5, 999, 0, 1e12, "eve"),
        Step("eve", 0, 0, 0, 0, "fay"),            // a later, lower score takes eve down
        Step("eve", 2, 0, 0, 0, "fay"),            // back up, but fay got there first now
        Step("fay", 2, 0, 0, 0, "fay"),            // sending the same again keeps the place
    };
    for (const auto& [score, top] : steps) {
        ASSERT_TRUE(board->Record(score)) << board->LastError();
        EXPECT_EQ(TopName(*board), top) << "after " << score.Name;
    }
    EXPECT_EQ(board->Players(), 7);
    EXPECT_EQ(board->Top(), (ScoreRecord{"fay", 2, 0, 0, 0}));
}

TEST_F(Board, TheBoardSurvivesARestartByteForByte) {
    const ScoreRecord odd{std::string("J\xA3rg\0n", 6), 7, 12, 3, 123456.75};
    {
        auto board = Open();
        ASSERT_TRUE(board);
        ASSERT_TRUE(board->Record({"ann", 3, 1, 1, 10}));
        ASSERT_TRUE(board->Record(odd));
    }
    auto again = Open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Top(), odd);
    EXPECT_EQ(again->Players(), 2);
}

TEST_F(Board, ANewNameBeyondTheCapPushesTheLowestOut) {
    auto board = Open(3);
    ASSERT_TRUE(board);
    for (const ScoreRecord& s : {ScoreRecord{"top", 9, 0, 0, 0}, ScoreRecord{"mid", 5, 0, 0, 0},
                                 ScoreRecord{"low", 1, 0, 0, 0}, ScoreRecord{"new", 4, 0, 0, 0}}) {
        ASSERT_TRUE(board->Record(s));
    }
    EXPECT_EQ(board->Players(), 3);
    ASSERT_TRUE(board->Record({"low", 0, 0, 0, 0}));
    EXPECT_EQ(board->Players(), 3) << "the newest low score is the one to go";
    EXPECT_EQ(TopName(*board), "top");
}

TEST_F(Board, AfterARestartTheCountsGoOnWhereTheyWere) {
    {
        auto board = Open(3);
        ASSERT_TRUE(board);
        for (const ScoreRecord& s : {ScoreRecord{"ann", 5, 0, 0, 0}, ScoreRecord{"bob", 5, 0, 0, 0},
                                     ScoreRecord{"cat", 1, 0, 0, 0}}) {
            ASSERT_TRUE(board->Record(s));
        }
    }
    auto again = Open(3);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Players(), 3);
    ASSERT_TRUE(again->Record({"dan", 5, 0, 0, 0}));
    EXPECT_EQ(again->Players(), 3) << "the board was full: the lowest went";
    ASSERT_TRUE(again->Record({"ann", 4, 0, 0, 0}));
    ASSERT_TRUE(again->Record({"ann", 5, 0, 0, 0}));
    EXPECT_EQ(TopName(*again), "bob") << "ann came back after bob and dan got there";
    ASSERT_TRUE(again->Record({"bob", 4, 0, 0, 0}));
    EXPECT_EQ(TopName(*again), "dan") << "dan arrived before ann's return";
    again.reset();
    auto smaller = Open(2);
    ASSERT_TRUE(smaller);
    ASSERT_TRUE(smaller->Record({"eve", 9, 0, 0, 0}));
    EXPECT_EQ(smaller->Players(), 2) << "a board over a lower cap is trimmed at the next score";
    EXPECT_EQ(TopName(*smaller), "eve");
}

TEST_F(Board, ScoresAreWrittenTogetherAtTheCommitAndCountedAtOnce) {
    auto board = Open();
    ASSERT_TRUE(board);
    // Another reader of the file sees only what is written.
    QSqlDatabase peek = QSqlDatabase::addDatabase("QSQLITE", "peek");
    peek.setDatabaseName(QString::fromStdString(file.string()));
    ASSERT_TRUE(peek.open());
    const auto rowsInFile = [&] {
        QSqlQuery query(peek);
        return query.exec("SELECT COUNT(*) FROM scores") && query.next() ? query.value(0).toInt() : -1;
    };
    for (const char* name : {"ann", "bob", "cat"}) ASSERT_TRUE(board->Record({name, 1, 0, 0, 0}));
    EXPECT_EQ(board->Pending(), 3u);
    EXPECT_EQ(board->Players(), 3);
    EXPECT_EQ(TopName(*board), "ann");
    EXPECT_EQ(rowsInFile(), 0) << "nothing written before the commit";
    ASSERT_TRUE(board->Commit()) << board->LastError();
    EXPECT_EQ(board->Pending(), 0u);
    EXPECT_EQ(rowsInFile(), 3);

    ASSERT_TRUE(board->Record({"dan", 2, 0, 0, 0}));
    board.reset();
    EXPECT_EQ(rowsInFile(), 4) << "what was kept is written when the board closes";
    peek.close();
    peek = QSqlDatabase();
    QSqlDatabase::removeDatabase("peek");
}

// Writes go to SQLite's journal at once; the board's file takes them from
// there while the board is open, without a commit waiting for the disk, so
// the journal does not grow for as long as the server runs.
TEST_F(Board, WhatIsWrittenReachesTheFileWhileTheBoardIsOpen) {
    auto board = Open();
    ASSERT_TRUE(board);
    ASSERT_TRUE(board->Record({"first", 1, 0, 0, 0}) && board->Commit());
    ASSERT_TRUE(testing_support::RunUntil([&] { return board->Checkpoints() >= 1; }));
    const auto before = std::filesystem::file_size(file);
    for (int batch = 0; batch < 3; ++batch) {
        for (int i = 0; i < 1000; ++i) {
            ASSERT_TRUE(board->Record({std::string(200, 'n') + std::to_string(batch * 1000 + i), 1, 0, 0, 0}));
        }
        ASSERT_TRUE(board->Commit()) << board->LastError();
    }
    const int moved = board->Checkpoints();
    ASSERT_TRUE(testing_support::RunUntil([&] { return board->Checkpoints() > moved; }, 5000));
    EXPECT_GT(std::filesystem::file_size(file), before + 300 * 1000) << "the file holds the 3,000 names";
}

TEST_F(Board, AWriteThatFailsIsReportedAndTheBoardStaysAsItWas) {
    {
        auto board = Open();
        ASSERT_TRUE(board);
        ASSERT_TRUE(board->Record({"ann", 1, 0, 0, 0}));
    }
    // The disk fills up while a batch of many long names is written.
    const int result = testing_support::RunInChild([&] {
        std::string error;
        auto board = ScoreBoard::Open(file, error);
        if (!board || !testing_support::LimitFileSize(64 * 1024)) return testing_support::kChildSetupFailed;
        bool kept = true;
        for (int i = 0; i < 2000 && kept; ++i) {
            kept = board->Record({std::string(200, 'x') + std::to_string(i), 2, 0, 0, 0});
        }
        const bool written = kept && board->Commit();
        if (written) return 1;
        if (board->LastError().empty()) return 2;
        if (board->Players() != 1 || board->Pending() != 0) return 3;
        if (!board->Top() || board->Top()->Name != "ann") return 4;
        return 0;
    });
    ASSERT_NE(result, testing_support::kChildSetupFailed);
    EXPECT_EQ(result, 0) << "1: the full disk went unnoticed; 2: no reason; 3: the counts kept the lost scores;"
                            " 4: the board lost what it had";
    auto again = Open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Players(), 1);
    EXPECT_EQ(TopName(*again), "ann");
}

// One score the file refuses (here a rule in the file refuses one name)
// is lost alone: the others of its batch, already logged as kept, are
// written.
TEST_F(Board, AScoreThatCannotBeKeptIsLostAloneNotWithItsBatch) {
    {
        auto board = Open();
        ASSERT_TRUE(board);
        ASSERT_TRUE(board->Record({"old", 1, 0, 0, 0}));
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rule");
        db.setDatabaseName(QString::fromStdString(file.string()));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec("CREATE TRIGGER refuse BEFORE INSERT ON scores WHEN NEW.name = CAST('bad' AS BLOB)"
                               " BEGIN SELECT RAISE(ABORT, 'refused by a rule'); END"));
    }
    QSqlDatabase::removeDatabase("rule");

    auto board = Open(3);
    ASSERT_TRUE(board);
    ASSERT_TRUE(board->Record({"ann", 2, 0, 0, 0}));
    ASSERT_TRUE(board->Record({"old", 3, 0, 0, 0}));
    EXPECT_FALSE(board->Record({"bad", 9, 0, 0, 0}));
    EXPECT_NE(board->LastError().find("refused by a rule"), std::string::npos) << board->LastError();
    EXPECT_EQ(board->LastError().find("lost"), std::string::npos) << "no other score went with it";
    EXPECT_EQ(board->Pending(), 2u);
    EXPECT_EQ(board->Players(), 2);
    ASSERT_TRUE(board->Record({"cat", 3, 0, 0, 0}));
    ASSERT_TRUE(board->Record({"dan", 1, 0, 0, 0})) << "the cap counts what the board holds";
    EXPECT_EQ(board->Players(), 3);
    EXPECT_EQ(TopName(*board), "old") << "of two equal, the first there";
    ASSERT_TRUE(board->Commit()) << board->LastError();
    board.reset();

    auto again = Open(3);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Players(), 3);
    EXPECT_EQ(again->Top(), (ScoreRecord{"old", 3, 0, 0, 0}));
}

TEST_F(Board, FilesThatCannotBeABoardAreRefusedWithAReason) {
    folder.Write("text.sqlite", "a plain text file, not a database at all");
    struct Case {
        std::filesystem::path file;
        std::string says;
    };
    const Case cases[] = {
        {folder / "missing-folder" / "board.sqlite", "unable to open"},
        {folder / "text.sqlite", "not a database"},
        {folder.Path(), "unable to open"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ScoreBoard::Open(c.file, error)) << c.file;
        EXPECT_NE(error.find(c.file.string()), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "missing-folder")) << "no folder is made for a named board";
}

TEST_F(Board, AReadOnlyBoardIsRefusedAtOnceNotAtTheFirstScore) {
    {
        auto board = Open();
        ASSERT_TRUE(board);
        ASSERT_TRUE(board->Record({"ann", 1, 0, 0, 0}));
    }
    const int result = testing_support::RunInChild([&] {
        if (!testing_support::DropPrivileges()) return testing_support::kChildSetupFailed;
        std::string error;
        const bool opened = ScoreBoard::Open(file, error) != nullptr;
        return opened ? 1 : 0;
    });
    ASSERT_NE(result, testing_support::kChildSetupFailed);
    EXPECT_EQ(result, 0) << "a board the server cannot write must not open";
}

TEST_F(Board, SomeoneElsesTableOfTheSameNameIsRefused) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(QString::fromStdString(file.string()));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec("CREATE TABLE scores (who TEXT)"));
    }
    QSqlDatabase::removeDatabase("other");
    std::string error;
    EXPECT_FALSE(ScoreBoard::Open(file, error));
    EXPECT_NE(error.find("no leader's board"), std::string::npos) << error;
}

}  // namespace
