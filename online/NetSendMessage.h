#pragma once

#include <string>
#include <string_view>

// Messages to one user or computer on the local network, from the contacts
// window: the text the game writes, and which recipients it will send to.
namespace online::netsend {

inline constexpr std::string_view kHeader = "<-Trotwick EXTERNAL GAME MESSAGE->";

// The message as the recipient reads it: the header, a line break,
// "From User: " & user, two line breaks, then the player's message with its
// own line breaks as they stand.
std::string MessageText(std::string_view user, std::string_view message);

// Whether the game sends to a recipient.
enum class Recipient {
    Fine,
    WholeNetwork,  // "*", also with blanks around it: every computer around
    Missing,       // empty, or only blanks
    OptionLike,    // begins with "-": a messenger would take it for an option
    Unsafe,        // holds a blank or a control character: no single name
};

Recipient CheckRecipient(std::string_view recipient);

// What the player is told for each refusal.
inline constexpr std::string_view kWholeNetworkText = "Trotwick will not let you send a message to the whole network!";
inline constexpr std::string_view kWholeNetworkTitle = "DON'T EVEN TRY IT!";
inline constexpr std::string_view kMissingText = "Choose a contact or type a username to send the message to.";
inline constexpr std::string_view kBadNameText =
    "A username or computer name cannot begin with \"-\" or hold blanks: the message was not sent.";
// What the player is told when the message could not go.
inline constexpr std::string_view kNoMessengerText =
    "No messenger is available on this computer: the message was not sent.";
inline constexpr std::string_view kFailedText = "The message could not be delivered to ";

}  // namespace online::netsend
