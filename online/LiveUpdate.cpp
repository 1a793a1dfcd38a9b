#include "online/LiveUpdate.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <optional>
#include <system_error>

#include "net/Socket.h"
#include "online/BramblyFT.h"
#include "online/MessageChannel.h"
#include "online/ProcessStart.h"
#include "online/ServerConnections.h"
#include "online/TransferFiles.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Timer.h"
#include "platform/UserName.h"
#include "runtime/Error.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"
#include "shell/Startup.h"
#include "shell/SystemHelpers.h"

namespace online {

namespace fs = std::filesystem;
using namespace liveupdate;

namespace {

// A path as the player reads it: the system's file name bytes, as game text.
std::string PathText(const fs::path& path) {
    return platform::FromQString(QFile::decodeName(QByteArray::fromStdString(path.string())));
}

QString DownloadedText(const std::string& server, const std::string& patch) {
    const std::string from = server.empty() ? std::string() : " from " + server;
    const std::string where = patch.empty() ? std::string() : " and waits in " + patch;
    return platform::ToQString("A new version of Trotwick has been downloaded" + from + where +
                               ". To install it, press \"Start Patch\", then close Trotwick so that the patch "
                               "can replace it.");
}

}  // namespace

LiveUpdate::LiveUpdate(shell::Form1& form, LiveUpdateOptions options)
    : QObject(&form), form_(form), connections_(ServerConnections::Of(form)), options_(std::move(options)),
      check_(form.ProgramVersion),
      settings_([this] { return new Form10(form_.Game(), form_.Dialogs(), [this] { ServerChanged(); }, &form_); }) {
    setObjectName("LiveUpdate");
    if (!options_.UserName) {
        ownUserName_ = std::make_unique<platform::SystemUserName>();
        options_.UserName = ownUserName_.get();
    }
    if (!options_.Starter) {
        ownStarter_ = std::make_unique<SystemProcessStarter>();
        options_.Starter = ownStarter_.get();
    }
    if (options_.Executable.empty()) {
        options_.Executable = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    }

    liveUp_ = new MessageChannel(ServerToGameGrammar(), connections_.LiveUp(), this);
    connect(liveUp_, &MessageChannel::MessageReceived, this, &LiveUpdate::LiveUp_Message);
    // A check the player asked for ends at once when the server cannot be
    // reached or hangs up without an answer (an answer that came before its
    // hang-up is handed out first).
    connect(liveUp_, &MessageChannel::Ended, this, [this] {
        if (check_.ManualCheckPending()) ManualCheck_Timeout();
    });
    manualTimeout_.setSingleShot(true);
    manualTimeout_.setInterval(options_.ManualCheckTimeout);
    connect(&manualTimeout_, &QTimer::timeout, this, &LiveUpdate::ManualCheck_Timeout);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &LiveUpdate::Retry_Timer);

    PatchFT = new BramblyFT(&form_);
    PatchFT->setObjectName("PatchFT");
    PatchFT->SetPort(options_.FileTransferPort);
    PatchFT->SetLimits({transfer::kMaxBlockSize, kMaxPatchSize});
    connect(PatchFT, &BramblyFT::TransferRate, this, &LiveUpdate::PatchDownloadProgress);
    connect(PatchFT, &BramblyFT::ReceivingFinished, this, &LiveUpdate::PatchDownloaded);
    connect(PatchFT, &BramblyFT::ReceivingFailed, this, &LiveUpdate::PatchFailed);

    connect(&form_.Timer("LiveUpdate"), &platform::Timer::Tick, this, &LiveUpdate::LiveUpdate_Timer);
    form_.SetOpener(shell::SmallWindow::UpdateSettings, [this] { settings_.Show(); });
    BuildPicture8();
    BuildMenus();
}

LiveUpdate::~LiveUpdate() = default;

LiveUpdate& LiveUpdate::Install(shell::Form1& form, shell::Startup& startup) {
    LiveUpdateOptions options;
    options.ProgramFolder = startup.Settings().ProgramFolder;
    auto* live = new LiveUpdate(form, std::move(options));
    live->ConnectAtStart(startup);
    return *live;
}

void LiveUpdate::ConnectAtStart(shell::Startup& startup) {
    // Start-up only starts the connections; the watchdog retries any that
    // cannot be made now.
    startup.Seams.ConnectLiveUpdate = [this](const std::string& server) {
        try {
            ConnectLiveUp(server);
        } catch (const runtime::Error&) {
        }
    };
    startup.Seams.ConnectChat = [this](const std::string& server) {
        try {
            ConnectChat(server);
        } catch (const runtime::Error&) {
        }
    };
}

void LiveUpdate::BuildPicture8() {
    QWidget* panel = &form_.PanelBox(shell::Panel::Picture8);
    PatchHeading = shell::MakeLabel(panel, "PatchHeading", QStringLiteral("NEW VERSION DOWNLOADED"), 0, 720, 10095, 615);
    PatchHeading->setAlignment(Qt::AlignCenter);
    QFont font = PatchHeading->font();
    font.setPointSize(20);
    font.setBold(true);
    PatchHeading->setFont(font);
    PatchInstructions =
        shell::MakeLabel(panel, "PatchInstructions", DownloadedText("", ""), 1440, 1440, 7215, 975);
    PatchInstructions->setAlignment(Qt::AlignCenter);
    PatchInstructions->setWordWrap(true);
    StartPatch = shell::MakeButton(panel, "StartPatch", QStringLiteral("Start Patch"), 3960, 2520, 2175, 495);
    StartPatch->setEnabled(false);
    connect(StartPatch, &QPushButton::clicked, this, &LiveUpdate::StartPatch_Click);
}

void LiveUpdate::BuildMenus() {
    QMenu* game = form_.GameMenu();
    checkUpdate = new QAction(QStringLiteral("Check For &Updates"), game);
    checkUpdate->setObjectName("checkUpdate");
    updateSettings = new QAction(QStringLiteral("Live Update Se&ttings"), game);
    updateSettings->setObjectName("updateSettings");
    game->insertAction(form_.exit_, checkUpdate);
    game->insertAction(form_.exit_, updateSettings);
    connect(checkUpdate, &QAction::triggered, this, &LiveUpdate::ConnectLiveUpdate);
    connect(updateSettings, &QAction::triggered, &form_, &shell::Form1::ShowUpdateSettings);
}

// ---- Connections -----------------------------------------------------------

void LiveUpdate::ConnectLiveUp(const std::string& server) {
    liveUp_->Close();
    liveUp_->Socket().Connect(server, options_.LiveUpdatePort);
}

void LiveUpdate::ConnectChat(const std::string& server) {
    net::Socket& chat = connections_.Chat();
    chat.CloseSck();
    chat.Connect(server, options_.ChatPort);
}

void LiveUpdate::LiveUpdate_Timer() {
    const std::string server = form_.Game().Server;
    const auto guarded = [this](const auto& connect) {
        try {
            connect();
        } catch (const runtime::Error&) {
            form_.ShowNotice(kCheckServerSettings);
            form_.Label13->setText(platform::ToQString(kPlainCaption));
        }
    };
    // A failed handshake ends the update checks, never the chat.
    if (!check_.ChecksStopped() && NeedsReconnect(connections_.LiveUp().State(), server)) {
        guarded([&] { ConnectLiveUp(server); });
    }
    if (NeedsReconnect(connections_.Chat().State(), server)) guarded([&] { ConnectChat(server); });
}

void LiveUpdate::ServerChanged() {
    check_.ServerChanged();
    retry_.stop();
    // What the old server said is no answer of the new one's.
    liveUp_->Discard();
    ConnectLiveUp(form_.Game().Server);
    ConnectChat(form_.Game().Server);
}

// ---- The check -------------------------------------------------------------

void LiveUpdate::ConnectLiveUpdate() {
    check_.ManualCheckRequested();
    manualTimeout_.start();
    const std::string server = form_.Game().Server;
    if (server.empty()) {
        ManualCheck_Timeout();
        return;
    }
    try {
        ConnectLiveUp(server);
    } catch (const runtime::Error&) {
        ManualCheck_Timeout();
    }
}

void LiveUpdate::ManualCheck_Timeout() {
    manualTimeout_.stop();
    if (check_.ManualCheckExpired()) form_.ShowNotice(kCheckServerSettings);
}

void LiveUpdate::Retry_Timer() {
    retry_.stop();
    check_.RetryDue();
    const std::string server = form_.Game().Server;
    if (server.empty() || check_.ChecksStopped()) return;
    // A server that keeps the connection open says "VERSION:" only to a new
    // one.
    try {
        ConnectLiveUp(server);
    } catch (const runtime::Error&) {
        // The watchdog tries again.
    }
}

void LiveUpdate::LiveUp_Message(const std::string& message) {
    // A patch the player removed no longer waits: it is fetched again.
    std::error_code error;
    if (check_.PatchWaiting() && !fs::is_regular_file(fs::symlink_status(PatchPath(), error))) check_.PatchGone();
    const VersionDecision decision = check_.OnMessage(message);
    if (!check_.ManualCheckPending()) manualTimeout_.stop();
    switch (decision.kind) {
        case VersionDecision::Kind::Ignored: return;
        case VersionDecision::Kind::Unreadable: HandshakeFailed(); return;
        case VersionDecision::Kind::UpToDate:
        case VersionDecision::Kind::Newer: break;
    }
    if (decision.notice) form_.ShowNotice(decision.notice);
    if (decision.patchWaiting) ShowPatchWaiting();
    try {
        liveUp_->Send(FormatAnswer(*decision.answer, UserName(), form_.ProgramVersion));
    } catch (const runtime::Error&) {
        HandshakeFailed();
        return;
    }
    if (decision.download) StartDownload(decision.version);
}

void LiveUpdate::HandshakeFailed() {
    check_.HandshakeFailed();
    retry_.stop();
    form_.ShowNotice(kUpdateFailed);
    form_.Label13->setText(platform::ToQString(kPlainCaption));
    // Nothing more the server says is read.
    liveUp_->Discard();
}

std::string LiveUpdate::UserName() { return shell::CurrentUserName(*options_.UserName, form_.Dialogs()); }

// ---- The patch -------------------------------------------------------------

fs::path LiveUpdate::PatchPath() const {
    const std::string folder = options_.ProgramFolder.string();
    return fs::path(folder + shell::SlashFor(folder) + shell::kPatchFileName);
}

void LiveUpdate::StartDownload(std::int32_t version) {
    // An installed copy may live where the player cannot write: say so now
    // rather than fail half-way.
    if (!transfer::FolderIsWritable(options_.ProgramFolder)) {
        form_.ShowNotice(CannotSaveNotice(PathText(options_.ProgramFolder)));
        check_.DownloadRefused(version);
        return;
    }
    const std::string server = form_.Game().Server;
    // Under way before GetFile, so that whatever ends the fetch finds it.
    check_.DownloadStarted(version);
    downloadServer_ = server;
    retry_.stop();
    // One that cannot start (its receive file cannot be made, the server
    // cannot be reached at all) has failed like any other: it is tried again
    // after its pause.
    if (!PatchFT->GetFile(server, PatchPath().string())) PatchFailed(PatchFT->LastFault());
}

void LiveUpdate::PatchDownloadProgress(std::int32_t& BytesPerSec) {
    form_.Label13->setText(platform::ToQString(RateCaption(BytesPerSec)));
}

void LiveUpdate::PatchDownloaded() {
    check_.DownloadFinished();
    form_.ShowNotice(kDownloaded);
    form_.Label13->setText(platform::ToQString(kDownloadedCaption));
    PatchInstructions->setText(DownloadedText(downloadServer_, PathText(PatchPath())));
    StartPatch->setEnabled(true);
    form_.BringToFront(shell::Panel::Picture8);
}

void LiveUpdate::ShowPatchWaiting() {
    form_.ShowNotice(PatchWaitingNotice(PathText(PatchPath())));
    StartPatch->setEnabled(true);
    form_.BringToFront(shell::Panel::Picture8);
}

void LiveUpdate::PatchFailed(transfer::Fault fault) {
    if (!check_.Downloading()) return;
    form_.Label13->setText(platform::ToQString(kPlainCaption));
    if (fault == transfer::Fault::FileTooLarge) {
        // Fetching it again would bring the same bytes, all of them, for
        // nothing: the player's check fetches it, or a newer version.
        check_.DownloadRefused(check_.Fetching());
        form_.ShowNotice(kUpdateFailed);
        return;
    }
    const FailedFetch failed = check_.DownloadFailed();
    if (failed.tell) form_.ShowNotice(kUpdateFailed);
    if (failed.pause.count() > 0) retry_.start(failed.pause);
}

void LiveUpdate::StartPatch_Click() {
    // Only the file the game fetched, held open from its checks to its start:
    // not what a link in its place points to, nor a file swapped in after
    // the checks (the program's folder may be shared).
    const std::optional<ProgramFile> patch = ProgramFile::OpenOwn(PatchPath());
    const bool started = patch && options_.Starter->StartFileDetached(*patch, {options_.Executable.string()});
    if (!started) {
        form_.ShowNotice(kUpdateFailed);
        return;
    }
    StartPatch->setEnabled(false);
}

}  // namespace online
