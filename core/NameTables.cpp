#include "core/NameTables.h"

namespace core {

// "Happy" stands twice, at 0 and at 30.
const std::array<std::string_view, 53> kFirstNames = {
    "Happy", "Jolly", "Hot", "Crinkly", "Cracked", "Double", "Bent", "Irish", "British", "Scottish",
    "American", "Twisted", "Tainted", "Evil", "Red", "Blue", "Green", "Bad", "Jittery", "Beautiful",
    "Big", "Black", "Bright", "Clumsy", "Crazy", "Dizzy", "Gigantic", "Gorgeous", "Grumpy", "Handsome",
    "Happy", "Horrible", "Kind", "Long", "Lazy", "Magnificent", "Mighty", "Nasty", "New", "Precious",
    "Prickly", "Rare", "Wonderful", "Tricky", "Short", "Scary", "Yummy", "Tender", "Soft", "Round",
    "Simple", "Royal", "Majestic",
};

const std::array<std::string_view, 52> kSecondNames = {
    "Beauty", "Wind", "Whip", "Rock", "Lion", "Water", "Crack", "Man", "Bullet", "Beast",
    "Moon", "Passion", "Love", "Hate", "Pride", "Sock", "Rummy", "Honey", "Song", "Anarchy",
    "Pinnacle", "Roger", "Jem", "Gold", "Pagan", "Pallidine", "Archer", "Soldier", "Rogue", "Power",
    "Lust", "Sausage", "Ale", "Goblin", "Bird", "Sky", "Bear", "Spirit", "Crumb", "Smack",
    "Soul", "Darkness", "Light", "Cherry", "Lady", "Fiddle", "Judge", "Temper", "Wings", "Bag",
    "Biscuit", "Jack",
};

}  // namespace core
