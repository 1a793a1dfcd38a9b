#pragma once

#include <QObject>
#include <array>

#include "core/OwnRace.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace platform {
class PictureBox;
}

namespace shell {

class AmountBox;
class Form1;

// The own-horse race screens of the main window: the race-mode screen
// RaceOwn1 and the track RaceOwn2 with its timer HorseMover. "Race Horse" on
// the stable screen leads here. Installs itself on the window it is given.
class OwnRaceScreen : public QObject {
    Q_OBJECT
public:
    explicit OwnRaceScreen(Form1& form);

    void Command7_Click();    // "Race Horse"
    void Option6_Click();     // "Next Race"
    void DisableChargeBox();  // the LAN race mode
    // "Enter Race": a stake box that does not hold an amount shows "2000"
    // and nothing is charged on that press (see AmountBox).
    void Command9_Click();
    void Command11_Click();  // "Start Race!"
    void HorseMover_Timer();

    const core::OwnRace& Race() const { return race_; }

    // RaceOwn1.
    QRadioButton* Option6 = nullptr;  // "Next Race"
    QRadioButton* Option7 = nullptr;  // "LAN Race"
    QLineEdit* Text16 = nullptr;      // "Charge per Player: £"
    QLineEdit* Text3 = nullptr;       // the stake
    AmountBox* Text3Rule = nullptr;   // what the stake box keeps to
    QPushButton* Command9 = nullptr;  // "Enter Race"
    // RaceOwn2.
    platform::PictureBox* Picture3 = nullptr;  // the track
    std::array<platform::PictureBox*, core::kOwnRaceLanes> HorsePic{};  // lanes 6..10
    std::array<QLabel*, core::kOwnRaceLanes> Tit{};                    // Tit1..Tit5
    QPushButton* Command11 = nullptr;

private:
    void BuildModeScreen();
    void BuildTrack();
    void PaintTrack();
    void ShowRunners();
    void GameReset();
    // A horse has changed, come or gone: a race whose runner has left the
    // stable stops, and the player is told.
    void FollowHorses();
    void RunnerGone();

    Form1& form_;
    core::OwnRace race_;
};

}  // namespace shell
