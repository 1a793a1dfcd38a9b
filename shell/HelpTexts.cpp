#include "shell/HelpTexts.h"

namespace shell {

namespace {

constexpr std::string_view kBets =
    "Betting on a race is the quickest way to make (or lose) money in Canterloo.\r\n"
    "\r\n"
    "1. Go to the Tracks screen and press \"New Race\". Setting up a race costs \xA3" "250. Five horses "
    "are brought to the start line, each with its odds shown beside its name.\r\n"
    "2. Type the amount you want to stake into the box next to each horse you want to back. You can back "
    "as many of the five horses as you like. Double-click a stake box to put all of your money on that "
    "horse.\r\n"
    "3. Press \"Start Race!\". Your stakes are taken and the horses set off.\r\n"
    "\r\n"
    "Once a race has started it cannot be stopped, and your stakes cannot be changed. If your horse wins "
    "you get your stake back together with your winnings at the horse's odds: a stake of \xA3" "100 on a "
    "horse at 5/1 pays \xA3" "600.";

constexpr std::string_view kBuyHorse =
    "Horses for sale are found in the Horse Market.\r\n"
    "\r\n"
    "Press \"Horse Market\" at the bottom of the screen and click a horse in the list to see its ratings "
    "and its price. When you have found one you like, press \"Buy Horse\". The price is taken from your "
    "money and the horse moves from the market into your stables, where you can race it, train it and "
    "breed from it.\r\n"
    "\r\n"
    "The market is different every time you start Canterloo, so if nothing catches your eye today, "
    "come back next time.";

constexpr std::string_view kImpHorse =
    "There are two ways of making a horse better: exercise and drugs. Select a horse in your stables "
    "and press \"Improve Horse\" to choose one.\r\n"
    "\r\n"
    "EXERCISE\r\n"
    "The speed exercise asks you to click the highlighted button as fast as you can; the stamina exercise "
    "asks you to press the highlighted arrow keys in turn. Each correct click or key press moves your "
    "horse towards the finish. The points you earn are shown by the counter, which falls while the clock "
    "runs, so the faster you reach the finish, the more points your horse gains. Good horses have to run "
    "a longer track than poor ones.\r\n"
    "\r\n"
    "DRUGS\r\n"
    "Pick a product from the Pharmacy or from the Drug Dealer and buy it for the selected horse. A "
    "product only works on a statistic of at least 20 (exercise a weaker horse first), and a horse that is "
    "already strong will gain little or nothing from it. The Drug Dealer's products are illegal: the police may take your "
    "horse away.";

constexpr std::string_view kRaceH =
    "AGAINST THE COMPUTER\r\n"
    "Select a horse in your stables and press \"Race Horse\", choose \"Next Race\" and type your stake. "
    "The stake decides how strong the four computer horses will be: the more you stake, the better they "
    "are. Finish first and you win seven times your stake, second three times, third one and a half "
    "times. Winning makes your horse more confident; losing makes it less so.\r\n"
    "\r\n"
    "AGAINST OTHER PLAYERS\r\n"
    "Up to five players can race their horses over a network. To host a game, choose the LAN race mode, "
    "set the stake each player must pay and press \"Create a Game\"; the winner takes the whole pot. To "
    "join a game, type the address of the player who is hosting it.\r\n"
    "\r\n"
    "If you are behind a firewall or a router you will have to open the ports listed under \"Port "
    "Information\" before other players can reach you. Players on the same network as you use your "
    "internal address (the address of your computer on your network); players elsewhere on the "
    "Internet use your external address (the address of your router), and the router must pass the "
    "port on to your computer.";

constexpr std::string_view kBreed =
    "Two horses from your stables can be bred into a foal.\r\n"
    "\r\n"
    "Click a stallion in your stables to make it the father and a mare to make her the mother; their "
    "names appear in the boxes on the right. Then press \"Breed Horses\". After a wait of anything from "
    "10 seconds to 5 minutes the foal is born and you are asked to give it a name.\r\n"
    "\r\n"
    "Both horses need a MoJo score of at least 1, and each breeding uses up one point of it. Canterloo does not "
    "allow inbreeding: a horse cannot be bred with its own mother or father, or with a full brother or "
    "sister.";

constexpr std::string_view kOnline =
    "Canterloo talks to the Canterloo Server for its online features.\r\n"
    "\r\n"
    "LIVE UPDATE\r\n"
    "While you play, Canterloo checks whether a newer version is available. If there is one, its patch "
    "is downloaded beside the program, into the game's own folder, as Patch.exe, and waits there: nothing "
    "is started until you press \"Start Patch\" on the screen that announces it. Then close Canterloo so "
    "that the patch can replace it. Game > \"Check For Updates\" checks at once, and brings that screen "
    "back while the patch waits.\r\n"
    "\r\n"
    "LEADER'S BOARD\r\n"
    "The leader's board lists the best players. Submit your score to see how you measure up against "
    "everyone else.\r\n"
    "\r\n"
    "SERVER ADDRESS\r\n"
    "The address of the Canterloo Server can be changed in the live update settings, if you have been "
    "given a different one.\r\n"
    "\r\n"
    "CHAT\r\n"
    "Chat with other players in BramChat, or send a message straight to a player on your contacts list "
    "with the net send command.";

constexpr std::string_view kPort =
    "If you are behind a router or a firewall, open these ports for Canterloo:\r\n"
    "\r\n"
    "2094 TCP outbound - live update patch requester\r\n"
    "5917 TCP outbound - leader's board\r\n"
    "5989 TCP outbound - joining LAN games\r\n"
    "5989 TCP inbound - hosting LAN games\r\n"
    "3113 TCP outbound - chat (BramChat)\r\n"
    "7812 TCP outbound - live update file transfer\r\n"
    "\r\n"
    "The outbound ports connect to the Canterloo Server or to the host of a LAN game. Only a player who "
    "hosts LAN games needs the inbound port.";

}  // namespace

const std::array<HelpTopic, 7> kHelpTopics = {{
    {"Command1", "Placing Bets", "Bets", kBets},
    {"Command2", "Buying a Horse", "BuyHorse", kBuyHorse},
    {"Command3", "Improving a Horse", "ImpHorse", kImpHorse},
    {"Command4", "Racing a Horse", "RaceH", kRaceH},
    {"Command5", "Breeding Horses", "Breed", kBreed},
    {"Command6", "Online Features", "Online", kOnline},
    {"Command9", "Port Information", "Port", kPort},
}};

}  // namespace shell
