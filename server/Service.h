#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "online/MessageReader.h"
#include "server/ClientConnection.h"
#include "server/RepeatSummary.h"
#include "server/ServerLog.h"

namespace net {
class Socket;
}

// One of the server's ports: a listener that takes every client into a
// ClientConnection and hands its messages to the service's own handling.
// Log lines look like "[chat 3113] #12 192.168.0.7 connected"; an address
// that comes and goes often, or whose clients send much, gets a line a minute
// saying how often instead.
namespace server {

class LoopWatch;

struct ServiceSettings {
    std::string name;     // for the log: "version", "patch", "board", "chat"
    std::int32_t port = 0;  // 0: the system chooses (tests)
    std::string address;  // empty: every address of the machine
    ClientLimits limits;
    // Clients beyond this many at once are turned away, so the server never
    // runs out of file descriptors however many connections arrive.
    std::size_t maxClients = 250;
    // Clients from one address beyond this many at once are turned away,
    // so one machine cannot fill the port. A LAN party's players each have
    // their own address; players behind one router share its address.
    std::size_t maxPerAddress = 8;
    // How many lines per address about connections and about what its
    // clients sent are written one by one.
    RepeatLimits connectionLines;
    // How long the server was too busy to read its clients (null: the
    // service keeps its own watch).
    const LoopWatch* loop = nullptr;
};

class Service : public QObject {
    Q_OBJECT
public:
    Service(ServiceSettings settings, const online::Grammar& grammar, ServerLog& log, QObject* parent = nullptr);
    ~Service() override;

    // Starts listening. False, with `error` saying why, when the port
    // cannot be had (in use, or the address is not this machine's).
    bool Start(std::string& error);
    void Stop();

    // The port it listens on (the one the system chose for port 0).
    std::int32_t Port() const;
    std::size_t ClientCount() const { return clients_.size(); }
    std::size_t ClientsFrom(const std::string& address) const;
    // Bytes waiting to go out to all clients, and bytes held of messages
    // not yet whole: what the clients cost in memory.
    std::int64_t BytesQueued() const;
    std::int64_t BytesHeld() const;
    const ServiceSettings& Settings() const { return settings_; }

protected:
    // A client is connected (its earliest messages may have come first).
    virtual void Joined(ClientConnection& /*client*/) {}
    // A whole message from a client.
    virtual void Received(ClientConnection& client, const std::string& message) = 0;
    // The client has left or was dropped; it is still reachable by id
    // until this returns.
    virtual void Left(ClientConnection& /*client*/) {}
    // The port is stopping: its clients are still there.
    virtual void Stopping() {}

    void Log(const std::string& line) const;
    void Log(const ClientConnection& client, const std::string& what) const;
    // A line about what a client sent (a question, a handshake, a score):
    // written unless its address has had its share of such lines this
    // minute, else counted in the minute's summary line.
    void LogMessage(const ClientConnection& client, RepeatSummary::Event event, const std::string& what);
    // The same for a client that may have gone since.
    void LogMessage(std::uint64_t id, const std::string& address, RepeatSummary::Event event, const std::string& what);
    // Every connected client, in the order they came.
    void ForEachClient(const std::function<void(ClientConnection&)>& visit);
    // A connected client by its id; null when it has gone.
    ClientConnection* Find(std::uint64_t id) const;

public:
    // Writes the counts of connection lines left out whose minute is over.
    void Summary_Timer();

private:
    void Listener_ConnectionRequest(int requestID);
    void Client_Gone(std::uint64_t id, const std::string& reason);
    // Writes a connection line of `address` unless it has had its share.
    void LogConnection(const std::string& address, RepeatSummary::Event event, const std::string& line);
    void ScheduleSummary();

    ServiceSettings settings_;
    const online::Grammar& grammar_;
    ServerLog& log_;
    net::Socket* listener_;
    struct Client {
        ClientConnection* connection;
        std::string address;  // known even when it left before it was taken over
    };
    std::map<std::uint64_t, Client> clients_;
    std::map<std::string, std::size_t> perAddress_;  // clients by address
    std::uint64_t nextId_ = 1;
    RepeatSummary repeats_;
    std::set<std::uint64_t> unlogged_;  // clients whose coming was not written: nor is their going
    QTimer summary_;
    const LoopWatch* loop_;
};

}  // namespace server
