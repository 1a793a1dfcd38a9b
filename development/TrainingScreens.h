#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <optional>

#include "development/Exercises.h"

class QLabel;
class QPushButton;

namespace platform {
class PictureBox;
}
namespace shell {
class Form1;
}

namespace development {

// The improvement screen (Improve) and the two training screens (SpeedImp,
// StamImp) with their clocks and live points labels. Every handler works on
// the horse selected in the stable tree at that moment and does nothing
// without one. Installs itself on the window it is given.
class TrainingScreens : public QObject {
    Q_OBJECT
public:
    explicit TrainingScreens(shell::Form1& form);

    void Command15_Click();  // "Improve Horse" on the stable screen
    void Command13_Click();  // "Drugs"

    void Command17_Click();  // "Exercise (Speed)"
    void Command19_Click();  // "Start Training!" (speed)
    void Clicky_Click(int index);
    void SpeedTimer_Timer();
    void Timer5_Timer();

    void Command16_Click();  // "Exercise (Stamina)"
    void Command14_Click();  // "Start Training!" (stamina)
    void StamImp_KeyDown(std::int16_t keyCode, std::int16_t shift);
    void StamTimer_Timer();
    void Timer4_Timer();

    const SpeedExercise& Speed() const { return speed_; }
    const StaminaExercise& Stamina() const { return stamina_; }

    QPushButton* Command17 = nullptr;
    QPushButton* Command16 = nullptr;
    QPushButton* Command13 = nullptr;

    platform::PictureBox* Picture5 = nullptr;
    platform::PictureBox* SpeedHorse = nullptr;  // HorsePic(0)
    std::array<QPushButton*, kClickyButtons> Clicky{};
    QPushButton* Command19 = nullptr;
    QLabel* Dist = nullptr;
    QLabel* Label30 = nullptr;

    platform::PictureBox* Picture4 = nullptr;
    platform::PictureBox* StaminaHorse = nullptr;  // HorsePic(11)
    platform::PictureBox* Keys = nullptr;
    QPushButton* Command14 = nullptr;
    QLabel* Distance = nullptr;
    QLabel* Label28 = nullptr;

protected:
    // The stamina screen reads the arrow keys itself: left to Qt they would
    // move the focus between buttons.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildImprove();
    void BuildSpeed();
    void BuildStamina();
    core::HorseRec* SelectedHorse() const;
    void ShowSpeed();
    void ShowStamina();
    void EndSpeed();
    void EndStamina();
    void GameReset();

    shell::Form1& form_;
    platform::PictureBox* stamPanel_ = nullptr;  // StamImp, whose keys this reads
    SpeedExercise speed_;
    StaminaExercise stamina_;
};

}  // namespace development
