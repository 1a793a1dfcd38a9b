#include "development/TrainingScreens.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "core/SelectedHorse.h"
#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "runtime/Numbers.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"
#include "shell/TreeView.h"

namespace development {

using shell::MakeButton;
using shell::MakeLabel;
using shell::MakePicture;
using shell::Panel;

namespace {

constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kLightRed = 0xC0C0FF;
constexpr std::uint32_t kTurf = 0x2E8B2E;
constexpr double kClickyLefts[3] = {8040, 8760, 9480};
constexpr double kClickyTops[3] = {2160, 2760, 3360};

void Paint(QPushButton* button, std::uint32_t bgr) {
    // A style sheet, so that every widget style shows the colour.
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #606060; }")
                              .arg(platform::FromBgr(bgr).name()));
    button->setProperty("backColor", static_cast<uint>(bgr));
}

QString PointsText(int points) { return QString::number(points); }

QLabel* Heading(QWidget* parent, const char* name, const char* text, double left, double top, double width) {
    QLabel* label = MakeLabel(parent, name, QString::fromLatin1(text), left, top, width, 495);
    QFont font = label->font();
    font.setPointSize(14);
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The track of an exercise with its finish post at the right edge.
platform::PictureBox* MakeTrack(QWidget* panel, const char* name) {
    platform::PictureBox* track = MakePicture(panel, name, 0, 120, 10215, 1335);
    track->SetBackColor(kTurf);
    QImage& canvas = track->Canvas();
    for (int y = 0; y < track->height(); y += 6) {
        for (int x = track->width() - 6; x < track->width(); x += 3) {
            const bool dark = ((y / 6) + (x / 3)) % 2 != 0;
            for (int dy = 0; dy < 3 && y + dy < canvas.height(); ++dy) {
                for (int dx = 0; dx < 3 && x + dx < canvas.width(); ++dx) {
                    canvas.setPixelColor(x + dx, y + dy, dark ? Qt::black : Qt::white);
                }
            }
        }
    }
    return track;
}

}  // namespace

TrainingScreens::TrainingScreens(shell::Form1& form) : QObject(&form), form_(form) {
    setObjectName("TrainingScreens");
    BuildImprove();
    BuildSpeed();
    BuildStamina();
    connect(form_.Command15, &QPushButton::clicked, this, &TrainingScreens::Command15_Click);
    connect(&form_.Timer("SpeedTimer"), &platform::Timer::Tick, this, &TrainingScreens::SpeedTimer_Timer);
    connect(&form_.Timer("StamTimer"), &platform::Timer::Tick, this, &TrainingScreens::StamTimer_Timer);
    connect(&form_.Timer("Timer4"), &platform::Timer::Tick, this, &TrainingScreens::Timer4_Timer);
    connect(&form_.Timer("Timer5"), &platform::Timer::Tick, this, &TrainingScreens::Timer5_Timer);
    connect(&form_, &shell::Form1::GameReset, this, &TrainingScreens::GameReset);
}

void TrainingScreens::BuildImprove() {
    QWidget* panel = &form_.PanelBox(Panel::Improve);
    Heading(panel, "ImproveTitle", "Selected Method of Improvement:", 720, 480, 8775);
    Command17 = MakeButton(panel, "Command17", QStringLiteral("Exercise (Speed)"), 720, 1440, 2775, 1095);
    Command16 = MakeButton(panel, "Command16", QStringLiteral("Exercise (Stamina)"), 3720, 1440, 2775, 1095);
    Command13 = MakeButton(panel, "Command13", QStringLiteral("Drugs"), 6720, 1440, 2775, 1095);
    connect(Command17, &QPushButton::clicked, this, &TrainingScreens::Command17_Click);
    connect(Command16, &QPushButton::clicked, this, &TrainingScreens::Command16_Click);
    connect(Command13, &QPushButton::clicked, this, &TrainingScreens::Command13_Click);
}

void TrainingScreens::BuildSpeed() {
    QWidget* panel = &form_.PanelBox(Panel::SpeedImp);
    Picture5 = MakeTrack(panel, "Picture5");
    SpeedHorse = MakePicture(Picture5, "HorsePic(0)", kExerciseStartLeft, 390, 720, 540);
    SpeedHorse->SetBackColor(kTurf);
    Dist = Heading(panel, "Dist", "50m", 120, 1560, 1575);
    MakeLabel(panel, "Label31", QStringLiteral("Points Remaining:"), 1920, 1680, 1935, 255);
    Label30 = Heading(panel, "Label30", "0", 3900, 1560, 735);
    QLabel* help = MakeLabel(panel, "Label33",
                             QStringLiteral("Click the high-lighted buttons to make your horse move. The faster you "
                                            "click the buttons, the more effective this training session will be."),
                             120, 2160, 7680, 735);
    help->setWordWrap(true);
    Command19 = MakeButton(panel, "Command19", QStringLiteral("Start Training!"), 120, 3120, 2175, 615);
    connect(Command19, &QPushButton::clicked, this, &TrainingScreens::Command19_Click);
    for (int index = 0; index < kClickyButtons; ++index) {
        const std::string name = "Clicky(" + std::to_string(index) + ")";
        QPushButton* button =
            MakeButton(panel, name.c_str(), QString(), kClickyLefts[index % 3], kClickyTops[index / 3], 615, 495);
        // A click must not leave the focus on a grid button.
        button->setFocusPolicy(Qt::NoFocus);
        Clicky[static_cast<std::size_t>(index)] = button;
        connect(button, &QPushButton::clicked, this, [this, index] { Clicky_Click(index); });
    }
    ShowSpeed();
}

void TrainingScreens::BuildStamina() {
    platform::PictureBox* panel = &form_.PanelBox(Panel::StamImp);
    stamPanel_ = panel;
    panel->setFocusPolicy(Qt::StrongFocus);
    panel->installEventFilter(this);
    Picture4 = MakeTrack(panel, "Picture4");
    StaminaHorse = MakePicture(Picture4, "HorsePic(11)", kExerciseStartLeft, 390, 720, 540);
    StaminaHorse->SetBackColor(kTurf);
    Distance = Heading(panel, "Distance", "50m", 120, 1560, 1575);
    MakeLabel(panel, "Label26", QStringLiteral("Points Remaining:"), 1920, 1680, 1935, 255);
    Label28 = Heading(panel, "Label28", "0", 3900, 1560, 735);
    QLabel* help = MakeLabel(panel, "Label25",
                             QStringLiteral("Press the high-lighted keys to make your horse move. The faster you "
                                            "press the keys, the more effective this training session will be."),
                             120, 2160, 7680, 735);
    help->setWordWrap(true);
    Command14 = MakeButton(panel, "Command14", QStringLiteral("Start Training!"), 120, 3120, 2175, 615);
    connect(Command14, &QPushButton::clicked, this, &TrainingScreens::Command14_Click);
    Keys = MakePicture(panel, "Keys", 7920, 1800, 2175, 1980);
    Keys->SetBackColor(0xC0C0C0);
    ShowStamina();
}

core::HorseRec* TrainingScreens::SelectedHorse() const {
    const auto slot = core::SelectedStableHorse(form_.Game(), *form_.StableTree);
    return slot ? &form_.Game().OwnedHorse[static_cast<std::size_t>(*slot)] : nullptr;
}

void TrainingScreens::Command15_Click() {
    if (core::HasSelectedNode(*form_.StableTree)) form_.BringToFront(Panel::Improve);
}

void TrainingScreens::Command13_Click() { form_.BringToFront(Panel::Drugs); }

void TrainingScreens::Command17_Click() {
    core::HorseRec* horse = SelectedHorse();
    if (!horse) return;
    Dist->setText(platform::ToQString(DistanceCaption(horse->Speed)));
    speed_.SetUp();
    EndSpeed();
    Label30->setText(PointsText(15));
    form_.BringToFront(Panel::SpeedImp);
    shell::ShowBitmap(*SpeedHorse, horse->Colour);
}

void TrainingScreens::Command19_Click() {
    core::HorseRec* horse = SelectedHorse();
    if (!horse) return;
    if (speed_.Start(*horse, form_) == StartResult::TooGood) {
        form_.BringToFront(Panel::Drugs);
        return;
    }
    form_.Timer("SpeedTimer").SetEnabled(true);
    Command19->setEnabled(false);
    ShowSpeed();
}

void TrainingScreens::Clicky_Click(int index) {
    core::HorseRec* horse = SelectedHorse();
    if (!horse || index < 0 || index >= kClickyButtons) return;
    const ExerciseStep step = speed_.Click(index, *horse, form_.Game(), form_);
    if (step.finishedWith) {
        Dist->setText(platform::ToQString(DistanceCaption(horse->Speed)));
        EndSpeed();
        emit form_.HorsesChanged();
    }
    ShowSpeed();
}

void TrainingScreens::SpeedTimer_Timer() {
    if (!speed_.Tick(form_)) EndSpeed();
}

void TrainingScreens::Timer5_Timer() { Label30->setText(PointsText(speed_.LivePoints())); }

void TrainingScreens::Command16_Click() {
    core::HorseRec* horse = SelectedHorse();
    if (!horse) return;
    Distance->setText(platform::ToQString(DistanceCaption(horse->Stamina)));
    stamina_.SetUp();
    EndStamina();
    Label28->setText(PointsText(15));
    form_.BringToFront(Panel::StamImp);
    shell::ShowBitmap(*StaminaHorse, horse->Colour);
}

void TrainingScreens::Command14_Click() {
    core::HorseRec* horse = SelectedHorse();
    if (!horse) return;
    if (stamina_.Start(*horse) == StartResult::TooGood) {
        form_.BringToFront(Panel::Drugs);
        return;
    }
    ShowStamina();
    form_.Timer("StamTimer").SetEnabled(true);
    Command14->setEnabled(false);
    stamPanel_->setFocus();
}

void TrainingScreens::StamImp_KeyDown(std::int16_t keyCode, std::int16_t /*shift*/) {
    core::HorseRec* horse = SelectedHorse();
    if (!horse) return;
    const ExerciseStep step = stamina_.KeyDown(keyCode, *horse, form_.Game(), form_);
    if (step.finishedWith) {
        Distance->setText(platform::ToQString(DistanceCaption(horse->Stamina)));
        EndStamina();
        emit form_.HorsesChanged();
    }
    ShowStamina();
}

void TrainingScreens::StamTimer_Timer() {
    if (!stamina_.Tick(form_)) EndStamina();
}

void TrainingScreens::Timer4_Timer() { Label28->setText(PointsText(stamina_.LivePoints())); }

bool TrainingScreens::eventFilter(QObject* watched, QEvent* event) {
    if (watched == stamPanel_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        std::int16_t code = 0;
        if (key->key() == Qt::Key_Left) code = kLeftArrow;
        if (key->key() == Qt::Key_Right) code = kRightArrow;
        if (code != 0) {
            const bool shift = key->modifiers().testFlag(Qt::ShiftModifier);
            StamImp_KeyDown(code, shift ? 1 : 0);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TrainingScreens::ShowSpeed() {
    form_.PanelBox(Panel::SpeedImp).Tag = speed_.Tag();
    for (int index = 0; index < kClickyButtons; ++index) {
        Paint(Clicky[static_cast<std::size_t>(index)], index == speed_.RedButton() ? kRed : kLightRed);
    }
    shell::MoveToLeft(SpeedHorse, speed_.HorseLeft());
}

void TrainingScreens::ShowStamina() {
    form_.PanelBox(Panel::StamImp).Tag = stamina_.Tag();
    Keys->Tag = stamina_.KeysTag();
    shell::ShowBitmap(*Keys, stamina_.KeysPicture());
    shell::MoveToLeft(StaminaHorse, stamina_.HorseLeft());
}

void TrainingScreens::EndSpeed() {
    Command19->setEnabled(true);
    form_.Timer("SpeedTimer").SetEnabled(false);
    ShowSpeed();
}

void TrainingScreens::EndStamina() {
    Command14->setEnabled(true);
    form_.Timer("StamTimer").SetEnabled(false);
    ShowStamina();
}

// The old game's horses are gone: a running exercise ends without points.
void TrainingScreens::GameReset() {
    speed_.SetUp();
    stamina_.SetUp();
    EndSpeed();
    EndStamina();
}

}  // namespace development
