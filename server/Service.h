#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "online/MessageReader.h"
#include "server/AddressBudgets.h"
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
//
// A port holds a bounded number of clients, and one address a few of them.
// When it is full, a newcomer still gets in as long as others are less
// likely to be players: one that has not sent its protocol's first message
// within a few seconds of coming goes first, else the newest connection of
// the address that holds the most, as long as that is more than the
// newcomer's address would then hold.
namespace server {

class LoopWatch;

struct ServiceSettings {
    std::string name;     // for the log: "version", "patch", "board", "chat"
    std::int32_t port = 0;  // 0: the system chooses (tests)
    std::string address;  // empty: every address of the machine
    ClientLimits limits;
    // The most clients at once, so the server never runs out of file
    // descriptors however many connections arrive; past it, a newcomer
    // takes the place of one less likely to be a player, or is turned away.
    std::size_t maxClients = 2000;
    // Clients from one address beyond this many at once are turned away,
    // so a few machines cannot fill the port. A LAN party's players each have
    // their own address; players behind one router share its address.
    std::size_t maxPerAddress = 8;
    // How many lines per address about connections and about what its
    // clients sent are written one by one.
    RepeatLimits connectionLines;
    // How long after it came a client that has sent no whole message may
    // be let go to make room on a full port (not on a port whose players
    // may well say nothing, see FirstStepTaken).
    std::chrono::milliseconds firstStepGrace{5000};
    // How long the server was too busy to read its clients (null: the
    // service keeps its own watch).
    const LoopWatch* loop = nullptr;
    // The share of the event loop's turns (null: the service keeps its own).
    TurnShare* turns = nullptr;
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
    // Whether the client has sent what a player's copy sends first (by
    // default, any whole message): a full port lets go first of those that
    // have not, a while after they came.
    virtual bool FirstStepTaken(const ClientConnection& client) const { return client.MessagesHandled() > 0; }
    // Bytes the service keeps for the client beyond its socket's queue (for
    // the log line of one that stopped reading).
    virtual std::int64_t BytesKeptFor(const ClientConnection& /*client*/) const { return 0; }
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
    // Lets go of clients that stopped reading or keep a message unfinished,
    // and forgets the budgets of addresses gone that have refilled.
    void Watch_Timer();

private:
    void Listener_ConnectionRequest(int requestID);
    void Client_Gone(std::uint64_t id, const std::string& reason);
    // The port is full: lets one go that is less likely to be a player
    // than a newcomer from `address`; false when there is none.
    bool MakeRoomFor(const std::string& address);
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
    std::map<std::string, std::set<std::uint64_t>> perAddress_;  // clients by address
    std::uint64_t nextId_ = 1;
    RepeatSummary repeats_;
    AddressBudgets addresses_;
    std::set<std::uint64_t> unlogged_;  // clients whose coming was not written: nor is their going
    QTimer summary_;
    QTimer watch_;
    std::chrono::steady_clock::time_point watched_;  // the last Watch_Timer
    const LoopWatch* loop_;
    TurnShare* turns_;
};

}  // namespace server
