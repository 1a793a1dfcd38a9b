#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The server's log: a line per connection, handshake, transfer, score and
// dropped client. Names and texts from peers are written through
// PeerText, so a hostile peer can neither forge lines nor make one line
// long; how many lines one address causes is held down by its ports
// (Service, RepeatSummary), not here.
namespace server {

class ServerLog {
public:
    virtual ~ServerLog() = default;
    virtual void Write(std::string_view line) = 0;
};

// Lines with the local date and time in front, to a stream (standard error
// by default), each flushed as it is written.
class StreamLog final : public ServerLog {
public:
    explicit StreamLog(std::FILE* stream = stderr) : stream_(stream) {}
    void Write(std::string_view line) override;

private:
    std::FILE* stream_;
};

// Bytes from a peer made fit for one log line: quoted, printable ASCII as it
// is, every other byte as \xNN, at most `limit` bytes shown and "..." after.
std::string PeerText(std::string_view bytes, std::size_t limit = 64);

}  // namespace server
