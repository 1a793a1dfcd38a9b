// The LAN race host driven by untrusted players: any mix of connections,
// messages (the game's own and garbage), lost connections, sweeps, races,
// payouts whose players acknowledge what they like, time passing, and the
// host leaving. The host never holds more connections than its slots and
// its waiting room, never books a slot twice, keeps the pot at the charge
// times the runners, and moves the host's money only by its charge at a
// start, and when a race is settled (also as it leaves) by its charge back
// for a void race, or by the pot it won less the charges it gave back.
#include <algorithm>
#include <chrono>
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

void CheckInvariants(const lan::LanHost& host) {
    Check(host.Connections().size() <= 4 + lan::kMaxPendingConnections);
    for (int k = 2; k <= lan::kSlots; ++k) {
        const auto id = host.PlayerSocket(k);
        if (!id) continue;
        const auto state = host.StateOf(*id);
        Check(state == lan::ConnectionState::Bound || state == lan::ConnectionState::Ready);
        for (int j = k + 1; j <= lan::kSlots; ++j) Check(host.PlayerSocket(j) != id);
    }
    if (host.RaceUnderway()) Check(host.LanPot() == host.ChargePerPlayer() * host.LanRunners());
}

// A settled race moves the host's money by its charge back (void), or by
// the pot it won less a charge for each losing player given back.
void CheckSettled(double change, double charge, const lan::HostBooking& b) {
    if (!b.counts) return Check(change == charge);
    Check(b.refunded.size() < lan::kSlots);
    Check(change == (b.won ? b.pot : 0) - static_cast<double>(b.refunded.size()) * charge);
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

    lan::SettleTime now{};
    lan::LanHost host([&] { return now; });
    // Which connections acknowledge all that was sent to them, and which
    // are still up: the input says.
    std::uint8_t acknowledging = 0xFF;
    std::uint8_t up = 0xFF;
    const lan::LinkLook look = [&](lan::ConnectionId id) {
        const bool acked = ((acknowledging >> (id % 8)) & 1) != 0;
        return lan::LinkState{acked ? host.BytesSent(id) : 0, ((up >> (id % 8)) & 1) != 0};
    };
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
                // The host leaves: a race whose results are going out is
                // settled as it stands, any other gives the charge back.
                const bool settling = host.Settlement() != nullptr;
                const bool underway = host.RaceUnderway();
                const double charge = host.ChargePerPlayer();
                const auto payout = host.LeaveGame(game, look, out);
                Check(payout.has_value() == settling);
                if (payout) CheckSettled(game.Money - before, charge, payout->booking);
                if (!payout) Check(game.Money == (underway ? before + charge : before));
                Check(host.Connections().empty());
                break;
            }
            default: {
                acknowledging = in.Byte();
                up = in.Byte();
                now += std::chrono::milliseconds(in.Byte() * 50);
                const double charge = host.ChargePerPlayer();
                const auto payout = host.PayOut(game, look, out);
                if (payout) CheckSettled(game.Money - before, charge, payout->booking);
                if (payout && payout->booking.counts) Check(payout->booking.won == (host.Place(1) == 1));
                if (!payout) Check(game.Money == before);
                break;
            }
        }
        if (op % 11 != 7 && op % 11 != 9 && op % 11 != 10) Check(game.Money == before);
        // Only connections the host holds, or has just let go, hear from it.
        const auto held = host.Connections();
        for (const lan::Outgoing& o : out.sends) {
            Check(std::find(held.begin(), held.end(), o.to) != held.end() ||
                  std::find(out.close.begin(), out.close.end(), o.to) != out.close.end() ||
                  std::find(out.reset.begin(), out.reset.end(), o.to) != out.reset.end());
        }
        CheckInvariants(host);
    }
    return 0;
}
