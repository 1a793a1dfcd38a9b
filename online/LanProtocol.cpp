#include "online/LanProtocol.h"

#include <cmath>

#include "runtime/Numbers.h"
#include "runtime/Overloaded.h"
#include "runtime/Text.h"

namespace online::lan {

namespace {

std::string SlotDigit(int slot) {
    return slot >= 0 && slot <= 9 ? std::string(1, static_cast<char>('0' + slot)) : std::string();
}

// The slot a message ends with: its last character as a digit.
int LastSlot(std::string_view text) {
    if (text.empty()) return kNoSlot;
    const char c = text.back();
    return c >= '0' && c <= '9' ? c - '0' : kNoSlot;
}

double Amount(std::string_view text) {
    const auto value = runtime::ParseNumberAcceptingComma(text);
    return value ? *value : std::nan("");
}

// The text between a message's keyword and its last character (the slot).
std::string Between(std::string_view text, std::size_t keyword) {
    return text.size() > keyword ? std::string(text.substr(keyword, text.size() - keyword - 1)) : std::string();
}

// Field i of a frame goes to picture i whatever its label says: the text up
// to the next ":", less the ":" and its first two characters.
RaceFrame ReadFrame(std::string_view text) {
    RaceFrame frame{};
    for (auto& x : frame.x) {
        const auto colon = text.find(':');
        if (colon == std::string_view::npos) break;
        const std::string_view field = text.substr(0, colon);
        text.remove_prefix(colon + 1);
        if (field.size() < 2) continue;
        const auto value = runtime::ParseNumberAcceptingComma(field.substr(2));
        if (value && std::isfinite(static_cast<float>(*value))) x = static_cast<float>(*value);
    }
    return frame;
}

std::string FrameText(const RaceFrame& frame) {
    std::string text;
    for (int i = 0; i < kSlots; ++i) {
        const auto& x = frame.x[static_cast<std::size_t>(i)];
        text += 'H' + SlotDigit(i + 1);
        if (x) text += runtime::NumberText(*x);
        text += ':';
    }
    return text;
}

bool Begins(std::string_view text, std::string_view keyword) { return text.starts_with(keyword); }

}  // namespace

std::string Format(const HostMessage& message) {
    using runtime::NumberText;
    return std::visit(
        runtime::Overloaded{
            [](const Invitation& m) { return "PARTICIPANT?" + NumberText(m.charge); },
            [](const GameFull&) { return std::string("FULL!"); },
            [](const HorseRequest&) { return std::string("HORSE?"); },
            [](const Accepted&) { return std::string("ACCEPTED!"); },
            [](const Refresh&) { return std::string("REFRESH!"); },
            [](const PlayerAnswer& m) { return "PLAYER>" + m.name + SlotDigit(m.slot); },
            [](const NoPlayer& m) { return "UNEXISTENT>" + SlotDigit(m.slot); },
            [](const RosterHorse& m) { return "HORSE>" + m.code + SlotDigit(m.slot); },
            [](const NoHorse& m) { return "DEAD>" + SlotDigit(m.slot); },
            [](const StartRace& m) { return "START!" + NumberText(m.pot); },
            [](const RaceFrame& m) { return FrameText(m); },
            [](const Result& m) { return m.amount ? "WIN:" + NumberText(*m.amount) : std::string("WIN:NO"); },
        },
        message);
}

std::string Format(const PlayerMessage& message) {
    return std::visit(runtime::Overloaded{
                          [](const Acceptance& m) { return "YES>" + m.name; },
                          [](const HorseOffer& m) { return "HORSE>" + m.code; },
                          [](const PlayerQuery& m) { return "PLAYER?" + SlotDigit(m.slot); },
                          [](const HorseQuery& m) { return "HORSE?" + SlotDigit(m.slot); },
                          [](const DropOut&) { return std::string("DROPOUT!"); },
                      },
                      message);
}

std::optional<HostMessage> RecogniseHostMessage(std::string_view text) {
    if (Begins(text, "H1")) return ReadFrame(text);
    if (Begins(text, "PARTICIPANT?")) return Invitation{Amount(text.substr(12))};
    if (runtime::UpperCase(runtime::Trim(text)) == "FULL!") return GameFull{};
    if (text == "HORSE?") return HorseRequest{};
    if (text == "ACCEPTED!") return Accepted{};
    if (text == "REFRESH!") return Refresh{};
    if (Begins(text, "START!")) return StartRace{Amount(text.substr(6))};
    if (Begins(text, "PLAYER>")) return PlayerAnswer{Between(text, 7), LastSlot(text.substr(7))};
    if (Begins(text, "UNEXISTENT>")) return NoPlayer{LastSlot(text.substr(11))};
    if (Begins(text, "HORSE>")) return RosterHorse{Between(text, 6), LastSlot(text.substr(6))};
    if (Begins(text, "DEAD>")) return NoHorse{LastSlot(text.substr(5))};
    if (Begins(text, "WIN:")) {
        if (text.ends_with("NO")) return Result{std::nullopt};
        return Result{Amount(text.substr(4))};
    }
    return std::nullopt;
}

std::optional<PlayerMessage> RecognisePlayerMessage(std::string_view text) {
    if (Begins(text, "YES>")) return Acceptance{std::string(text.substr(4))};
    if (Begins(text, "HORSE>")) return HorseOffer{std::string(text.substr(6))};
    if (text == "DROPOUT!") return DropOut{};
    if (Begins(text, "HORSE?")) return HorseQuery{LastSlot(text.substr(6))};
    if (Begins(text, "PLAYER?")) return PlayerQuery{LastSlot(text.substr(7))};
    return std::nullopt;
}

const Grammar& HostToPlayerGrammar() {
    static const KeywordGrammar grammar({
        {"PARTICIPANT?", Tail::Number},
        {"FULL!", Tail::None, true},
        {"HORSE?", Tail::None},
        {"HORSE>", Tail::HorseCodeDigit},
        {"ACCEPTED!", Tail::None},
        {"REFRESH!", Tail::None},
        {"PLAYER>", Tail::TextDigit},
        {"UNEXISTENT>", Tail::Digit},
        {"DEAD>", Tail::Digit},
        {"START!", Tail::Number},
        {"H1", Tail::Frame},
        {"WIN:NO", Tail::None},
        {"WIN:", Tail::Number},
    });
    return grammar;
}

const Grammar& PlayerToHostGrammar() {
    static const KeywordGrammar grammar({
        {"YES>", Tail::Text},
        {"HORSE>", Tail::HorseCode},
        {"HORSE?", Tail::Digit},
        {"PLAYER?", Tail::Digit},
        {"DROPOUT!", Tail::None},
    });
    return grammar;
}

}  // namespace online::lan
