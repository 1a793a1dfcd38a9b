#include "shell/TracksPanel.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/TextBox.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"

namespace shell {

using platform::Pixels;
using platform::PlaceTwips;

namespace {

// The track, in twips from the panel's corner; lanes are stacked on it.
constexpr double kTrackLeft = 120;
constexpr double kTrackTop = 150;
constexpr double kTrackWidth = 8640;  // room for a winner a little past the post
// A lane: the runner's name along its top, the runner below it.
constexpr double kLaneHeight = 690;
constexpr double kTitleTop = 15;
constexpr double kTitleHeight = 210;
constexpr double kRunnerTop = 225;
constexpr double kRunnerWidth = 600;
constexpr double kRunnerHeight = 450;
// Runners are placed by their left edge; the lines are where their noses
// are at the start and when they reach the finish.
constexpr double kStartPost = core::kStartLine + kRunnerWidth;
constexpr double kFinishPost = core::kBettingFinish + kRunnerWidth;

constexpr std::uint32_t kTurf = 0x2F7A2E;   // 0xBBGGRR: a grass green
constexpr std::uint32_t kRail = 0x9FCF9C;   // lane dividers
constexpr std::uint32_t kChalk = 0xFFFFFF;

QString Indexed(const char* name, int index) { return QStringLiteral("%1(%2)").arg(name).arg(index); }

}  // namespace

TracksPanel::TracksPanel(Form1& form)
    : QObject(&form), form_(form), race_(form.Game(), form.Game().Random(), form) {
    setObjectName("TracksPanel");
    BuildTrack();
    for (int lane = 1; lane <= core::kLanes; ++lane) BuildLane(lane);
    BuildButtons();
    DrawTrack();
    connect(&form_.Timer("MoveHorses"), &platform::Timer::Tick, this, &TracksPanel::MoveHorses_Timer);
}

void TracksPanel::BuildTrack() {
    Picture1 = new platform::PictureBox(&form_.PanelBox(Panel::Tracks));
    Picture1->setObjectName("Picture1");
    Picture1->SetBackColor(kTurf);
    PlaceTwips(Picture1, kTrackLeft, kTrackTop, kTrackWidth, kLaneHeight * core::kLanes);
}

void TracksPanel::BuildLane(int lane) {
    const double top = kLaneHeight * (lane - 1);
    QWidget* panel = &form_.PanelBox(Panel::Tracks);

    auto* number = new QLabel(QString::number(lane), Picture1);
    number->setObjectName(QStringLiteral("Label%1").arg(lane));
    number->setAlignment(Qt::AlignCenter);
    QFont bold = number->font();
    bold.setBold(true);
    number->setFont(bold);
    platform::SetForeColor(number, kChalk);
    PlaceTwips(number, 0, top + kRunnerTop, 330, kRunnerHeight);
    Label[static_cast<std::size_t>(lane)] = number;

    // The runner's name is written on the turf of its lane, above its path.
    auto* title = new QLabel(Picture1);
    title->setObjectName(QStringLiteral("Title%1").arg(lane));
    title->setFont(bold);
    platform::SetForeColor(title, kChalk);
    PlaceTwips(title, core::kStartLine, top + kTitleTop, core::kBettingFinish - core::kStartLine, kTitleHeight);
    Title[static_cast<std::size_t>(lane)] = title;

    auto* runner = new platform::PictureBox(Picture1);
    runner->setObjectName(Indexed("HorsePic", lane));
    runner->SetBackColor(kTurf);
    PlaceTwips(runner, core::kStartLine, top + kRunnerTop, kRunnerWidth, kRunnerHeight);
    HorsePic[static_cast<std::size_t>(lane)] = runner;

    QLabel* pound = MakeLabel(panel, ("Pound" + std::to_string(lane)).c_str(), QString::fromUtf8("\u00A3"),
                              kTrackLeft + kTrackWidth + 15, kTrackTop + top + 180, 150, 330);
    pound->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* stake = new platform::TextBox(QStringLiteral("0"), panel);
    stake->setObjectName(Indexed("Wager", lane));
    stake->setToolTip(QStringLiteral("Double-click to bet all your money"));
    stake->installEventFilter(this);
    PlaceTwips(stake, kTrackLeft + kTrackWidth + 180, kTrackTop + top + 180, 1155, 330);
    Wager[static_cast<std::size_t>(lane)] = stake;
}

void TracksPanel::BuildButtons() {
    QWidget* panel = &form_.PanelBox(Panel::Tracks);
    constexpr double top = kTrackTop + kLaneHeight * core::kLanes + 60;

    Command3 = MakeButton(panel, "Command3", QStringLiteral("New Race"), kTrackLeft, top, 1575, 405);
    Command3->setToolTip(QString::fromUtf8("Go to a new race - Fee of \u00A3250"));
    connect(Command3, &QPushButton::clicked, this, &TracksPanel::Command3_Click);

    Command1 = MakeButton(panel, "Command1", QStringLiteral("Start Race!"), kTrackLeft + 1695, top, 1575, 405);
    connect(Command1, &QPushButton::clicked, this, &TracksPanel::Command1_Click);

    Option1 = MakeOption(panel, "Option1", QStringLiteral("Winnings Ratio"), kTrackLeft + 3600, top, 1920, 405);
    Option1->setChecked(true);
    connect(Option1, &QRadioButton::clicked, this, &TracksPanel::Option1_Click);

    Option2 = MakeOption(panel, "Option2", QStringLiteral("Chance of Winning"), kTrackLeft + 5640, top, 2400, 405);
    connect(Option2, &QRadioButton::clicked, this, &TracksPanel::Option2_Click);
}

void TracksPanel::DrawTrack() {
    QImage& canvas = Picture1->Canvas();
    QPainter painter(&canvas);
    painter.fillRect(canvas.rect(), platform::FromBgr(kTurf));
    const int height = Pixels(kLaneHeight * core::kLanes);
    painter.setPen(platform::FromBgr(kRail));
    for (int lane = 1; lane < core::kLanes; ++lane) {
        const int y = Pixels(kLaneHeight * lane);
        painter.drawLine(0, y, canvas.width(), y);
    }
    // The start line runs under the runners only: through the names written
    // above them it would strike a letter out.
    for (int lane = 1; lane <= core::kLanes; ++lane) {
        const int top = Pixels(kLaneHeight * (lane - 1) + kRunnerTop);
        painter.fillRect(QRect(Pixels(kStartPost), top, 2, Pixels(kRunnerHeight)), platform::FromBgr(kChalk));
    }
    // The finishing post: a chequered band the winner's nose reaches.
    const int post = Pixels(kFinishPost);
    constexpr int square = 4;
    for (int y = 0; y < height; y += square) {
        for (int column = 0; column < 2; ++column) {
            const bool white = ((y / square) + column) % 2 == 0;
            painter.fillRect(QRect(post + column * square, y, square, square), white ? Qt::white : Qt::black);
        }
    }
    Picture1->update();
}

void TracksPanel::Command3_Click() {
    if (!race_.NewRace()) return;
    ShowRunners();
    RenderTitles();
    Command3->setEnabled(false);
    Command1->setEnabled(true);
    for (int lane = 1; lane <= core::kLanes; ++lane) Wager[static_cast<std::size_t>(lane)]->setText(QStringLiteral("0"));
}

void TracksPanel::Command1_Click() {
    std::array<std::string, core::kLanes> stakes;
    for (int lane = 1; lane <= core::kLanes; ++lane) {
        stakes[static_cast<std::size_t>(lane - 1)] = platform::FromQString(Wager[static_cast<std::size_t>(lane)]->text());
    }
    if (!race_.StartRace(stakes)) return;
    Command1->setEnabled(false);
    Command3->setEnabled(false);
    SetStakeBoxesEnabled(false);
    form_.Timer("MoveHorses").SetEnabled(true);
}

void TracksPanel::MoveHorses_Timer() {
    const auto winner = race_.Tick();
    ShowRunners();
    if (!winner) return;
    form_.Timer("MoveHorses").SetEnabled(false);
    Command3->setEnabled(true);
    SetStakeBoxesEnabled(true);
}

void TracksPanel::Wager_DblClick(int index) {
    if (index < 1 || index > core::kLanes) return;
    Wager[static_cast<std::size_t>(index)]->setText(platform::ToQString(race_.AllMoneyStake()));
}

void TracksPanel::Option1_Click() { RenderTitles(); }
void TracksPanel::Option2_Click() { RenderTitles(); }

void TracksPanel::ResetForNewGame() {
    form_.Timer("MoveHorses").SetEnabled(false);
    race_.Stop();
    ShowRunners();
    for (int lane = 1; lane <= core::kLanes; ++lane) {
        Title[static_cast<std::size_t>(lane)]->clear();
        Wager[static_cast<std::size_t>(lane)]->setText(QStringLiteral("0"));
    }
    SetStakeBoxesEnabled(true);
    Command1->setEnabled(false);
    Command3->setEnabled(true);
}

void TracksPanel::RenderTitles() {
    const auto style = Option1->isChecked() ? core::TitleStyle::WinningsRatio : core::TitleStyle::ChanceOfWinning;
    for (int lane = 1; lane <= core::kLanes; ++lane) {
        const auto title = race_.Title(lane, style);
        if (!title) return;  // a lane without a runner ends the rendering
        Title[static_cast<std::size_t>(lane)]->setText(platform::ToQString(*title));
    }
}

void TracksPanel::ShowRunners() {
    for (int lane = 1; lane <= core::kLanes; ++lane) {
        const core::Lane& model = race_.LaneAt(lane);
        platform::PictureBox* runner = HorsePic[static_cast<std::size_t>(lane)];
        runner->Tag = race_.Tag(lane);
        const int coat = model.Horse ? model.Runner.Picture : 0;
        if (coat != shownCoat_[static_cast<std::size_t>(lane)]) {
            shownCoat_[static_cast<std::size_t>(lane)] = coat;
            ShowBitmap(*runner, coat);
        }
        MoveToLeft(runner, model.Horse ? model.Runner.Left : core::kStartLine);
    }
}

void TracksPanel::SetStakeBoxesEnabled(bool enabled) {
    for (int lane = 1; lane <= core::kLanes; ++lane) Wager[static_cast<std::size_t>(lane)]->setEnabled(enabled);
}

bool TracksPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int lane = 1; lane <= core::kLanes; ++lane) {
            if (watched == Wager[static_cast<std::size_t>(lane)]) {
                Wager_DblClick(lane);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace shell
