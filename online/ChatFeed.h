#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <string>

#include "online/MessageReader.h"

namespace net {
class Socket;
}

namespace online {

// Reads the chat connection, a Socket control the main window keeps (others
// connect and reconnect it): the server's texts come out one per burst (see
// chat::ServerToGameGrammar), so a text that TCP split is handed out whole.
class ChatFeed : public QObject {
    Q_OBJECT
public:
    explicit ChatFeed(net::Socket& chat, QObject* parent = nullptr);

    // Data on the chat connection.
    void Chat_DataArrival(int bytesTotal);
    // The server has been quiet for the idle gap: what it sent is whole.
    void IdleGap_Timer();
    // Tests shorten it.
    void SetIdleGap(std::chrono::milliseconds gap) { idle_.setInterval(gap); }

    const MessageReader& Reader() const { return reader_; }

signals:
    void TextReceived(const std::string& text);

private:
    void HandOut(bool idle);

    net::Socket& chat_;
    MessageReader reader_;
    QTimer idle_;
};

}  // namespace online
