#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// How a message to another computer went.
enum class SendResult {
    Sent,         // the messenger delivered it
    NoMessenger,  // nothing on this computer delivers messages
    Refused,      // the recipient is no single name a messenger can take
    Failed,       // the messenger ran but could not deliver it
};

// Sends a short text message to one user or computer on the local network,
// the way the desktop messenger service does. The text is game text
// (Windows-1252) with CR LF line breaks, handed over as the game wrote it.
class MessageSender {
public:
    using Done = std::function<void(SendResult)>;

    virtual ~MessageSender() = default;
    // `done` is called exactly once: at once, or later from the event loop
    // when delivering takes time.
    virtual void Send(const std::string& recipient, const std::string& text, Done done) = 0;
};

// True when a recipient can be handed to a messenger as one name: not
// empty, not beginning with "-" (it would read as an option), and without
// blanks or control characters.
bool IsSingleName(std::string_view recipient);

// Delivers through Samba's smbclient in its messenger mode, when it is
// installed: the program found on the PATH is started directly, with the
// argument list "-N", "-M", recipient (no shell, no password prompt), and the
// message goes to its standard input. Without smbclient nothing is started
// and the answer is NoMessenger. A messenger still running after the
// timeout is stopped and the message counts as not delivered.
class SmbclientSender final : public QObject, public MessageSender {
    Q_OBJECT
public:
    explicit SmbclientSender(QObject* parent = nullptr);

    void Send(const std::string& recipient, const std::string& text, Done done) override;

    void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // The smbclient program on the PATH, or empty.
    static QString FindMessenger();

private:
    std::chrono::milliseconds timeout_{30000};
};

}  // namespace platform
