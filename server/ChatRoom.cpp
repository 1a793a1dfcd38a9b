#include "server/ChatRoom.h"

#include "online/ChatProtocol.h"

namespace server {

void ChatRoom::Join(std::uint64_t member, const std::string& address) {
    members_.try_emplace(member, Member{address, std::nullopt});
}

void ChatRoom::Leave(std::uint64_t member) { members_.erase(member); }

ChatRoom::Reply ChatRoom::Received(std::uint64_t member, const std::string& message) {
    const auto known = online::chat::RecogniseGameMessage(message);
    if (known && std::holds_alternative<online::chat::ListRequest>(*known)) {
        return {Reply::To::Sender, online::chat::PlayerList(Names())};
    }
    if (known) {
        const auto it = members_.find(member);
        if (it != members_.end()) it->second.name = std::get<online::chat::ChatLine>(*known).user;
    }
    // Relayed unchanged, whatever it is.
    return {Reply::To::Everyone, message};
}

std::vector<std::string> ChatRoom::Names() const {
    std::vector<std::string> names;
    names.reserve(members_.size());
    for (const auto& [id, m] : members_) {
        if (m.name) {
            names.push_back(*m.name);
        } else if (const auto given = directory_ ? directory_->NameAt(m.address) : std::nullopt) {
            names.push_back(*given);
        } else {
            names.push_back(m.address);
        }
    }
    return names;
}

}  // namespace server
