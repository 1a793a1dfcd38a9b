// The LAN race host driven by untrusted players: any mix of connections,
// messages (the game's own and garbage), lost connections, sweeps, races,
// payouts and the host leaving. The host never holds more connections than
// its slots and its waiting room, never books a slot twice, keeps the pot at
// the charge times the runners, and moves the host's money only by its
// charge at a start, the pot at a payout it won (also when it leaves a
// finished race), and its charge back when it leaves a race still running.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Game.h"
#include "fuzz/FuzzInput.h"
#include "online/Brambly.h"
#include "online/LanHost.h"

namespace lan = online::lan;

namespace {

using fuzzing::Check;
using fuzzing::Input;
using fuzzing::SilentNotices;

std::string Message(Input& in, const std::string& goodHorse, const std::string& badHorse) {
    const std::uint8_t kind = in.Byte();
    const std::string digit(1, static_cast<char>('0' + in.Byte() % 10));
    switch (kind % 9) {
        case 0: return "YES>" + in.Bytes(in.Byte() % 16);
        case 1: return goodHorse;
        case 2: return badHorse;
        case 3: return "PLAYER?" + digit;
        case 4: return "HORSE?" + digit;
        case 5: return "DROPOUT!";
        case 6: return "HORSE>" + in.Bytes(in.Byte());
        default: return in.Bytes(in.Byte() % 32);
    }
}

void CheckInvariants(const lan::LanHost& host, const core::Game& game) {
    Check(host.Connections().size() <= 4 + lan::kMaxPendingConnections);
    for (int k = 2; k <= lan::kSlots; ++k) {
        const auto id = host.PlayerSocket(k);
        if (!id) continue;
        const auto state = host.StateOf(*id);
        Check(state == lan::ConnectionState::Bound || state == lan::ConnectionState::Ready);
        for (int j = k + 1; j <= lan::kSlots; ++j) Check(host.PlayerSocket(j) != id);
    }
    if (host.RaceUnderway()) Check(host.LanPot() == host.ChargePerPlayer() * host.LanRunners());
    Check(game.Money >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    core::Game game;
    SilentNotices notices;
    game.Money = 5000;
    game.OwnedHorse[0].Name = "Host Horse";
    game.OwnedHorse[0].Colour = 120;
    game.OwnedHorse[0].Sex = core::kMale;
    game.OwnedHorse[0].Speed = game.OwnedHorse[0].Stamina = 300;
    game.OwnedHorse[0].Health = game.OwnedHorse[0].HealthMAX = 100;
    core::HorseRec guest = game.OwnedHorse[0];
    guest.Speed = guest.Stamina = 500;
    const std::string goodHorse = "HORSE>" + online::EncodeHorseCode(guest);
    guest.Colour = 99;
    const std::string badHorse = "HORSE>" + online::EncodeHorseCode(guest);

    lan::LanHost host;
    lan::HostActions out;
    lan::ConnectionId last = 0;
    while (!in.Empty()) {
        out = {};
        const double before = game.Money;
        const std::uint8_t op = in.Byte();
        switch (op % 11) {
            case 0: host.CreateGame(game, in.Byte() * 10.0, 0, "host", out); break;
            case 1: last = host.Accept(out); break;
            case 2:
            case 3:
            case 4: {
                const lan::ConnectionId to = last == 0 ? 0 : last - in.Byte() % 6;
                host.Receive(to, Message(in, goodHorse, badHorse), out);
                break;
            }
            case 5: host.ConnectionLost(last - in.Byte() % 6, out); break;
            case 6: host.Sweep(out); break;
            case 7: {
                const bool started = host.StartRace(game, notices, out) == lan::StartResult::Started;
                Check(game.Money == (started ? before - host.ChargePerPlayer() : before));
                break;
            }
            case 8:
                for (int i = in.Byte(); i >= 0; --i) host.Tick(game.Random(), in.Byte() % 40 - 5, out);
                break;
            case 10: {
                // The host leaves: a finished race is paid out (the pot to a
                // winning host), a running one gives the charge back.
                const bool running = host.Phase() == lan::HostPhase::Racing;
                const bool finished = host.Phase() == lan::HostPhase::Paying;
                const double charge = host.ChargePerPlayer();
                const double pot = host.LanPot();
                host.LeaveGame(game, out);
                if (running) Check(game.Money == before + charge);
                if (finished) Check(game.Money == before || game.Money == before + pot);
                if (!running && !finished) Check(game.Money == before);
                Check(host.Connections().empty());
                break;
            }
            default: {
                // Some runners' players may not have had the whole race yet.
                const std::uint8_t behind = in.Byte();
                if (host.HoldPayout([&](lan::ConnectionId id) { return ((behind >> (id % 8)) & 1) == 0; }, out)) {
                    break;
                }
                const double pot = host.LanPot();
                const bool paid = host.PayOut(game, out).has_value();
                Check(game.Money == before || (paid && host.Place(1) == 1 && game.Money == before + pot));
                break;
            }
        }
        if (op % 11 != 7 && op % 11 != 9 && op % 11 != 10) Check(game.Money == before);
        // Only connections the host holds, or has just let go, hear from it.
        const auto held = host.Connections();
        for (const lan::Outgoing& o : out.sends) {
            Check(std::find(held.begin(), held.end(), o.to) != held.end() ||
                  std::find(out.close.begin(), out.close.end(), o.to) != out.close.end());
        }
        CheckInvariants(host, game);
    }
    return 0;
}
