#pragma once

#include <QObject>

namespace net {
class Socket;
}
namespace shell {
class Form1;
}

namespace online {

// The two connections the main window keeps to the online-services server
// for the whole run: `LiveUp`, the version check (port 2094), and `Chat`
// (port 3113). Both are Socket controls of the main window, found there by
// name; this object makes them and is a child of the window too.
class ServerConnections : public QObject {
    Q_OBJECT
public:
    explicit ServerConnections(shell::Form1& form);

    net::Socket& LiveUp() const { return *liveUp_; }
    net::Socket& Chat() const { return *chat_; }

    // The connections of a main window (made once, on first use).
    static ServerConnections& Of(shell::Form1& form);

private:
    net::Socket* liveUp_;
    net::Socket* chat_;
};

}  // namespace online
