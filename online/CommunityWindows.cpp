#include "online/CommunityWindows.h"

#include <QAction>
#include <QMenu>

#include "online/ChatProtocol.h"
#include "online/MessageChannel.h"
#include "online/ServerConnections.h"
#include "platform/MessageSender.h"
#include "platform/UserName.h"
#include "shell/Form1.h"
#include "shell/Startup.h"

namespace online {

CommunityWindows& CommunityWindows::Install(shell::Form1& form, CommunityOptions options) {
    if (auto* existing = form.findChild<CommunityWindows*>("CommunityWindows", Qt::FindDirectChildrenOnly)) {
        return *existing;
    }
    return *new CommunityWindows(form, std::move(options));
}

CommunityWindows::CommunityWindows(shell::Form1& form, CommunityOptions options)
    : QObject(&form),
      form_(form),
      ownUserName_(options.UserName ? nullptr : std::make_unique<platform::SystemUserName>()),
      userName_(options.UserName ? *options.UserName : *ownUserName_),
      sender_(options.Sender ? *options.Sender : *new platform::SmbclientSender(this)),
      options_(std::move(options)),
      leaderBoard_([this] {
          return new Form11(form_.Game(), form_.Dialogs(), userName_, &form_, options_.LeaderBoardPort);
      }),
      feed_(new MessageChannel(chat::ServerToGameGrammar(), ServerConnections::Of(form).Chat(), this)) {
    setObjectName("CommunityWindows");
    if (!options_.TimeOfDay) options_.TimeOfDay = LocalTimeOfDay;
    connect(feed_, &MessageChannel::MessageReceived, this, &CommunityWindows::AppendToChatLog);

    form.SetOpener(shell::SmallWindow::LeaderBoard, [this] { leaderBoard_.Show(); });
    form.SetOpener(shell::SmallWindow::ChatWindow, [this] { Show(ChatWindow()); });
    form.SetOpener(shell::SmallWindow::LanChat, [this] { Show(ContactsWindow()); });
    AddMenuItems();
}

CommunityWindows::~CommunityWindows() = default;

void CommunityWindows::AddMenuItems() {
    QMenu* game = form_.GameMenu();
    const auto add = [&](const char* name, const char* text, void (shell::Form1::*open)()) {
        auto* action = new QAction(QString::fromLatin1(text), game);
        action->setObjectName(name);
        game->insertAction(form_.exit_, action);
        connect(action, &QAction::triggered, &form_, open);
        return action;
    };
    // Above "Quit", after the game's own windows.
    leaderBoard = add("leaderBoard", "&Leader's Board", &shell::Form1::ShowLeaderBoard);
    chat = add("chat", "&BramChat", &shell::Form1::ShowChatWindow);
    contacts = add("contacts", "LAN C&hat", &shell::Form1::ShowLanChat);
}

void CommunityWindows::PlugInto(shell::Startup& startup) {
    startup.Seams.LoadHiddenWindows = [this] { LoadHiddenWindows(); };
}

void CommunityWindows::LoadHiddenWindows() {
    ContactsWindow();
    ChatWindow();
}

Form13& CommunityWindows::ChatWindow() {
    if (!chatWindow_) {
        chatWindow_ = new Form13(ServerConnections::Of(form_).Chat(), form_, form_.Dialogs(), userName_, &form_,
                                 options_.TimeOfDay);
    }
    return *chatWindow_;
}

Form6& CommunityWindows::ContactsWindow() {
    if (!contactsWindow_) {
        contactsWindow_ = new Form6(form_.Game(), form_, form_.Dialogs(), userName_, sender_, &form_);
    }
    return *contactsWindow_;
}

void CommunityWindows::AppendToChatLog(const std::string& text) { ChatWindow().AppendServerText(text); }

void CommunityWindows::Show(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace online
