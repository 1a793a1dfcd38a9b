#pragma once

#include "server/PlayerDirectory.h"
#include "server/Service.h"

// Port 2094: the version check. Each copy that connects is told the newest
// version at once; its answer ("REJECT" or "ACCEPT", its user and its
// version) goes to the log. The connection stays open: a copy that loses it
// reconnects every 10 seconds, and each reconnection would be another
// handshake (and, for an older copy, another download).
namespace server {

class VersionService final : public Service {
    Q_OBJECT
public:
    VersionService(ServiceSettings settings, std::int32_t newestVersion, PlayerDirectory& directory, ServerLog& log,
                   QObject* parent = nullptr);

protected:
    void Joined(ClientConnection& client) override;
    void Received(ClientConnection& client, const std::string& message) override;
    void Left(ClientConnection& client) override;

private:
    std::int32_t newestVersion_;
    PlayerDirectory& directory_;
};

}  // namespace server
