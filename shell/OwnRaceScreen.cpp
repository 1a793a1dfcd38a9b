#include "shell/OwnRaceScreen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "runtime/Numbers.h"
#include "shell/AmountBox.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"
#include "shell/TreeView.h"

namespace shell {

namespace {

constexpr std::uint32_t kTurf = 0x2E8B2E;
constexpr double kTrackWidth = 10215;
constexpr double kTrackHeight = 3375;
constexpr double kLaneHeight = 630;
constexpr double kFirstLaneTop = 90;
constexpr double kHorseWidth = 720;
constexpr double kHorseHeight = 540;

double LaneTop(int lane) { return kFirstLaneTop + (lane - core::kFirstOwnRaceLane) * kLaneHeight; }

// The finish lies closer to the right edge than a horse is long: the track is
// drawn to scale with the post at its edge.
double ShownLeft(double left) { return LeftOnTrack(left, core::kOwnRaceFinish, kTrackWidth, kHorseWidth); }

}  // namespace

OwnRaceScreen::OwnRaceScreen(Form1& form) : QObject(&form), form_(form) {
    setObjectName("OwnRaceScreen");
    BuildModeScreen();
    BuildTrack();
    connect(form_.Command7, &QPushButton::clicked, this, &OwnRaceScreen::Command7_Click);
    connect(&form_.Timer("HorseMover"), &platform::Timer::Tick, this, &OwnRaceScreen::HorseMover_Timer);
    connect(&form_, &Form1::GameReset, this, &OwnRaceScreen::GameReset);
    connect(&form_, &Form1::HorsesChanged, this, &OwnRaceScreen::FollowHorses);
}

void OwnRaceScreen::BuildModeScreen() {
    QWidget* panel = &form_.PanelBox(Panel::RaceOwn1);
    QLabel* title = MakeLabel(panel, "RaceModeTitle", QStringLiteral("Please select a race mode..."), 360, 240, 9495, 495);
    QFont font = title->font();
    font.setPointSize(14);
    font.setBold(true);
    title->setFont(font);
    Option6 = MakeOption(panel, "Option6", QStringLiteral("Next Race"), 720, 960, 3000, 375);
    Option6->setChecked(true);
    Option7 = MakeOption(panel, "Option7", QStringLiteral("LAN Race"), 720, 1380, 3000, 375);
    Text16 = MakeTextBox(panel, "Text16", QString::fromUtf8("Charge per Player: \u00A3"), 720, 2040, 1935, 315);
    Text16->setReadOnly(true);
    Text16->setFocusPolicy(Qt::NoFocus);
    platform::SetBackColor(Text16, 0xE0E0E0);
    Text3 = MakeTextBox(panel, "Text3", QStringLiteral("2500"), 2655, 2040, 1455, 315);
    Command9 = MakeButton(panel, "Command9", QStringLiteral("Enter Race"), 720, 2640, 1935, 495);
    connect(Option6, &QRadioButton::clicked, this, &OwnRaceScreen::Option6_Click);
    connect(Option7, &QRadioButton::clicked, this, &OwnRaceScreen::DisableChargeBox);
    Text3Rule = new AmountBox(*Text3, QString::fromLatin1(core::kDefaultOwnStakeText), *Command9);
    connect(Command9, &QPushButton::clicked, this, &OwnRaceScreen::Command9_Click);
}

void OwnRaceScreen::BuildTrack() {
    QWidget* panel = &form_.PanelBox(Panel::RaceOwn2);
    Picture3 = MakePicture(panel, "Picture3", 0, 0, kTrackWidth, kTrackHeight);
    Picture3->SetBackColor(kTurf);
    for (int lane = core::kFirstOwnRaceLane; lane <= core::kPlayerLane; ++lane) {
        const auto n = static_cast<std::size_t>(lane - core::kFirstOwnRaceLane);
        const double top = LaneTop(lane);
        QLabel* number = MakeLabel(Picture3, ("RaceOwnLane" + std::to_string(n + 1)).c_str(), QString::number(n + 1),
                                   60, top + 150, 240, 255);
        platform::SetForeColor(number, 0xFFFFFF);
        Tit[n] = MakeLabel(Picture3, ("Tit" + std::to_string(n + 1)).c_str(), QString(), 1200, top + 30, 5000, 255);
        platform::SetForeColor(Tit[n], 0xFFFFFF);
        HorsePic[n] = MakePicture(Picture3, ("HorsePic(" + std::to_string(lane) + ")").c_str(),
                                  ShownLeft(core::kStartLine), top + 45, kHorseWidth, kHorseHeight);
        HorsePic[n]->SetBackColor(kTurf);
        // The names stay readable while the horses run past them.
        Tit[n]->raise();
    }
    Command11 = MakeButton(panel, "Command11", QStringLiteral("Start Race!"), 8160, 3420, 1935, 495);
    Command11->setEnabled(false);
    connect(Command11, &QPushButton::clicked, this, &OwnRaceScreen::Command11_Click);
    PaintTrack();
}

// Lane lines and the finish post on the turf.
void OwnRaceScreen::PaintTrack() {
    // A horse has finished when its nose reaches the post.
    PaintRaceTrack(*Picture3, kTurf, core::kOwnRaceLanes, LaneTop(core::kFirstOwnRaceLane) - 45, kLaneHeight,
                   kTrackWidth);
}

void OwnRaceScreen::Command7_Click() {
    if (race_.ChooseHorse(form_.Game(), *form_.StableTree)) form_.BringToFront(Panel::RaceOwn1);
}

void OwnRaceScreen::Option6_Click() { Text3->setEnabled(true); }

// The LAN game has a charge box of its own.
void OwnRaceScreen::DisableChargeBox() { Text3->setEnabled(false); }

void OwnRaceScreen::Command9_Click() {
    if (Option7->isChecked()) {
        form_.BringToFront(Panel::Picture2);
        return;
    }
    // A running race is shown whatever the box holds.
    if (!race_.Running() && !Text3Rule->Settle()) return;
    core::Game& game = form_.Game();
    switch (race_.Enter(game, form_, platform::FromQString(Text3->text()))) {
        case core::EnterResult::Entered:
            for (std::size_t i = 0; i < core::kOpponents; ++i) {
                HorsePic[i]->Tag = runtime::NumberText(static_cast<std::int64_t>(i));
                Tit[i]->setText(platform::ToQString(game.OpponentHorse[i].Name));
            }
            HorsePic[4]->Tag = runtime::NumberText(static_cast<std::int64_t>(race_.Runner()));
            Tit[4]->setText(platform::ToQString(game.OwnedHorse[static_cast<std::size_t>(race_.Runner())].Name));
            for (std::size_t n = 0; n < HorsePic.size(); ++n) {
                ShowBitmap(*HorsePic[n], race_.Lane(core::kFirstOwnRaceLane + static_cast<int>(n)).Picture);
            }
            ShowRunners();
            Command11->setEnabled(true);
            form_.BringToFront(Panel::RaceOwn2);
            break;
        case core::EnterResult::RaceRunning:
            // Nothing new is entered; the player is shown the race that runs.
            form_.BringToFront(Panel::RaceOwn2);
            break;
        default:
            break;
    }
}

void OwnRaceScreen::Command11_Click() {
    const core::StartResult started = race_.Start(form_.Game());
    if (started == core::StartResult::Started || started == core::StartResult::TooTired) {
        emit form_.HorsesChanged();  // the runner has paid its health
    }
    switch (started) {
        case core::StartResult::Started:
            Command11->setEnabled(false);
            form_.Timer("HorseMover").SetEnabled(true);
            break;
        case core::StartResult::TooTired:
            form_.BringToFront(Panel::Stables);
            form_.ShowNotice(form_.Game().OwnedHorse[static_cast<std::size_t>(race_.Runner())].Name +
                             core::kTooWeakToRace);
            break;
        case core::StartResult::RunnerGone: RunnerGone(); break;
        case core::StartResult::NotReady:
            break;
    }
}

void OwnRaceScreen::HorseMover_Timer() {
    const core::TickResult result = race_.Tick(form_.Game(), form_);
    ShowRunners();
    if (result != core::TickResult::Running) form_.Timer("HorseMover").SetEnabled(false);
    if (result == core::TickResult::Finished) emit form_.HorsesChanged();  // the runner's confidence
    if (result == core::TickResult::RunnerGone) RunnerGone();
}

void OwnRaceScreen::ShowRunners() {
    for (std::size_t n = 0; n < HorsePic.size(); ++n) {
        MoveToLeft(HorsePic[n], ShownLeft(race_.Lane(core::kFirstOwnRaceLane + static_cast<int>(n)).Left));
    }
}

void OwnRaceScreen::FollowHorses() {
    if (race_.StopIfRunnerGone(form_.Game())) RunnerGone();
}

void OwnRaceScreen::RunnerGone() {
    form_.Timer("HorseMover").SetEnabled(false);
    Command11->setEnabled(false);
    form_.AddToNotice(race_.RunnerGoneNotice());
}

void OwnRaceScreen::GameReset() {
    race_.Stop();
    form_.Timer("HorseMover").SetEnabled(false);
    Command11->setEnabled(false);
}

}  // namespace shell
