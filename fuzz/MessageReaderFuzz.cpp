// The message readers and the code decoders on untrusted bytes: any stream,
// cut into reads anywhere, gives messages that are pieces of the stream in
// order, never more bytes held than the cap, and decoders that either
// succeed or leave their target as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/Brambly.h"
#include "online/LanProtocol.h"
#include "online/MessageReader.h"

namespace {

void CutAndCheck(const online::Grammar& grammar, std::string_view stream, std::uint8_t splitSeed) {
    online::MessageReader reader(grammar);
    std::string taken;
    std::size_t at = 0;
    std::size_t step = 1 + splitSeed % 17;
    while (at < stream.size()) {
        const std::size_t n = std::min(step, stream.size() - at);
        reader.Append(stream.substr(at, n));
        at += n;
        step = 1 + (step * 7 + splitSeed) % 23;
        while (auto m = reader.Next()) {
            if (m->empty()) std::abort();
            taken += *m;
        }
        if (reader.BytesHeld() > online::kReaderCap + 23) std::abort();
    }
    while (auto m = reader.NextAfterIdle()) taken += *m;
    // Messages and skipped bytes together are the stream, in order.
    if (taken.size() + reader.SkippedBytes() + reader.BytesHeld() != stream.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    CutAndCheck(online::lan::HostToPlayerGrammar(), stream, data[0]);
    CutAndCheck(online::lan::PlayerToHostGrammar(), stream, data[0]);
    (void)online::lan::RecogniseHostMessage(stream);
    (void)online::lan::RecognisePlayerMessage(stream);

    core::HorseRec horse;
    horse.Name = "Kept";
    const core::HorseRec before = horse;
    if (!online::DecodeHorseCode(stream, horse) && !(horse == before)) std::abort();
    if (const auto score = online::DecodeScoreCode(stream)) {
        if (online::DecodeScoreCode(online::EncodeScoreCode(*score)) != score) std::abort();
    }
    return 0;
}
