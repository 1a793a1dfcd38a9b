#include "server/VersionService.h"

#include "online/LiveUpdateRules.h"
#include "server/Handshake.h"

namespace server {

namespace liveupdate = online::liveupdate;

VersionService::VersionService(ServiceSettings settings, std::int32_t newestVersion, PlayerDirectory& directory,
                               ServerLog& log, QObject* parent)
    : Service(std::move(settings), liveupdate::GameToServerGrammar(), log, parent),
      newestVersion_(newestVersion),
      directory_(directory) {}

void VersionService::Joined(ClientConnection& client) { client.Send(liveupdate::FormatVersion(newestVersion_)); }

void VersionService::Received(ClientConnection& client, const std::string& message) {
    const Handshake handshake = ReadHandshake(message);
    LogMessage(client, RepeatSummary::Event::Message, handshake.log);
    if (handshake.user) directory_.Remember(client.Id(), client.Address(), *handshake.user);
}

void VersionService::Left(ClientConnection& client) { directory_.Forget(client.Id()); }

}  // namespace server
