#pragma once

#include <string>

#include "core/Game.h"

namespace shell {

// The statistics of the player profile, game text: four lines joined by
// CR LF with no line break after the last ("Player Level: 2" ...
// "Biggest LAN Wager: £2,500,000").
std::string PlayerProfileText(const core::GameState& game);

}  // namespace shell
