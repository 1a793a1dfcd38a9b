#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "online/Brambly.h"
#include "server/BoardDesk.h"

// The leader's board: every player's latest score, kept in an SQLite file
// (through Qt Sql), so it survives restarts.
//
// The top player has the highest Level; among equal levels, the most LAN
// races won; among those, the biggest LAN wager. Among records equal in all
// three, the one that got there first stays on top. Races lost do not count.
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
    ~ScoreBoard() override;
    ScoreBoard(const ScoreBoard&) = delete;
    ScoreBoard& operator=(const ScoreBoard&) = delete;

    // Keeps `score` as its player's latest (the name, byte for byte, is the
    // player). False, with LastError() saying why, when the file could not
    // be written.
    bool Record(const online::ScoreRecord& score) override;
    // The top player; nothing while the board is empty or unreadable.
    std::optional<online::ScoreRecord> Top() const override;
    std::int64_t Players() const;
    const std::string& LastError() const override { return lastError_; }

private:
    ScoreBoard(std::string connection, std::int64_t maxPlayers);

    std::string connection_;  // the name of its Qt Sql connection
    std::int64_t maxPlayers_;
    mutable std::string lastError_;
};

}  // namespace server
