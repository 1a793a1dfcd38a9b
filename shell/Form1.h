#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "core/Game.h"
#include "core/Ports.h"

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class Dialogs;
class PictureBox;
class TextBox;
class Timer;
}  // namespace platform

namespace shell {

class TreeView;

// The screens of the main window, stacked in one place; the one in front is
// the one the player sees.
enum class Panel {
    Tracks, Stables, Market, SellHor, NewGamey, RaceOwn1, RaceOwn2, Improve, SpeedImp,
    StamImp, Drugs, Picture2, Picture6, LANtracks, Picture7, WANtracks, Picture8,
};
inline constexpr int kPanelCount = 17;
const char* PanelName(Panel panel);

// The smaller windows the main window opens, each modeless. Each one's
// opener is installed by the part of the program that owns the window.
enum class SmallWindow {
    About, EliteHorse, Disclaimer, HelpFiles, PlayerStats, GeneCollection,
    UpdateSettings, LeaderBoard, ChatWindow, LanChat,
};

// The main window: the notice line, the screens, the navigation buttons, the
// money line and the version label, the menus and the window's timers.
//
// Controls carry their names as objectNames ("Command8", "Notice", "Label11");
// members of a control array are named with their index, "Wager(1)".
class Form1 : public QMainWindow, public core::Notices {
    Q_OBJECT
public:
    Form1(core::Game& game, platform::Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    core::Game& Game() { return game_; }
    platform::Dialogs& Dialogs() { return dialogs_; }

    // The notice line: bold for its first second, emptied six seconds after
    // it was shown; a newer notice replaces an older one at once.
    void ShowNotice(const std::string& text) override;
    // Adds a sentence to the notice on show (or shows it alone on an empty
    // line), with six seconds of its own: for what follows from the event
    // that notice has just told.
    void AddToNotice(const std::string& text);
    void NoticeTim_Timer();
    // Every second: the level-up rule, then the money line.
    void Timer1_Timer();

    // Screens.
    platform::PictureBox& PanelBox(Panel panel) const;
    void BringToFront(Panel panel);
    Panel FrontPanel() const { return front_; }

    // Navigation.
    void Command8_Click();  // "Tracks"
    void Command4_Click();  // "Stables"
    void Command2_Click();  // "Horse Market"
    void Command6_Click();   // "Sell Horse"
    void Command27_Click(); // "No" on "SELL HORSE?"
    void Command20_Click(); // "No" on "START A NEW GAME?"
    void new_Click();       // Game > "New Game"

    // Small windows.
    void SetOpener(SmallWindow window, std::function<void()> opener);
    void Open(SmallWindow window);
    void ShowDisclaimer() { Open(SmallWindow::Disclaimer); }
    void ShowHelpFiles() { Open(SmallWindow::HelpFiles); }
    void ShowPlayerStats() { Open(SmallWindow::PlayerStats); }
    void ShowUpdateSettings() { Open(SmallWindow::UpdateSettings); }
    void ShowLeaderBoard() { Open(SmallWindow::LeaderBoard); }
    void ShowChatWindow() { Open(SmallWindow::ChatWindow); }
    void OpenLanChat() { Open(SmallWindow::LanChat); }
    void ShowLanChat() { Open(SmallWindow::LanChat); }

    // Paints the window and its screens (the two race tracks keep their
    // plain colour).
    void PaintBackgrounds();
    // Starts the timers that run from the window's start (notice, money line,
    // training labels, socket watchers). Called once start-up is complete, so
    // no timer sees a half-made game.
    void EnableDesignTimeTimers();
    // Shows the money line now.
    void UpdateMoneyLine();

    platform::Timer& Timer(const char* name) const;

    // Fills the two product trees afresh, in the shops' order.
    void FillProductTrees();
    QMenu* GameMenu() const { return fil; }
    QMenu* HelpMenu() const { return help; }

    // Money at which the player reaches the next level.
    static constexpr double kLevelUpMoney = 1000000000;

    std::int32_t ProgramVersion = 29;
    std::int16_t NOTICEexpirey = 0;
    // False once the program is ending without the close-time save: the game
    // was just saved on the way out, or the save file was refused. Closing
    // the window saves only while it is true (see shell/SaveGameWindows.h).
    bool SaveOnClose = true;

    // Controls of the window itself.
    platform::PictureBox* Client = nullptr;
    QLineEdit* Notice = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label13 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command2 = nullptr;
    // The trees that several screens share.
    TreeView* StableTree = nullptr;
    TreeView* MarketTree = nullptr;
    TreeView* legal = nullptr;
    TreeView* illegal = nullptr;

    // The stable screen: the horse's card, the breeding boxes (each Tag holds
    // its horse's slot) and the actions on the selected horse.
    QPlainTextEdit* Text1 = nullptr;
    platform::TextBox* MalePart = nullptr;
    platform::TextBox* FemalePart = nullptr;
    QPushButton* Command15 = nullptr;  // "Improve Horse"
    QPushButton* Command7 = nullptr;   // "Race Horse"
    QPushButton* Command6 = nullptr;   // "Sell Horse"
    QPushButton* Command5 = nullptr;   // "Breed Horses"
    // The market screen.
    QPlainTextEdit* Text2 = nullptr;
    QPushButton* Command10 = nullptr;  // "Buy Horse"
    // The two questions.
    QPushButton* Command25 = nullptr;  // "Yes" on "SELL HORSE?"
    QPushButton* Command27 = nullptr;  // "No"
    QPushButton* Command26 = nullptr;  // "Yes" on "START A NEW GAME?"
    QPushButton* Command20 = nullptr;  // "No"

    QMenu* fil = nullptr;
    QMenu* help = nullptr;
    QAction* new_ = nullptr;
    QAction* Save = nullptr;
    QAction* exit_ = nullptr;
    QAction* ab = nullptr;

signals:
    // A new game has replaced the stable, market and betting field: anything
    // that still refers to an old horse (a foal on its way, an open foal
    // window, a running exercise) lets go of it.
    void GameReset();
    // The program is ending and the game is about to be saved for the last
    // time: a network game in play ends first, and a stake it holds that can
    // no longer be won comes back into the money that is saved. (Should that
    // save fail and the player choose to play on, the network game stays
    // ended.)
    void Quitting();
    // A horse of the stable or the market has changed, come or gone: the
    // cards and boxes that show a horse follow it. Whatever changes a horse
    // raises it once it has finished.
    void HorsesChanged();

private:
    void BuildControls();
    void BuildPanels();
    void BuildStableScreens();
    void BuildMenus();
    void BuildTimers();

    core::Game& game_;
    platform::Dialogs& dialogs_;
    std::array<platform::PictureBox*, kPanelCount> panels_{};
    Panel front_ = Panel::Tracks;
    std::map<std::string, platform::Timer*> timers_;
    std::map<SmallWindow, std::function<void()>> openers_;
};

}  // namespace shell
