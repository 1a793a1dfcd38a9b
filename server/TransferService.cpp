#include "server/TransferService.h"

namespace server {

namespace transfer = online::transfer;

TransferService::TransferService(ServiceSettings settings, std::shared_ptr<const transfer::FileSource> patch,
                                 ServerLog& log, QObject* parent)
    : Service(std::move(settings), transfer::ReceiverToSenderGrammar(), log, parent), patch_(std::move(patch)) {}

std::size_t TransferService::Running() const {
    std::size_t running = 0;
    for (const auto& [id, sender] : senders_) running += sender.State() == transfer::SenderState::Sending;
    return running;
}

transfer::Sender& TransferService::SenderFor(ClientConnection& client) {
    auto it = senders_.find(client.Id());
    if (it == senders_.end()) {
        it = senders_.try_emplace(client.Id(), patch_, transfer::kServedBlockSize).first;
    }
    return it->second;
}

void TransferService::Received(ClientConnection& client, const std::string& message) {
    transfer::Sender& sender = SenderFor(client);
    const transfer::SenderStep step = sender.OnMessage(message);
    if (step.started) {
        LogMessage(client, RepeatSummary::Event::Message,
                   "asked for the patch: sending " + std::to_string(patch_->Size()) + " bytes");
    }
    for (const std::string& block : step.messages) {
        client.Send(block);
        // The "N!" that answers a block is the server's asking: it costs the
        // client nothing of its budget.
        if (!step.finished) client.Grant(transfer::kAcknowledge.size() + Settings().limits.costPerMessage);
    }
    if (step.finished) {
        ++finished_;
        LogMessage(client, RepeatSummary::Event::Message, "sent the patch whole");
    }
    if (step.failed) client.Drop("dropped: the patch file could not be read");
}

void TransferService::Left(ClientConnection& client) {
    const auto it = senders_.find(client.Id());
    if (it == senders_.end()) return;
    if (it->second.State() == transfer::SenderState::Sending) {
        LogMessage(client, RepeatSummary::Event::Message,
                   "broke off the download with " + std::to_string(it->second.BytesRemaining()) + " bytes to go");
    }
    senders_.erase(it);
}

}  // namespace server
