#include "online/LanPlayerScreens.h"

#include <QFont>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/RaceStep.h"
#include "core/SelectedHorse.h"
#include "core/Stable.h"
#include "online/LanJoinBox.h"
#include "online/LanTrack.h"
#include "online/MessageChannel.h"
#include "platform/Colours.h"
#include "platform/PasteGuard.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "platform/UserName.h"
#include "resources/Pictures.h"
#include "runtime/Error.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"
#include "shell/SystemHelpers.h"
#include "shell/TreeView.h"

namespace online {

namespace {

// The turf's place on the race screen, and where lane 1 begins on it.
constexpr double kTrackTop = 420;
constexpr double kFirstLaneTop = 45;

QLabel* BoldLabel(QWidget* parent, const char* name, const QString& caption, double left, double top, double width,
                  double height, int pointSize = 0) {
    QLabel* label = shell::MakeLabel(parent, name, caption, left, top, width, height);
    QFont font = label->font();
    font.setBold(true);
    if (pointSize > 0) font.setPointSize(pointSize);
    label->setFont(font);
    return label;
}

}  // namespace

LanPlayerScreens::LanPlayerScreens(shell::Form1& form) : LanPlayerScreens(form, Options{}) {}

LanPlayerScreens::LanPlayerScreens(shell::Form1& form, Options options)
    : QObject(&form),
      form_(form),
      options_(std::move(options)),
      channel_(new MessageChannel(lan::HostToPlayerGrammar(), this)),
      hostQuiet_(new platform::Timer(QStringLiteral("HostQuiet"), 0, this)),
      session_(form.Game(), form, *form.StableTree, [this] { return UserName(); }) {
    setObjectName("LanPlayerScreens");
    if (!options_.UserName) options_.UserName = std::make_shared<platform::SystemUserName>();
    channel_->setObjectName("Socket2Channel");
    channel_->Socket().setObjectName("Socket2");
    // We only answer what the host sends; a host that stops reading is let go.
    channel_->Socket().SendQueueLimit(static_cast<std::int32_t>(kReaderCap));
    BuildLobby();
    BuildRaceScreen();
    join_ = new LanJoinBox(form_, [this](const std::string& host) { JoinGame(host); });

    net::Socket& socket = channel_->Socket();
    connect(&socket, &net::Socket::ConnectEvent, this, &LanPlayerScreens::Socket2_Connect);
    connect(&socket, &net::Socket::CloseSckEvent, this, &LanPlayerScreens::Socket2_CloseSck);
    connect(channel_, &MessageChannel::MessageReceived, this, &LanPlayerScreens::Socket2_DataArrival);
    // A host that floods us is closed by the channel, as a closed host is.
    connect(channel_, &MessageChannel::Overflowed, this, &LanPlayerScreens::Socket2_CloseSck);
    connect(&form_.Timer("RandInterval"), &platform::Timer::Tick, this, &LanPlayerScreens::RandInterval_Timer);
    connect(&form_.Timer("Connecti"), &platform::Timer::Tick, this, &LanPlayerScreens::Connecti_Timer);
    connect(&form_, &shell::Form1::GameReset, this, &LanPlayerScreens::GameReset);
    connect(&form_, &shell::Form1::Quitting, this, &LanPlayerScreens::Quitting);
    connect(hostQuiet_, &platform::Timer::Tick, this, &LanPlayerScreens::HostQuiet_Timer);
    // Bytes from the host show it is there, even before they make a message.
    connect(channel_, &MessageChannel::BytesArrived, this, [this] { WatchHost(true); });
}

LanPlayerScreens::~LanPlayerScreens() = default;

void LanPlayerScreens::BuildLobby() {
    QWidget* panel = &form_.PanelBox(shell::Panel::Picture7);
    BoldLabel(panel, "Picture7Contenders", QStringLiteral("Contenders:"), 240, 120, 3600, 255);
    Contend = new shell::TreeView([](int image) { return resources::CoatIcon(image); }, panel);
    Contend->setObjectName("Contend");
    platform::PlaceTwips(Contend, 240, 420, 3855, 3255);
    Text9 = new platform::PlainTextBox(panel);
    Text9->setObjectName("Text9");
    Text9->setReadOnly(true);
    Text9->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    platform::PlaceTwips(Text9, 4215, 420, 3135, 3255);
    Command24 = shell::MakeButton(panel, "Command24", QStringLiteral("REFRESH LIST!"), 7560, 420, 2415, 495);
    Command24->setEnabled(false);
    BoldLabel(panel, "Picture7Status", QStringLiteral("Game Status:"), 7560, 1200, 2415, 255);
    Label41 = shell::MakeLabel(panel, "Label41", QString::fromLatin1(lan::kTransferringData), 7560, 1500, 2415, 615);
    Label41->setWordWrap(true);
    connect(Contend, &shell::TreeView::NodeClick, this, &LanPlayerScreens::Contend_NodeClick);
    connect(Command24, &QPushButton::clicked, this, &LanPlayerScreens::Command24_Click);
}

void LanPlayerScreens::BuildRaceScreen() {
    QWidget* panel = &form_.PanelBox(shell::Panel::WANtracks);
    BoldLabel(panel, "WANtracksTitle", QString::fromLatin1(lan::kRaceTitle), 240, 60, 6000, 330, 12);
    const LanTrack track = LanTrack::Build(panel, "Picture10", "WANtit", "WANpic", kTrackTop, kFirstLaneTop);
    Picture10 = track.turf;
    WANtit = track.titles;
    WANpic = track.pictures;
    for (int slot = 1; slot <= lan::kSlots; ++slot) {
        QLabel* number = shell::MakeLabel(Picture10, shell::IndexedName("WANlane", slot).c_str(), QString::number(slot),
                                          60, track.LaneTop(slot) + 150, 240, 255);
        platform::SetForeColor(number, 0xFFFFFF);
        // Beneath a horse that the host puts back at the very start.
        number->lower();
    }
    WanWinCap = BoldLabel(panel, "WanWinCap", QString::fromLatin1(lan::kWonNothing), 6360, 60, 3735, 330, 10);
    WanWinCap->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

std::string LanPlayerScreens::UserName() { return shell::CurrentUserName(*options_.UserName, form_.Dialogs()); }

void LanPlayerScreens::JoinGame(const std::string& hostAddress) {
    // A race in play is settled first: leaving it would give the stake back
    // however the race was going.
    if (session_.State() == lan::PlayerState::Racing) {
        form_.ShowNotice(lan::kRaceStillRunning);
        return;
    }
    // The host asks for our horse the moment we join.
    if (!core::SelectedStableHorse(form_.Game(), *form_.StableTree)) {
        form_.ShowNotice(lan::kSelectAHorseToJoin);
        return;
    }
    lastHost_ = hostAddress;
    channel_->Close();
    Apply(session_.Leave());
    try {
        channel_->Socket().Connect(hostAddress, options_.HostPort);
    } catch (const runtime::Error&) {
        return;  // the join ends here, as a connection that cannot start does
    }
    Apply(session_.Join());
    form_.BringToFront(shell::Panel::Picture7);
}

void LanPlayerScreens::Socket2_Connect() {
    net::Socket& socket = channel_->Socket();
    try {
        socket.KeepAlive(lan::kHostKeepAliveIdleSeconds, lan::kHostKeepAliveIntervalSeconds, lan::kHostKeepAliveProbes);
        socket.UnacknowledgedTimeout(lan::kHostSilenceTimeoutMs);
    } catch (const runtime::Error&) {
        // A race still has its own allowance of quiet; only the lobby waits.
    }
    Apply(session_.Connected());
}

void LanPlayerScreens::Socket2_CloseSck() { Apply(session_.Closed()); }

void LanPlayerScreens::Socket2_DataArrival(const std::string& message) {
    const auto recognised = lan::RecogniseHostMessage(message);
    if (!recognised) return;
    Apply(session_.OnMessage(*recognised));
    // Whatever the host says shows it is still there.
    WatchHost(true);
}

void LanPlayerScreens::GameReset() {
    // Nothing the host sent may reach the new game, not even what came.
    channel_->Discard();
    Apply(session_.GameReplaced());
}

void LanPlayerScreens::Quitting() {
    // A result that has come settles the race before the stake of a race
    // left unsettled comes back (Close hands it out first).
    channel_->Close();
    Apply(session_.Leave());
}

void LanPlayerScreens::HostQuiet_Timer() {
    hostQuiet_->SetEnabled(false);
    channel_->IdleGap_Timer();
    if (hostQuiet_->Enabled()) return;  // what waited showed the host is there
    Apply(session_.HostQuiet());
}

void LanPlayerScreens::Command24_Click() { Apply(session_.RefreshRoster()); }

void LanPlayerScreens::RandInterval_Timer() {
    form_.Timer("RandInterval").SetEnabled(false);
    Apply(session_.RefreshRoster());
}

void LanPlayerScreens::Connecti_Timer() {
    const int state = channel_->Socket().State();
    // 9: in error (a reset, a refused or failed connect); 8: the host closed.
    if (state != 9 && state != 8) return;
    // What the host sent before the end is booked before the end is: a
    // result that came settles the race, whatever ended the connection.
    channel_->Close();
    Apply(session_.Closed());
}

void LanPlayerScreens::Contend_NodeClick(const std::string& key) {
    if (key.empty()) return;
    const int slot = key.back() - '0';
    if (slot < 1 || slot > lan::kSlots) return;
    const lan::Contender& contender = session_.ContenderAt(slot);
    if (const auto card = core::LanPlayerCard(contender.Name, contender.Horse)) {
        Text9->setPlainText(platform::ToQStringLines(*card));
    }
}

void LanPlayerScreens::UpdataPos(std::string& InputData) {
    const auto message = lan::RecogniseHostMessage(InputData);
    InputData.clear();
    if (!message) return;
    if (const auto* frame = std::get_if<lan::RaceFrame>(&*message)) MovePictures(lan::PlayerSession::OnTrack(*frame));
}

void LanPlayerScreens::Apply(const lan::PlayerReaction& r) {
    try {
        for (const std::string& message : r.Send) channel_->Send(message);
    } catch (const runtime::Error&) {
        // The send queue is full: the host has not read our answers for long.
        channel_->Close();
        Apply(session_.Closed());
        return;
    }
    // We end the game ourselves: nothing more the host sent counts.
    if (r.Close) channel_->Discard();
    if (r.Status) Label41->setText(platform::ToQString(*r.Status));
    if (r.RefreshEnabled) Command24->setEnabled(*r.RefreshEnabled);
    platform::Timer& refresh = form_.Timer("RandInterval");
    if (r.StopRefreshTimer) refresh.SetEnabled(false);
    if (r.RefreshDelayMs) {
        refresh.SetInterval(*r.RefreshDelayMs);
        refresh.SetEnabled(true);
    }
    if (r.RosterCleared) Contend->Clear();
    for (int slot : r.RosterAdded) {
        const core::HorseRec& horse = session_.ContenderAt(slot).Horse;
        Contend->AddNode(lan::PlayerSession::RosterKey(slot), lan::PlayerSession::RosterText(horse),
                         lan::PlayerSession::RosterImage(horse));
    }
    if (r.RaceSetUp) SetUpRace();
    if (r.Frame) MovePictures(*r.Frame);
    if (r.Result) WanWinCap->setText(platform::ToQString(*r.Result));
    // The lobby's status line says it where the player looks at the lobby.
    if (r.Notice && form_.FrontPanel() != shell::Panel::Picture7) form_.ShowNotice(*r.Notice);
    if (r.MoneyChanged) form_.UpdateMoneyLine();
    // A question that went out starts the wait for its answer; in a race,
    // only the host's own messages count.
    WatchHost(!r.Send.empty() && session_.State() != lan::PlayerState::Racing);
}

void LanPlayerScreens::WatchHost(bool restart) {
    const auto allowed = session_.QuietAllowedMs();
    if (!allowed) {
        hostQuiet_->SetEnabled(false);
        return;
    }
    if (restart || !hostQuiet_->Enabled() || hostQuiet_->Interval() != *allowed) {
        hostQuiet_->SetInterval(*allowed);
        hostQuiet_->SetEnabled(true);
    }
}

void LanPlayerScreens::SetUpRace() {
    for (int slot = 1; slot <= lan::kSlots; ++slot) {
        const auto i = static_cast<std::size_t>(slot - 1);
        shell::MoveToLeft(WANpic[i], core::kStartLine);
        const lan::RunnerView runner = session_.Runner(slot);
        WANtit[i]->setText(platform::ToQString(runner.Title));
        if (runner.Shown) shell::ShowBitmap(*WANpic[i], runner.Coat);
        WANpic[i]->setVisible(runner.Shown);
    }
    form_.BringToFront(shell::Panel::WANtracks);
}

void LanPlayerScreens::MovePictures(const lan::FramePositions& positions) {
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (positions[i]) shell::MoveToLeft(WANpic[i], *positions[i]);
    }
}

}  // namespace online
