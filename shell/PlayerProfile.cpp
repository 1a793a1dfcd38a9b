#include "shell/PlayerProfile.h"

#include "core/Money.h"
#include "runtime/Numbers.h"

namespace shell {

std::string PlayerProfileText(const core::GameState& game) {
    using runtime::NumberText;
    return "Player Level: " + NumberText(game.Level) + "\r\n" +
           "LAN Battles Won: " + NumberText(game.LANwon) + "\r\n" +
           "LAN Battles Lost: " + NumberText(game.LANlost) + "\r\n" +
           "Biggest LAN Wager: " + core::FormatMoney(game.LANwager);
}

}  // namespace shell
