#include "online/LanHostScreens.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <thread>

#include "core/SelectedHorse.h"
#include "core/Stable.h"
#include "net/CSocketEngine.h"
#include "online/LanHostSockets.h"
#include "online/LanTrack.h"
#include "platform/Colours.h"
#include "platform/PasteGuard.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "platform/UserName.h"
#include "runtime/Numbers.h"
#include "shell/AmountBox.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"
#include "shell/SystemHelpers.h"
#include "shell/TreeView.h"

namespace online {

using shell::MakeButton;
using shell::MakeLabel;
using shell::MakePicture;
using shell::MakeTextBox;
using shell::Panel;

namespace {

constexpr int kEmptySlotPicture = 149;
// Lane 1 begins this far down the turf.
constexpr double kFirstLaneTop = 90;

QString GameText(const std::string& text) { return platform::ToQString(text); }

}  // namespace

LanHostScreens::LanHostScreens(shell::Form1& form, int port, platform::UserNameSource* userNames)
    : QObject(&form),
      form_(form),
      sockets_(new LanHostSockets(this, port)),
      userNames_(userNames),
      payCheck_(new platform::Timer(QStringLiteral("PayCheck"), static_cast<int>(lan::kPayoutPoll.count()), this)) {
    setObjectName("LanHostScreens");
    if (!userNames_) {
        ownUserNames_ = std::make_unique<platform::SystemUserName>();
        userNames_ = ownUserNames_.get();
    }
    BuildSetUp();
    BuildLobby();
    BuildTrack();
    connect(sockets_, &LanHostSockets::ConnectionRequest, this,
            [this](int requestID) { Socket1_ConnectionRequest(0, requestID); });
    connect(sockets_, &LanHostSockets::MessageReceived, this, &LanHostScreens::Socket1_DataArrival);
    connect(sockets_, &LanHostSockets::ConnectionClosed, this, &LanHostScreens::Socket1_CloseSck);
    connect(&form_.Timer("LANrace"), &platform::Timer::Tick, this, &LanHostScreens::LANrace_Timer);
    connect(&form_.Timer("PayEm"), &platform::Timer::Tick, this, &LanHostScreens::PayEm_Timer);
    connect(payCheck_, &platform::Timer::Tick, this, &LanHostScreens::PayCheck_Timer);
    connect(&form_.Timer("Timer2"), &platform::Timer::Tick, this, &LanHostScreens::Timer2_Timer);
    connect(&form_, &shell::Form1::GameReset, this, &LanHostScreens::GameReset);
    connect(&form_, &shell::Form1::Quitting, this, &LanHostScreens::Quitting);
}

LanHostScreens::~LanHostScreens() = default;

// ---- Building -----------------------------------------------------------------

void LanHostScreens::BuildSetUp() {
    QWidget* panel = &form_.PanelBox(Panel::Picture2);
    Text15 = MakeTextBox(panel, "Text15", QStringLiteral("Charge per Player: "), 720, 480, 1935, 315);
    Text15->setReadOnly(true);
    Text15->setFocusPolicy(Qt::NoFocus);
    platform::SetBackColor(Text15, 0xE0E0E0);
    Text14 = MakeTextBox(panel, "Text14", QStringLiteral("2500"), 2655, 480, 1455, 315);
    Command22 = MakeButton(panel, "Command22", QStringLiteral("Create a Game"), 720, 960, 1935, 495);
    Text14Rule = new shell::AmountBox(*Text14, QString::fromLatin1(lan::kDefaultChargeText), *Command22);
    connect(Command22, &QPushButton::clicked, this, &LanHostScreens::Command22_Click);
}

void LanHostScreens::BuildLobby() {
    QWidget* panel = &form_.PanelBox(Panel::Picture6);
    MakeLabel(panel, "Label36", QStringLiteral("Contenders:"), 240, 240, 2000, 255);
    for (int k = 1; k <= lan::kSlots; ++k) {
        auto*& box = Lobby[static_cast<std::size_t>(k - 1)];
        box = MakePicture(panel, shell::IndexedName("Lobby", k).c_str(), 240 + (k - 1) * 1020, 540, 900, 675);
        box->SetBackColor(0xFFFFFF);
        shell::ShowBitmap(*box, kEmptySlotPicture);
        connect(box, &platform::PictureBox::Click, this, [this, k] { Lobby_Click(k); });
    }
    MakeLabel(panel, "Label37", QStringLiteral("Game Status:"), 240, 1500, 1335, 255);
    Label38 = MakeLabel(panel, "Label38", QString(), 1575, 1500, 3600, 255);
    Command23 = MakeButton(panel, "Command23", QStringLiteral("START RACE!"), 240, 2040, 2355, 495);
    Text10 = new platform::PlainTextBox(panel);
    Text10->setObjectName("Text10");
    Text10->setReadOnly(true);
    platform::PlaceTwips(Text10, 5520, 240, 4455, 3495);
    connect(Command23, &QPushButton::clicked, this, &LanHostScreens::Command23_Click);
}

void LanHostScreens::BuildTrack() {
    QWidget* panel = &form_.PanelBox(Panel::LANtracks);
    QLabel* title = MakeLabel(panel, "Label39", QString::fromLatin1(lan::kRaceTitle), 120, 30, 6000, 300);
    QFont font = title->font();
    font.setBold(true);
    font.setPointSize(11);
    title->setFont(font);
    const LanTrack track = LanTrack::Build(panel, "Picture9", "LANtit", "LANpic", 360, kFirstLaneTop);
    Picture9 = track.turf;
    LANtit = track.titles;
    LANpic = track.pictures;
    LanWinCap = MakeLabel(panel, "LanWinCap", QString::fromLatin1(lan::kWonNothing), 120, 3660, 5400, 285);
    QFont capFont = LanWinCap->font();
    capFont.setBold(true);
    LanWinCap->setFont(capFont);
    MakeLabel(panel, "Label40", QStringLiteral("Packet Frequency"), 5340, 3660, 1860, 255);
    PackF = new QScrollBar(Qt::Horizontal, panel);
    PackF->setObjectName("PackF");
    PackF->setRange(0, lan::kMaxPacketFrequency);
    PackF->setValue(lan::kMaxPacketFrequency);
    platform::PlaceTwips(PackF, 7260, 3660, 2835, 255);
    RaceAgain = MakeButton(panel, "RaceAgain", QStringLiteral("START RACE!"), 7800, 0, 2295, 345);
    RaceAgain->hide();
    connect(RaceAgain, &QPushButton::clicked, this, &LanHostScreens::RaceAgain_Click);
}

void LanHostScreens::SetClock(std::function<lan::SettleTime()> clock) {
    host_ = lan::LanHost(std::move(clock));
}

// ---- Creating the game ---------------------------------------------------------

void LanHostScreens::Text14_Change() { Text14Rule->Settle(); }

void LanHostScreens::Command22_Click() {
    if (host_.RaceUnderway()) {
        form_.ShowNotice(lan::kRaceStillRunning);
        return;
    }
    // A charge the box had to correct creates nothing on this press.
    const auto charge = Text14Rule->Settle();
    if (!charge) return;
    core::Game& game = form_.Game();
    const auto horse = core::SelectedStableHorse(game, *form_.StableTree);
    lan::HostActions actions;
    const std::string name = horse && game.Money >= *charge ? HostName() : std::string();
    switch (host_.CreateGame(game, *charge, horse, name, actions)) {
        case lan::CreateResult::Created: break;
        case lan::CreateResult::NotEnoughMoney: form_.ShowNotice(lan::kNotEnoughMoneyToHost); return;
        case lan::CreateResult::NoHorse: form_.ShowNotice(lan::kSelectHorseToHost); return;
        case lan::CreateResult::RaceRunning: form_.ShowNotice(lan::kRaceStillRunning); return;
        case lan::CreateResult::BadCharge: return;
    }
    Apply(actions);
    Text10->clear();
    form_.BringToFront(Panel::Picture6);
    const bool listening = sockets_->Listen();
    form_.Timer("Timer2").SetEnabled(listening);
    Label38->setText(listening ? QString() : QString::fromLatin1(lan::kCouldNotCreateGame));
}

std::string LanHostScreens::HostName() { return shell::CurrentUserName(*userNames_, form_.Dialogs()); }

// ---- The players ----------------------------------------------------------------

void LanHostScreens::Socket1_ConnectionRequest(int /*index*/, int requestID) {
    lan::HostActions actions;
    const lan::ConnectionId id = host_.Accept(actions);
    if (!sockets_->Accept(requestID, id)) host_.ConnectionLost(id, actions);
    Apply(actions);
}

void LanHostScreens::Socket1_DataArrival(lan::ConnectionId id, const std::string& message) {
    lan::HostActions actions;
    host_.Receive(id, message, actions);
    Apply(actions);
}

void LanHostScreens::Socket1_CloseSck(lan::ConnectionId id) {
    lan::HostActions actions;
    host_.ConnectionLost(id, actions);
    Apply(actions);
}

void LanHostScreens::GameReset() { EndLanGame(false); }

void LanHostScreens::Quitting() { EndLanGame(true); }

void LanHostScreens::EndLanGame(bool chargeBack) {
    form_.Timer("LANrace").SetEnabled(false);
    form_.Timer("PayEm").SetEnabled(false);
    form_.Timer("Timer2").SetEnabled(false);
    payCheck_->SetEnabled(false);
    sockets_->StopListening();
    lan::HostActions actions;
    if (chargeBack) {
        // What the players' systems have acknowledged is read before any
        // of their connections is let go.
        AwaitResultsOnTheWire();
        NoticeLostConnections(actions);
        host_.LeaveGame(form_.Game(), Links(), actions);
    } else {
        host_.EndGame(actions);
    }
    Apply(actions);
    Text10->clear();
    Label38->clear();
    LanWinCap->setText(QString::fromLatin1(lan::kWonNothing));
    if (chargeBack) form_.UpdateMoneyLine();
}

void LanHostScreens::Timer2_Timer() {
    lan::HostActions actions;
    NoticeLostConnections(actions);
    host_.Sweep(actions);
    Apply(actions);
}

void LanHostScreens::NoticeLostConnections(lan::HostActions& actions) {
    for (const lan::ConnectionId id : host_.Connections()) {
        if (sockets_->State(id) != net::sckConnected) host_.ConnectionLost(id, actions);
    }
}

void LanHostScreens::SendData(int targetPlayer, const std::string& data) {
    lan::HostActions actions;
    host_.SendData(targetPlayer, data, actions);
    Apply(actions);
}

int LanHostScreens::PlayerSocket(int slot) const {
    const auto id = host_.PlayerSocket(slot);
    return id ? sockets_->ElementOf(*id) : -1;
}

void LanHostScreens::Lobby_Click(int index) {
    if (index < 1 || index > lan::kSlots || !host_.HorseReady(index)) return;
    const auto card = core::LanPlayerCard(host_.PlayerName(index), host_.LANHorse(index));
    if (card) Text10->setPlainText(platform::ToQStringLines(*card));
}

// ---- The race ----------------------------------------------------------------

void LanHostScreens::Command23_Click() {
    if (host_.RaceUnderway()) {
        form_.ShowNotice(lan::kRaceStillRunning);
        return;
    }
    // No more players join once the host means to start.
    sockets_->StopListening();
    lan::HostActions actions;
    const lan::StartResult result = host_.StartRace(form_.Game(), form_, actions);
    Apply(actions);
    if (result != lan::StartResult::Started) return;
    form_.UpdateMoneyLine();
    LanWinCap->setText(QString::fromLatin1(lan::kRaceIsOn));
    form_.BringToFront(Panel::LANtracks);
    form_.Timer("LANrace").SetEnabled(true);
}

void LanHostScreens::RaceAgain_Click() { Command23_Click(); }

void LanHostScreens::LANrace_Timer() {
    lan::HostActions actions;
    const lan::TickResult result = host_.Tick(form_.Game().Random(), PackF->value(), actions);
    Apply(actions);
    if (result == lan::TickResult::Running) return;
    form_.Timer("LANrace").SetEnabled(false);
    if (result == lan::TickResult::AllFinished) form_.Timer("PayEm").SetEnabled(true);
}

void LanHostScreens::PayEm_Timer() {
    form_.Timer("PayEm").SetEnabled(false);
    Settle();
}

void LanHostScreens::PayCheck_Timer() { Settle(); }

void LanHostScreens::Settle() {
    lan::HostActions actions;
    // A runner whose connection has gone is known before anything is paid.
    NoticeLostConnections(actions);
    const auto payout = host_.PayOut(form_.Game(), Links(), actions);
    Apply(actions);
    payCheck_->SetEnabled(host_.Phase() == lan::HostPhase::Paying);
    if (payout) ShowPayout(*payout);
}

void LanHostScreens::ShowPayout(const lan::Payout& payout) {
    LanWinCap->setText(GameText(payout.caption));
    form_.UpdateMoneyLine();
    if (!payout.booking.counts) {
        form_.ShowNotice(lan::kVoidRaceNotice);
    } else if (!payout.refunded.empty()) {
        form_.ShowNotice(lan::RefundedNotice(payout.refunded, payout.booking.givenBack));
    }
}

void LanHostScreens::AwaitResultsOnTheWire() const {
    const lan::LanSettlement* settlement = host_.Settlement();
    if (!settlement) return;
    // The acknowledgements are the system's work, not the event loop's: a
    // short bounded wait, with nothing else to run as the program ends.
    const auto until = std::chrono::steady_clock::now() + lan::kLeavingWait;
    while (std::chrono::steady_clock::now() < until) {
        bool onTheWire = false;
        for (const auto& awaited : settlement->AwaitedResults()) {
            const lan::LinkState link = sockets_->Link(awaited.connection);
            onTheWire = onTheWire || (link.up && link.acknowledged < awaited.mark &&
                                      sockets_->Queued(awaited.connection) == 0);
        }
        if (!onTheWire) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

lan::LinkLook LanHostScreens::Links() const {
    return [this](lan::ConnectionId id) { return sockets_->Link(id); };
}

// ---- Showing ----------------------------------------------------------------------

void LanHostScreens::Apply(const lan::HostActions& actions) {
    for (const lan::Outgoing& send : actions.sends) sockets_->Send(send.to, send.text);
    for (const lan::ConnectionId id : actions.reset) sockets_->Reset(id);
    for (const lan::ConnectionId id : actions.close) sockets_->Close(id);
    ShowLobby();
    ShowRace();
}

void LanHostScreens::ShowLobby() {
    for (int k = 1; k <= lan::kSlots; ++k) {
        platform::PictureBox& box = *Lobby[static_cast<std::size_t>(k - 1)];
        const int picture = host_.HorseReady(k) ? host_.LANHorse(k).Colour : kEmptySlotPicture;
        if (box.property("picture").toInt() != picture) {
            shell::ShowBitmap(box, picture);
            box.setProperty("picture", picture);
        }
        box.Tag = host_.LobbyTag(k);
    }
}

void LanHostScreens::ShowRace() {
    // Once a race is paid the next can start from where its result shows.
    RaceAgain->setVisible(host_.Phase() == lan::HostPhase::Lobby && host_.LanRunners() > 0);
    if (host_.Phase() == lan::HostPhase::NoGame) return;
    form_.Timer("LANrace").Tag = runtime::NumberText(static_cast<std::int64_t>(host_.FrameCounter()));
    for (int k = 1; k <= lan::kSlots; ++k) {
        const auto n = static_cast<std::size_t>(k - 1);
        const core::RunnerPosition& runner = host_.Picture(k);
        platform::PictureBox& pic = *LANpic[n];
        shell::MoveToLeft(&pic, runner.Left);
        pic.Tag = host_.Finished(k) ? "FINISHED" : "START";
        if (!host_.Runs(k)) {
            pic.hide();
            LANtit[n]->clear();
            continue;
        }
        if (pic.property("picture").toInt() != runner.Picture) {
            shell::ShowBitmap(pic, runner.Picture);
            pic.setProperty("picture", runner.Picture);
        }
        pic.show();
        LANtit[n]->setText(GameText(host_.LANHorse(k).Name + " (" + host_.PlayerName(k) + ")"));
    }
}

}  // namespace online
