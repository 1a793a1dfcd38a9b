#pragma once

#include <string>

#include "core/Game.h"
#include "core/Ports.h"

namespace core {

inline constexpr const char* kNotEnoughMoney = "You do not have enough money to do that!";

// The one money check: charges the amount and returns true, or tells the
// player there is not enough and returns false. An amount that is negative
// or not a finite number is refused without a word (it would create money).
bool SpendMoney(GameState& game, Notices& notices, double amount);

// "£" and the amount's text with its whole part grouped in threes
// ("£1,234,567", "£3,751.5", "£-123"). Game text: the pound sign is the
// Windows-1252 byte 0xA3.
std::string FormatMoney(double amount);

// A stable horse worked to death: its node leaves the stable tree, the player
// is told, and its slot is freed.
void KillOverworkedHorse(GameState& game, Notices& notices, TreeNodes& stableTree, int index);

}  // namespace core
