#pragma once

#include <map>
#include <memory>

#include "online/FileTransfer.h"
#include "server/Service.h"

// Port 7812: the patch download. It keeps listening and serves the one
// patch file to any number of copies at once, each on its own connection
// with its own place in the file, in blocks of at most 1024 bytes (so a copy
// that takes one read for one block still gets each block whole).
namespace server {

class TransferService final : public Service {
    Q_OBJECT
public:
    TransferService(ServiceSettings settings, std::shared_ptr<const online::transfer::FileSource> patch,
                    ServerLog& log, QObject* parent = nullptr);

    // Downloads that began and have not ended, and that ended whole.
    std::size_t Running() const;
    std::uint64_t Finished() const { return finished_; }

protected:
    void Received(ClientConnection& client, const std::string& message) override;
    void Left(ClientConnection& client) override;

private:
    online::transfer::Sender& SenderFor(ClientConnection& client);

    std::shared_ptr<const online::transfer::FileSource> patch_;
    std::map<std::uint64_t, online::transfer::Sender> senders_;
    std::uint64_t finished_ = 0;
};

}  // namespace server
