#pragma once

#include <QObject>

namespace shell {

class Form1;
class TracksPanel;

// "START A NEW GAME?" (Game > "New Game"): its "Yes" starts a new game; its
// "No" is Form1's and changes nothing.
class NewGameQuestion : public QObject {
    Q_OBJECT
public:
    NewGameQuestion(Form1& form, TracksPanel& tracks);

    void Command26_Click();  // "Yes"

    // A fresh stable, market and betting field with the starting money. A
    // betting race on is stopped without a payout. Form1's GameReset() is
    // raised at the end, for everything that still holds an old horse.
    void NewGame();

private:
    Form1& form_;
    TracksPanel& tracks_;
};

}  // namespace shell
