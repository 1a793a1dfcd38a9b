#include "server/VersionService.h"

#include "online/LiveUpdateRules.h"
#include "runtime/Numbers.h"

namespace server {

namespace liveupdate = online::liveupdate;

VersionService::VersionService(ServiceSettings settings, std::int32_t newestVersion, PlayerDirectory& directory,
                               ServerLog& log, QObject* parent)
    : Service(std::move(settings), liveupdate::GameToServerGrammar(), log, parent),
      newestVersion_(newestVersion),
      directory_(directory) {}

void VersionService::Joined(ClientConnection& client) { client.Send(liveupdate::FormatVersion(newestVersion_)); }

void VersionService::Received(ClientConnection& client, const std::string& message) {
    const auto answer = liveupdate::RecogniseAnswer(message);
    if (!answer) {
        Log(client, "ignored " + PeerText(message, 16) + ": no answer to the version");
        return;
    }
    const bool accepted = answer->answer == liveupdate::Answer::Accept;
    Log(client, std::string(accepted ? "ACCEPT" : "REJECT") + " from " + PeerText(answer->user) + " at version " +
                    (answer->version ? runtime::NumberText(*answer->version) : std::string("(unreadable)")) +
                    (accepted ? ": the patch follows on the transfer port" : ""));
    directory_.Remember(client.Id(), client.Address(), answer->user);
}

void VersionService::Left(ClientConnection& client) { directory_.Forget(client.Id()); }

}  // namespace server
