#include "core/Money.h"

#include <cmath>

#include "core/TreeKeys.h"
#include "runtime/Numbers.h"

namespace core {

bool SpendMoney(GameState& game, Notices& notices, double amount) {
    if (!std::isfinite(amount) || amount < 0) return false;
    if (game.Money >= amount) {
        game.Money -= amount;
        return true;
    }
    notices.ShowNotice(kNotEnoughMoney);
    return false;
}

namespace {

std::string GroupThousands(const std::string& digits) {
    std::string grouped;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace

std::string FormatMoney(double amount) {
    std::string text = runtime::NumberText(amount);
    // Exponent forms and non-numbers are shown as they are.
    if (text.find_first_not_of("-0123456789.") != std::string::npos) return "\xA3" + text;
    std::string sign;
    if (!text.empty() && text.front() == '-') {
        sign = "-";
        text.erase(0, 1);
    }
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point);
    return "\xA3" + sign + GroupThousands(whole) + fraction;
}

void KillOverworkedHorse(GameState& game, Notices& notices, TreeNodes& stableTree, int index) {
    HorseRec& horse = game.OwnedHorse.at(static_cast<std::size_t>(index));
    stableTree.RemoveNode(HorseKey(horse.Sex, index));
    notices.ShowNotice(horse.Name + " has died - You worked it too hard!");
    ClearHorse(horse);
}

}  // namespace core
