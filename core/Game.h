#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/HorseRec.h"
#include "runtime/Random.h"

namespace core {

inline constexpr int kStableSlots = 1001;
inline constexpr int kMarketSlots = 1001;
inline constexpr int kTrackHorses = 101;
inline constexpr int kOpponents = 4;
inline constexpr int kMarketHorsesGenerated = 251;
inline constexpr double kStartingMoney = 5000;
// The online-services server a fresh game talks to (our server listens there
// by default).
inline constexpr const char* kDefaultServer = "localhost";

// Everything the game is: the horse arrays and the player's state. It is a
// plain value, so a copy is a snapshot (the save writes one).
struct GameState {
    std::array<HorseRec, kStableSlots> OwnedHorse{};    // the stable
    std::array<HorseRec, kMarketSlots> MarketHorse{};   // the horse market
    std::array<HorseRec, kTrackHorses> TrackHorse{};    // the betting field
    std::array<HorseRec, kOpponents> OpponentHorse{};   // own-horse race opponents

    double Money = 0;
    std::int32_t Level = 0;
    std::int32_t LANwon = 0;
    std::int32_t LANlost = 0;
    double LANwager = 0;     // the largest LAN pot played for
    std::string Server;      // online-services server address
    std::int32_t Cheated = 0;  // cheat attempts, saved as "CheatAttempt"
    std::vector<std::string> Contacts;  // the contacts list, saved with the game
};

// The game of one main window: its state and its random source. Two games can
// live side by side (tests do that).
class Game : public GameState {
public:
    Game();
    explicit Game(std::unique_ptr<runtime::RandomSource> random);

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    runtime::RandomSource& Random() { return *random_; }
    float Rnd() { return random_->Rnd(); }
    void Randomize() { random_->Randomize(); }

    const GameState& State() const { return *this; }

private:
    std::unique_ptr<runtime::RandomSource> random_;
};

// The lowest slot whose Name is empty; nothing when every slot is taken.
template <std::size_t N>
std::optional<int> LowestFreeSlot(const std::array<HorseRec, N>& horses) {
    for (std::size_t i = 0; i < N; ++i) {
        if (horses[i].IsFree()) return static_cast<int>(i);
    }
    return std::nullopt;
}

}  // namespace core
