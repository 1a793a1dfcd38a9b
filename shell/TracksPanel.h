#pragma once

#include <QObject>
#include <array>

#include "core/BettingRace.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace platform {
class PictureBox;
class TextBox;
}  // namespace platform

namespace shell {

class Form1;

// The race-track screen of the betting race, built on Form1's `Tracks`
// panel: five lanes with their runner, title and stake box, "New Race",
// "Start Race!" and the two ways of showing the odds. The rules are in
// core::BettingRace; this class reads and writes the controls.
//
// Arrays are indexed by lane, 1 to 5 (index 0 is unused, as the controls
// are named "HorsePic(1)" to "HorsePic(5)").
class TracksPanel : public QObject {
    Q_OBJECT
public:
    explicit TracksPanel(Form1& form);

    void Command3_Click();  // "New Race"
    void Command1_Click();  // "Start Race!"
    void MoveHorses_Timer();
    void Wager_DblClick(int index);
    void Option1_Click();
    void Option2_Click();

    // A new game: a race on is stopped without a payout and the track
    // cleared; "New Race" is enabled and "Start Race!" disabled.
    void ResetForNewGame();

    core::BettingRace& Race() { return race_; }

    platform::PictureBox* Picture1 = nullptr;
    std::array<platform::PictureBox*, core::kLanes + 1> HorsePic{};
    std::array<QLabel*, core::kLanes + 1> Label{};
    std::array<QLabel*, core::kLanes + 1> Title{};
    std::array<platform::TextBox*, core::kLanes + 1> Wager{};
    QPushButton* Command3 = nullptr;
    QPushButton* Command1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTrack();
    void BuildLane(int lane);
    void BuildButtons();
    void DrawTrack();
    void RenderTitles();
    void ShowRunners();
    void SetStakeBoxesEnabled(bool enabled);

    Form1& form_;
    core::BettingRace race_;
    std::array<int, core::kLanes + 1> shownCoat_{};  // the coat each runner's picture shows
};

}  // namespace shell
