#include "online/Form11.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Money.h"
#include "net/Socket.h"
#include "online/MessageChannel.h"
#include "platform/Dialogs.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/Twips.h"
#include "runtime/Error.h"
#include "runtime/Numbers.h"
#include "shell/GradientRect.h"
#include "shell/PanelControls.h"
#include "shell/SystemHelpers.h"

namespace online {

namespace {

constexpr const char* kSubmitNote =
    "After submitting your score, you will need to re-open this window to refresh the Top Player stats.";

// The rows of the record: a caption box and the box beside it.
constexpr double kRowsTop = 600;
constexpr double kRowStep = 420;

QLineEdit* MakeValueBox(QWidget* parent, const char* name, int row) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    platform::PlaceTwips(box, 2280, kRowsTop + row * kRowStep, 2640, 315);
    return box;
}

QLabel* MakeCaption(QWidget* parent, const char* name, const char* text, int row) {
    return shell::MakeLabel(parent, name, QString::fromLatin1(text), 240, kRowsTop + row * kRowStep + 30, 1980, 255);
}

}  // namespace

Form11::Form11(const core::GameState& game, platform::Dialogs& dialogs, platform::UserNameSource& userName,
               QWidget* owner, int port)
    : shell::FormWindow(owner, "Form11", QString::fromLatin1(leaderboard::kCaption.data()), 5160, 4680),
      game_(game),
      dialogs_(dialogs),
      userName_(userName),
      port_(port),
      channel_(new MessageChannel(leaderboard::ServerToGameGrammar(), this)) {
    SetBackColor(0xE0E0E0);

    Label11 = shell::MakeLabel(this, "Label11", QStringLiteral("Top Player Information"), 120, 120, 4920, 375);
    Label11->setAlignment(Qt::AlignCenter);
    QFont heading = Label11->font();
    heading.setPointSize(12);
    heading.setBold(true);
    Label11->setFont(heading);

    Text13 = MakeCaption(this, "Text13", "User Name:", 0);
    Text4 = MakeValueBox(this, "Text4", 0);
    Text2 = MakeCaption(this, "Text2", "Player Level:", 1);
    Text5 = MakeValueBox(this, "Text5", 1);
    Text1 = MakeCaption(this, "Text1", "LAN Battles Won:", 2);
    Text6 = MakeValueBox(this, "Text6", 2);
    Text3 = MakeCaption(this, "Text3", "LAN Battles Lost:", 3);
    Text7 = MakeValueBox(this, "Text7", 3);
    Text9 = MakeCaption(this, "Text9", "Biggest LAN Wager:", 4);
    Text8 = MakeValueBox(this, "Text8", 4);

    Command4 = shell::MakeButton(this, "Command4", QStringLiteral("Submit My Score"), 240, 2820, 4680, 495);
    connect(Command4, &QPushButton::clicked, this, &Form11::Command4_Click);

    Status = shell::MakeStatusLine(this, "Status", 240, 3390, 4680, 450);

    Label1 = shell::MakeLabel(this, "Label1", QString::fromLatin1(kSubmitNote), 240, 3900, 4680, 615);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);

    Timer1 = new platform::Timer(QStringLiteral("Timer1"), 1000, this);
    connect(Timer1, &platform::Timer::Tick, this, &Form11::Timer1_Timer);
    Timer1->SetEnabled(true);
    Reconnect = new platform::Timer(QStringLiteral("Reconnect"), kReconnectMs, this);
    connect(Reconnect, &platform::Timer::Tick, this, &Form11::Reconnect_Timer);
    Reconnect->SetEnabled(true);

    net::Socket& socket = channel_->Socket();
    socket.setObjectName("Socket");
    connect(&socket, &net::Socket::ConnectEvent, this, &Form11::Socket_Connect);
    // A top player that came before a close or a reset is shown first.
    connect(channel_, &MessageChannel::Ended, this, &Form11::ConnectionLost);
    connect(&socket, &net::Socket::SendComplete, this, [this] { Told(session_.SendDone()); });
    connect(channel_, &MessageChannel::Overflowed, this, &Form11::ConnectionLost);
    connect(channel_, &MessageChannel::MessageReceived, this, &Form11::Socket_DataArrival);

    CloseOnEscape();
    Form_Load();
}

net::Socket& Form11::Socket() const { return channel_->Socket(); }

void Form11::Form_Load() {
    shell::ApplyGradient(*this, 225, 0xFFFFFF, 0xE0E0E0);
    Connect();
}

void Form11::Connect() {
    channel_->Close();
    session_.Closed();
    if (!game_.Server.empty()) {
        try {
            session_.Connecting();
            channel_->Socket().Connect(game_.Server, port_);
        } catch (const runtime::Error&) {
            // An address the socket cannot even try: the next tick tries
            // again (the player may have changed it meanwhile).
            channel_->Close();
            session_.Closed();
        }
    }
    ShowStatus();
}

void Form11::Reconnect_Timer() {
    if (session_.State() == leaderboard::LinkState::Closed) Connect();
}

void Form11::ConnectionLost() {
    Told(session_.Closed());
    ShowStatus();
}

void Form11::Told(leaderboard::Submission submission) {
    switch (submission) {
        case leaderboard::Submission::None: return;
        case leaderboard::Submission::Sent: submitted_ = leaderboard::kScoreSentStatus; break;
        case leaderboard::Submission::NotSent: submitted_ = leaderboard::kScoreNotSentStatus; break;
    }
    ShowStatus();
}

void Form11::ShowStatus() {
    std::string text = submitted_;
    const auto add = [&text](std::string_view more) {
        if (!text.empty()) text += ' ';
        text += more;
    };
    if (game_.Server.empty()) {
        add(leaderboard::kNoServerStatus);
    } else if (session_.State() != leaderboard::LinkState::Connected) {
        add(leaderboard::kConnectingStatus);
    }
    Status->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    Timer1_Timer();
}

void Form11::Socket_Connect() {
    try {
        channel_->Send(session_.Connected(shell::CurrentUserName(userName_, dialogs_)));
    } catch (const runtime::Error&) {
        channel_->Close();
        ConnectionLost();
        return;
    }
    ShowStatus();
}

void Form11::Socket_DataArrival(const std::string& message) {
    if (const auto top = session_.Received(message)) ShowTopPlayer(*top);
}

void Form11::ShowTopPlayer(const ScoreRecord& top) {
    Text4->setText(platform::ToQString(top.Name));
    Text5->setText(QString::fromStdString(runtime::NumberText(top.Level)));
    Text6->setText(QString::fromStdString(runtime::NumberText(top.LANwon)));
    Text7->setText(QString::fromStdString(runtime::NumberText(top.LANlost)));
    Text8->setText(platform::ToQString(core::FormatMoney(top.LANwager)));
}

void Form11::Command4_Click() {
    if (session_.State() != leaderboard::LinkState::Connected) {
        dialogs_.MsgBox(kNotConnected, platform::kInformation, kNotConnectedTitle);
        return;
    }
    const ScoreRecord mine{shell::CurrentUserName(userName_, dialogs_), game_.Level, game_.LANwon, game_.LANlost,
                           game_.LANwager};
    const auto message = session_.Submit(mine);
    if (!message) return;
    submitted_.clear();
    ShowStatus();
    try {
        // "Score sent." follows once the system has taken every byte of it
        // for the server: the board sends no answer, so that is no sign the
        // server received or kept it.
        channel_->Send(*message);
    } catch (const runtime::Error&) {
        channel_->Close();
        ConnectionLost();
    }
}

void Form11::Timer1_Timer() {
    setWindowTitle(QString::fromStdString(leaderboard::Caption(session_.State(), !game_.Server.empty())));
}

}  // namespace online
