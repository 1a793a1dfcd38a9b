#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "online/Brambly.h"
#include "server/BoardCheckpoints.h"
#include "server/BoardDesk.h"

class QSqlError;

// The leader's board: every player's latest score, kept in an SQLite file
// (through Qt Sql), so it survives restarts.
//
// The top player has the highest Level; among equal levels, the most LAN
// races won; among those, the biggest LAN wager. Among records equal in all
// three, the one that got there first stays on top. Races lost do not count.
//
// A score costs the same however many players the board holds: the count of
// players and of arrivals are kept here, not counted in the file, and the
// ranking is read from an index. Scores are written in batches: Record
// keeps one, Commit writes all kept since the last in one transaction (the
// server commits once per turn of its event loop, or sooner when many wait),
// so a busy board writes the file once for many scores. A commit goes to
// SQLite's write-ahead journal, which outlives a kill of the server; the
// journal is moved into the file by a thread of its own (BoardCheckpoints),
// so no commit waits for the disk.
namespace server {

class ScoreBoard final : public ScoreStore {
public:
    // The most players the board keeps: beyond it the lowest-ranked record
    // goes, so scores sent under ever new names cannot fill the disk.
    static constexpr std::int64_t kDefaultMaxPlayers = 100000;

    // Opens the board, making the file (not its folder) when it is not
    // there. Nothing, with `error` saying why, when the file cannot be
    // opened or is no board.
    static std::unique_ptr<ScoreBoard> Open(const std::filesystem::path& file, std::string& error,
                                            std::int64_t maxPlayers = kDefaultMaxPlayers);
    // Writes what is kept and not yet written.
    ~ScoreBoard() override;
    ScoreBoard(const ScoreBoard&) = delete;
    ScoreBoard& operator=(const ScoreBoard&) = delete;

    // Keeps `score` as its player's latest (the name, byte for byte, is the
    // player); Top() and Players() count it at once, the file holds it from
    // the next Commit. False, with LastError() saying why, when it could
    // not be kept: it alone is lost, unless SQLite gave up the transaction
    // (LastError() then says the scores kept since the last Commit are
    // lost too).
    bool Record(const online::ScoreRecord& score) override;
    // Writes every score kept since the last Commit to the file in one
    // transaction. False, with LastError() saying why, when the file could
    // not be written: those scores are lost.
    bool Commit() override;
    // Scores kept and not yet written.
    std::size_t Pending() const override { return pending_; }
    // The moves of the journal into the file so far (BoardCheckpoints).
    int Checkpoints() const { return checkpoints_ ? checkpoints_->Done() : 0; }
    // The top player; nothing while the board is empty or unreadable.
    std::optional<online::ScoreRecord> Top() const override;
    std::int64_t Players() const { return players_; }
    const std::string& LastError() const override { return lastError_; }

private:
    struct Statements;

    ScoreBoard(std::string connection, std::int64_t maxPlayers);
    // Opens the transaction that the scores until the next Commit share.
    bool Begin();
    // Gives up the open transaction: the file and the counts go back to the
    // last Commit.
    void Abandon();
    // A score could not be kept: undoes it alone, back to the counts it
    // found, says why and returns false.
    bool Undo(const QSqlError& error, std::int64_t players, std::int64_t nextSeq);
    // The transaction could not go on: says why, abandons it and returns
    // false.
    bool GiveUp(const QSqlError& error);

    std::string connection_;  // the name of its Qt Sql connection
    std::int64_t maxPlayers_;
    std::unique_ptr<Statements> statements_;
    std::unique_ptr<BoardCheckpoints> checkpoints_;
    std::int64_t players_ = 0;
    std::int64_t nextSeq_ = 1;  // the next arrival's place, above every record's
    // The counts as the file holds them, for an abandoned transaction.
    std::int64_t committedPlayers_ = 0;
    std::int64_t committedNextSeq_ = 1;
    std::size_t pending_ = 0;
    bool open_ = false;  // a transaction is open
    mutable std::string lastError_;
};

}  // namespace server
