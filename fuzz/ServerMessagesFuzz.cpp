// The server's handling of what clients send, on untrusted bytes: each of
// its four ports' streams, cut into reads anywhere, goes through the port's
// grammar and rules. Whatever comes, a chat text is relayed unchanged or
// answered with the list, the board answers only with a readable record,
// the patch goes out one block of at most 1,024 bytes per message and never
// past its end, and no log line carries a byte that could forge another.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "online/Brambly.h"
#include "online/ChatProtocol.h"
#include "online/FileTransfer.h"
#include "online/LeaderBoardProtocol.h"
#include "online/LiveUpdateRules.h"
#include "online/MessageReader.h"
#include "server/BoardDesk.h"
#include "server/ChatRoom.h"
#include "server/Handshake.h"

namespace {

void CheckLogLine(const std::string& line) {
    for (const char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7F) std::abort();
    }
}

// The board in memory, ranked as the real one: level, wins, wager.
class MemoryStore final : public server::ScoreStore {
public:
    bool Record(const online::ScoreRecord& score) override {
        for (auto& s : scores_) {
            if (s.Name == score.Name) {
                s = score;
                return true;
            }
        }
        scores_.push_back(score);
        return true;
    }
    std::optional<online::ScoreRecord> Top() const override {
        std::optional<online::ScoreRecord> top;
        for (const auto& s : scores_) {
            if (!top || s.Level > top->Level || (s.Level == top->Level && s.LANwon > top->LANwon) ||
                (s.Level == top->Level && s.LANwon == top->LANwon && s.LANwager > top->LANwager)) {
                top = s;
            }
        }
        return top;
    }
    const std::string& LastError() const override { return error_; }

private:
    std::vector<online::ScoreRecord> scores_;
    std::string error_;
};

void Cut(const online::Grammar& grammar, std::string_view stream, std::uint8_t seed,
         const std::function<void(const std::string&)>& handle) {
    online::MessageReader reader(grammar);
    std::size_t at = 0;
    std::size_t step = 1 + seed % 13;
    while (at < stream.size()) {
        const std::size_t n = std::min(step, stream.size() - at);
        reader.Append(stream.substr(at, n));
        at += n;
        step = 1 + (step * 5 + seed) % 29;
        while (auto m = reader.Next()) handle(*m);
        // Now and then the client falls quiet.
        if ((step + seed) % 7 == 0) {
            while (auto m = reader.NextAfterIdle()) handle(*m);
        }
    }
    while (auto m = reader.NextAfterIdle()) handle(*m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t seed = data[0];
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    // 3113: the chat.
    server::PlayerDirectory directory;
    directory.Remember(9, "10.0.0.2", std::string(stream.substr(0, 8)));
    server::ChatRoom room(&directory);
    room.Join(1, "10.0.0.1");
    room.Join(2, "10.0.0.2");
    Cut(online::chat::GameToServerGrammar(), stream, seed, [&](const std::string& m) {
        const server::ChatRoom::Reply reply = room.Received(1, m);
        if (reply.to == server::ChatRoom::Reply::To::Everyone && reply.text != m) std::abort();
        if (reply.to == server::ChatRoom::Reply::To::Sender && !reply.text.starts_with("In the chat (2):\r\n")) {
            std::abort();
        }
    });

    // 5917: the leader's board.
    MemoryStore store;
    Cut(online::leaderboard::GameToServerGrammar(), stream, seed, [&](const std::string& m) {
        const server::BoardAnswer answer = server::AnswerBoardMessage(m, store);
        CheckLogLine(answer.log);
        if (answer.reply) {
            const auto top = online::leaderboard::RecogniseServerMessage(*answer.reply);
            if (!top || !online::DecodeScoreCode(std::get<online::leaderboard::TopPlayer>(*top).code)) std::abort();
        }
    });

    // 2094: the version check.
    Cut(online::liveupdate::GameToServerGrammar(), stream, seed, [&](const std::string& m) {
        CheckLogLine(server::ReadHandshake(m).log);
    });

    // 7812: the patch.
    const std::size_t patchSize = 1 + seed * 13;
    online::transfer::Sender sender(online::transfer::BytesSource(std::string(patchSize, 'p')),
                                    online::transfer::kServedBlockSize);
    std::size_t served = 0;
    Cut(online::transfer::ReceiverToSenderGrammar(), stream, seed, [&](const std::string& m) {
        const online::transfer::SenderStep step = sender.OnMessage(m);
        if (step.messages.size() > 1 || step.failed) std::abort();
        for (const auto& block : step.messages) {
            if (block.size() > 2 + online::transfer::kServedBlockSize) std::abort();
            served += block.size() - 2;
        }
    });
    if (served > patchSize) std::abort();
    return 0;
}
