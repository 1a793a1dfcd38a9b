#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "online/Brambly.h"

// The leader's board's rules, free of sockets and of the database: "LEADER?"
// is answered with the top player's record, "SCORE:" keeps the player's
// latest record, a score code that does not read is ignored.
namespace server {

// Where the board keeps its records (ScoreBoard: an SQLite file).
class ScoreStore {
public:
    virtual ~ScoreStore() = default;
    // Keeps `score` as its player's latest; false when it could not.
    virtual bool Record(const online::ScoreRecord& score) = 0;
    // Makes the scores kept so far last (a store that writes in batches
    // writes them now); false when it could not, and they are lost.
    virtual bool Commit() { return true; }
    // Scores kept that Commit has yet to make last.
    virtual std::size_t Pending() const { return 0; }
    // The top player; nothing while there is none.
    virtual std::optional<online::ScoreRecord> Top() const = 0;
    virtual const std::string& LastError() const = 0;
};

// The record the board sends before any score has arrived: no name, level
// 0, no races, a wager of 0. The game shows it as empty fields and zeros.
inline online::ScoreRecord NoTopPlayerYet() { return {}; }

struct BoardAnswer {
    std::optional<std::string> reply;  // to send back
    std::string log;                   // what happened, for the log
    bool score = false;                // the log is about a score sent
    // The score is in the store and lasts once the store commits: its line
    // waits for that.
    bool kept = false;
    std::string described = {};  // the score, for a line about it
};

BoardAnswer AnswerBoardMessage(const std::string& message, ScoreStore& store);

}  // namespace server
