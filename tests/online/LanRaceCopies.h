#pragma once

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>

#include "online/LanHostScreens.h"
#include "online/LanHostSockets.h"
#include "online/LanPlayerScreens.h"
#include "online/MessageChannel.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/online/LanTestHorses.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FixedUserName.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScriptedRandom.h"

// Copies of the game in one process, each with its own game and main window,
// racing each other over loopback.
namespace testing_support {

inline constexpr double kLanStartingMoney = 10000;
inline constexpr double kLanCharge = 2500;

// One copy: its game, with every random draw 0 (no race-day luck, so the
// faster horse wins), its main window and the horse it races.
struct LanCopy {
    LanCopy(const std::string& playerName, int speed) : name(std::make_shared<FixedUserName>(playerName)) {
        rnd->RepeatWhenEmpty(0.0f);
        game.Money = kLanStartingMoney;
        game.OwnedHorse[3] = LanHorse(playerName + "'s horse", 101 + speed % 40, speed, speed);
        form.StableTree->AddNode("MAIR3", game.OwnedHorse[3].Name, 1);
        form.StableTree->ClickNode("MAIR3");
    }

    ScriptedRandom* rnd = new ScriptedRandom;
    core::Game game{std::unique_ptr<runtime::RandomSource>(rnd)};
    RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    std::shared_ptr<FixedUserName> name;
};

// "Create a Game" with the test's charge; the port players join on.
inline std::uint16_t CreateLanGame(online::LanHostScreens& hosting) {
    hosting.Text14->setText("2500");
    hosting.Command22->click();
    EXPECT_TRUE(hosting.Sockets().Listening());
    return static_cast<std::uint16_t>(hosting.Sockets().ListeningPort());
}

// A copy joins and waits in the lobby, with the watchdog that closes a
// connection in error running, as in the game.
inline online::LanPlayerScreens* JoinLanGame(LanCopy& copy, std::uint16_t port) {
    auto* screens = new online::LanPlayerScreens(copy.form, {port, copy.name});
    copy.form.Timer("Connecti").SetEnabled(true);
    screens->JoinGame("127.0.0.1");
    EXPECT_TRUE(RunUntil([&] { return screens->Session().State() == online::lan::PlayerState::InLobby; }));
    return screens;
}

// The race, tick by tick, with the players reading the frames between,
// until every runner is in and the payout is due.
inline void RunLanRace(online::LanHostScreens& hosting, const std::function<void()>& eachTick = [] {}) {
    for (int tick = 0; hosting.Host().Phase() == online::lan::HostPhase::Racing && tick < 2000; ++tick) {
        hosting.LANrace_Timer();
        eachTick();
        RunFor(1);
    }
    EXPECT_EQ(hosting.Host().Phase(), online::lan::HostPhase::Paying);
}

// Whether every player's system has acknowledged all the host sent it.
inline bool LanPlayersCaughtUp(const online::LanHostScreens& hosting) {
    for (const online::lan::ConnectionId id : hosting.Host().Connections()) {
        if (!hosting.Sockets().CaughtUp(id)) return false;
    }
    return true;
}

// Makes the socket's close a reset instead of an orderly close.
inline void ResetOnClose(int fd) {
    const linger abort{1, 0};
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
}

}  // namespace testing_support
