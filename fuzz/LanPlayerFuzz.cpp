// A player in a LAN race driven by an untrusted host: any mix of the host's
// messages (well formed, with absurd numbers, or garbage cut by the player's
// own reader), closes, refreshes and rejoins. The player pays one stake per
// race it enters, only the stake the invitation named, and takes at most the
// pot its race announced, once; the pictures only ever get positions on the
// track.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/Game.h"
#include "fuzz/FuzzInput.h"
#include "online/Brambly.h"
#include "online/LanPlayer.h"
#include "online/MessageReader.h"

namespace lan = online::lan;

namespace {

using fuzzing::Check;
using fuzzing::Input;
using fuzzing::SilentNotices;

// The stable tree with the player's one horse selected.
class OneHorseStable final : public core::TreeNodes {
public:
    void AddNode(const std::string&, const std::string&, int) override {}
    void RemoveNode(const std::string&) override {}
    void Clear() override {}
    bool HasNode(const std::string& key) const override { return key == kKey; }
    std::string SelectedKey() const override { return kKey; }
    void ClearSelection() override {}

    static constexpr const char* kKey = "MAIR0";
};

std::string Amount(Input& in) {
    static const char* const kAmounts[] = {"2500", "0", "-50", "1e308", "nan", "7500", "12500.5", "2500,5", "",
                                           "99999999999999999999"};
    return kAmounts[in.Byte() % 10];
}

std::string HostText(Input& in, const std::string& code) {
    const std::string digit(1, static_cast<char>('0' + in.Byte() % 10));
    switch (in.Byte() % 16) {
        case 0: return "PARTICIPANT?" + Amount(in);
        case 1: return "FULL!";
        case 2: return "HORSE?";
        case 3: return "ACCEPTED!";
        case 4: return "REFRESH!";
        case 5: return "PLAYER>" + in.Bytes(in.Byte() % 12) + digit;
        case 6: return "UNEXISTENT>" + digit;
        case 7: return "HORSE>" + code + digit;
        case 8: return "HORSE>" + in.Bytes(in.Byte()) + digit;
        case 9: return "DEAD>" + digit;
        case 10: return "START!" + Amount(in);
        case 11: return "H1" + Amount(in) + ":H2" + in.Bytes(in.Byte() % 8) + ":H3-1e9:H4inf:H5" + Amount(in) + ":";
        case 12: return "WIN:" + Amount(in);
        case 13: return "WIN:NO";
        default: return in.Bytes(in.Byte() % 64);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    core::Game game;
    SilentNotices notices;
    OneHorseStable stable;
    game.Money = 10000;
    core::HorseRec& mine = game.OwnedHorse[0];
    mine.Name = "Dusty Pearl";
    mine.Colour = 112;
    mine.Sex = core::kFemale;
    mine.Health = mine.HealthMAX = 100;
    core::HorseRec roster = mine;
    roster.Colour = in.Byte() % 2 ? INT32_MIN : 145;
    const std::string code = online::EncodeHorseCode(roster);

    lan::PlayerSession session(game, notices, stable, [] { return std::string("fuzz"); });
    online::MessageReader reader(lan::HostToPlayerGrammar());
    if (in.Byte() % 2) {
        // Mostly from the lobby, where the money is at stake.
        session.Join();
        session.Connected();
        for (const char* text : {"PARTICIPANT?2500", "HORSE?", "ACCEPTED!"}) {
            session.OnMessage(*lan::RecogniseHostMessage(text));
        }
    }
    while (!in.Empty()) {
        const double before = game.Money;
        const lan::PlayerState was = session.State();
        const double stake = session.Stake();
        const double pot = session.Pot();
        lan::PlayerReaction r;
        const std::uint8_t op = in.Byte() % 18;
        std::optional<std::string> text;
        if (op == 0) {
            r = session.Join();
        } else if (op == 1) {
            r = session.Connected();
        } else if (op == 2) {
            r = session.Closed();
        } else if (op == 3) {
            r = session.RefreshRoster();
        } else if (op == 16) {
            r = session.HostQuiet();
        } else if (op == 17) {
            r = session.Leave();
        } else if (op < 13) {
            text = HostText(in, code);
        } else {
            // Through the player's own reader, as the bytes come.
            reader.Append(HostText(in, code));
            text = in.Byte() % 4 ? reader.Next() : reader.NextAfterIdle();
        }
        if (text) {
            const auto message = lan::RecogniseHostMessage(*text);
            if (!message) continue;
            r = session.OnMessage(*message);
        }
        const double after = game.Money;
        const lan::PlayerState now = session.State();
        if (after < before) {
            // The stake, once, on entering a race.
            Check(was == lan::PlayerState::InLobby && now == lan::PlayerState::Racing);
            Check(before - after == stake && stake >= 0);
        } else if (after > before) {
            // Once, on leaving a race: a result of at most the pot, or the
            // stake back for a race that was never settled.
            Check(was == lan::PlayerState::Racing && now != lan::PlayerState::Racing);
            Check((after - before <= pot || after - before == stake) && std::isfinite(after));
        }
        if (was != lan::PlayerState::Idle && was != lan::PlayerState::Connecting &&
            was != lan::PlayerState::AwaitingInvitation && now != lan::PlayerState::Connecting &&
            now != lan::PlayerState::Idle) {
            Check(session.Stake() == stake);
        }
        if (r.Frame) {
            for (const auto& x : *r.Frame) Check(!x || (std::isfinite(*x) && *x >= 0 && *x <= lan::kLanFinish));
        }
        for (int slot = 1; slot <= lan::kSlots; ++slot) {
            const int image = lan::PlayerSession::RosterImage(session.ContenderAt(slot).Horse);
            Check(image >= 0 && image <= 45);
        }
        Check(game.Money >= 0);
    }
    return 0;
}
