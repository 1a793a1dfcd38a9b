#include "server/Handshake.h"

#include "online/LiveUpdateRules.h"
#include "runtime/Numbers.h"
#include "server/ServerLog.h"

namespace server {

Handshake ReadHandshake(const std::string& message) {
    namespace liveupdate = online::liveupdate;
    const auto answer = liveupdate::RecogniseAnswer(message);
    if (!answer) return {"ignored " + PeerText(message, 16) + ": no answer to the version", std::nullopt};
    const bool accepted = answer->answer == liveupdate::Answer::Accept;
    return {std::string(accepted ? "ACCEPT" : "REJECT") + " from " + PeerText(answer->user) + " at version " +
                (answer->version ? runtime::NumberText(*answer->version) : std::string("(unreadable)")) +
                (accepted ? ": the patch follows on the transfer port" : ""),
            answer->user};
}

}  // namespace server
