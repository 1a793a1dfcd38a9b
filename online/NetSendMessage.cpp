#include "online/NetSendMessage.h"

#include <algorithm>

#include "runtime/Text.h"

namespace online::netsend {

namespace {

// A blank (also the no-break space) or a control character.
bool Breaks(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F || byte == 0xA0;
}

}  // namespace

std::string MessageText(std::string_view user, std::string_view message) {
    std::string text(kHeader);
    text += "\r\nFrom User: ";
    text += user;
    text += "\r\n\r\n";
    text += message;
    return text;
}

Recipient CheckRecipient(std::string_view recipient) {
    const std::string_view name = runtime::Trim(recipient);
    if (name == "*") return Recipient::WholeNetwork;
    if (name.empty()) return Recipient::Missing;
    if (recipient.front() == '-') return Recipient::OptionLike;
    if (std::any_of(recipient.begin(), recipient.end(), Breaks)) return Recipient::Unsafe;
    return Recipient::Fine;
}

}  // namespace online::netsend
