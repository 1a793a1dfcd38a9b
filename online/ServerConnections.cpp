#include "online/ServerConnections.h"

#include "net/Socket.h"
#include "shell/Form1.h"

namespace online {

ServerConnections::ServerConnections(shell::Form1& form)
    : QObject(&form), liveUp_(new net::Socket(&form)), chat_(new net::Socket(&form)) {
    setObjectName("ServerConnections");
    liveUp_->setObjectName("LiveUp");
    chat_->setObjectName("Chat");
}

ServerConnections& ServerConnections::Of(shell::Form1& form) {
    if (auto* existing = form.findChild<ServerConnections*>("ServerConnections", Qt::FindDirectChildrenOnly)) {
        return *existing;
    }
    return *new ServerConnections(form);
}

}  // namespace online
