// Hosting a LAN race on the main window, against scripted players on
// loopback: plain sockets that write the game's messages in whatever pieces a
// test likes and read what the host answers.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <cerrno>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Money.h"
#include "net/Socket.h"
#include "online/Brambly.h"
#include "online/LanHostScreens.h"
#include "online/LanHostSockets.h"
#include "online/MessageReader.h"
#include "platform/PictureBox.h"
#include "platform/Timer.h"
#include "platform/UserName.h"
#include "shell/Form1.h"
#include "shell/TreeView.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FixedUserName.h"
#include "tests/support/RawSocket.h"
#include "tests/support/Screenshots.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/online/LanTestHorses.h"
#include "tests/support/ScriptedRandom.h"

namespace lan = online::lan;
using shell::Panel;
using testing_support::RawSocket;
using testing_support::RunFor;
using testing_support::RunUntil;
using testing_support::HorseOffer;
using testing_support::LanHorse;
using testing_support::ScriptedRandom;

namespace {

using Texts = std::vector<std::string>;

// The messages in what a player received, cut as a player's reader cuts them.
Texts Messages(const std::string& bytes) {
    online::MessageReader reader(lan::HostToPlayerGrammar());
    reader.Append(bytes);
    Texts texts;
    while (auto m = reader.Next()) texts.push_back(*m);
    while (auto m = reader.NextAfterIdle()) texts.push_back(*m);
    return texts;
}

// A copy of the game on the other end of a connection, scripted by the test.
class Player {
public:
    // `receiveBuffer`: above 0, a small one, for a player that soon stops taking data.
    explicit Player(std::uint16_t port, int receiveBuffer = 0) : socket_(RawSocket::Connect(port, receiveBuffer)) {}

    void Send(const std::string& bytes) { socket_.SendAll(bytes); }
    // Large sends in pieces, with the game's loop reading in between.
    void SendInPieces(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 16384) {
            socket_.SendAll(std::string_view(bytes).substr(at, 16384));
            RunFor(2);
        }
    }

    // Runs the game's loop until `text` is the next thing the host sent.
    ::testing::AssertionResult Expect(const std::string& text, int timeoutMs = 5000) {
        RunUntil([&] { return Pump(), inbox_.size() >= text.size(); }, timeoutMs);
        if (inbox_.compare(0, text.size(), text) != 0) {
            return ::testing::AssertionFailure() << "expected \"" << text << "\", the host sent \"" << inbox_ << "\"";
        }
        inbox_.erase(0, text.size());
        return ::testing::AssertionSuccess();
    }
    // Runs the loop until the host has been quiet for a while (TCP may hold
    // small sends back for a few tens of milliseconds) and returns what came.
    std::string Drain() {
        for (int round = 0; round < 100; ++round) {
            const std::size_t before = inbox_.size();
            RunFor(60);
            Pump();
            if (inbox_.size() == before) break;
        }
        return std::exchange(inbox_, std::string());
    }
    // Runs the loop until the host closes this connection (or cuts it off).
    bool ClosedByHost(int timeoutMs = 5000) {
        return RunUntil([&] { return Pump(), closed_; }, timeoutMs);
    }
    void Reset() { socket_.Reset(); }

    // A whole join: invitation, "YES>", "HORSE?", "HORSE>", "ACCEPTED!".
    ::testing::AssertionResult Join(const std::string& name, const core::HorseRec& horse, const char* charge = "2500") {
        if (auto r = Expect(std::string("PARTICIPANT?") + charge); !r) return r;
        Send("YES>" + name);
        if (auto r = Expect("HORSE?"); !r) return r;
        Send(HorseOffer(horse));
        return Expect("ACCEPTED!");
    }

private:
    void Pump() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(socket_.Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                inbox_.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            // An orderly close, or a reset.
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) closed_ = true;
            break;
        }
    }

    RawSocket socket_;
    std::string inbox_;
    bool closed_ = false;
};

class LanHostScreensTest : public ::testing::Test {
protected:
    LanHostScreensTest() : rnd(new ScriptedRandom), game(std::unique_ptr<runtime::RandomSource>(rnd)) {
        // No race-day bonus and no random part in a step: a horse of speed
        // and stamina 100 moves exactly 50.5 twips a tick.
        rnd->RepeatWhenEmpty(0.0f);
        game.Money = 10000;
        game.OwnedHorse[3] = LanHorse("Happy Beauty", 120);
        form.StableTree->AddNode("STUD3", game.OwnedHorse[3].Name, 20);
        form.StableTree->ClickNode("STUD3");
        form.BringToFront(Panel::Picture2);
        // The race and its payout go by the test's clock.
        screens->SetClock([this] { return now; });
    }

    // "Create a Game" on a port the system chooses.
    std::uint16_t Create(const char* charge = "2500") {
        screens->Text14->setText(QString::fromLatin1(charge));
        screens->Command22->click();
        EXPECT_EQ(form.FrontPanel(), Panel::Picture6);
        EXPECT_TRUE(screens->Sockets().Listening());
        return static_cast<std::uint16_t>(screens->Sockets().ListeningPort());
    }

    // "START RACE!", with the race timer left to the test.
    void StartRace() {
        screens->Command23->click();
        ASSERT_EQ(form.FrontPanel(), Panel::LANtracks);
        ASSERT_TRUE(form.Timer("LANrace").Enabled());
        form.Timer("LANrace").SetEnabled(false);
    }

    // Ticks the race until it asks for the payout, then pays out: the
    // payout goes on by itself until the players' systems have acknowledged
    // the race and its results.
    int RunRaceAndPay() {
        int ticks = 0;
        while (host().Phase() == lan::HostPhase::Racing && ticks < 100000) {
            screens->LANrace_Timer();
            ++ticks;
        }
        EXPECT_TRUE(form.Timer("PayEm").Enabled());
        screens->PayEm_Timer();
        EXPECT_FALSE(form.Timer("PayEm").Enabled());
        EXPECT_TRUE(RunUntil([&] { return host().Phase() != lan::HostPhase::Paying; })) << "paid";
        EXPECT_FALSE(screens->PayCheck().Enabled());
        return ticks;
    }

    const lan::LanHost& host() const { return screens->Host(); }

    void Picture(const char* name) {
        form.PaintBackgrounds();
        form.show();
        testing_support::SaveScreenshot(form, std::string("lanhost-") + name);
    }

    ScriptedRandom* rnd;
    core::Game game;
    lan::SettleTime now = lan::SettleTime{} + std::chrono::hours(1);
    testing_support::RecordingDialogs dialogs;
    testing_support::FixedUserName userName{"hoster"};
    shell::Form1 form{game, dialogs};
    online::LanHostScreens* screens = new online::LanHostScreens(form, 0, &userName);
};

// ---- A whole game ---------------------------------------------------------------

TEST_F(LanHostScreensTest, AWholeGameWithTwoScriptedPlayers) {
    EXPECT_EQ(screens->Text14->text(), "2500");
    EXPECT_EQ(screens->Text15->text(), "Charge per Player: ");
    EXPECT_EQ(screens->Command22->text(), "Create a Game");
    Picture("picture2");

    const std::uint16_t port = Create();
    EXPECT_EQ(screens->Label38->text(), "");
    EXPECT_TRUE(form.Timer("Timer2").Enabled());
    // Every address of the machine, so players on other machines reach it.
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    const int listener = screens->Sockets().Element(0).SocketHandle();
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length), 0);
    EXPECT_EQ(bound.sin_addr.s_addr, htonl(INADDR_ANY));
    EXPECT_EQ(game.Money, 10000);

    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101)));
    ASSERT_TRUE(bob.Expect("REFRESH!"));
    Player ann(port);
    ASSERT_TRUE(ann.Join("ann", LanHorse("Anns Rocket", 102, 300, 300)));
    ASSERT_TRUE(ann.Expect("REFRESH!"));
    ASSERT_TRUE(bob.Expect("REFRESH!"));
    EXPECT_EQ(screens->PlayerSocket(2), screens->Sockets().ElementOf(*host().PlayerSocket(2)));
    EXPECT_GE(screens->PlayerSocket(2), 1);

    // Bob's roster refresh: each answer brings the next question.
    const std::pair<std::string, std::string> chain[] = {
        {"PLAYER?1", "PLAYER>hoster1"},
        {"PLAYER?2", "PLAYER>bob2"},
        {"PLAYER?3", "PLAYER>ann3"},
        {"PLAYER?4", "UNEXISTENT>4"},
        {"PLAYER?5", "UNEXISTENT>5"},
        {"HORSE?1", "HORSE>" + online::EncodeHorseCode(game.OwnedHorse[3]) + "1"},
        {"HORSE?2", "HORSE>" + online::EncodeHorseCode(host().LANHorse(2)) + "2"},
        {"HORSE?3", "HORSE>" + online::EncodeHorseCode(host().LANHorse(3)) + "3"},
        {"HORSE?4", "DEAD>4"},
        {"HORSE?5", "DEAD>5"},
    };
    for (const auto& [query, answer] : chain) {
        bob.Send(query);
        ASSERT_TRUE(bob.Expect(answer)) << query;
    }

    // The lobby shows both players; a click shows a card.
    EXPECT_EQ(screens->Lobby[1]->Tag, "ALIVE");
    EXPECT_FALSE(screens->Lobby[1]->Picture().isNull());
    emit screens->Lobby[2]->Click();
    EXPECT_EQ(screens->Text10->toPlainText(),
              "Player: ann\n\nName: Anns Rocket\nSex: FEMALE\nSpeed Rating: 300%\nStamina Rating: 300%\n"
              "Confidence Rating: 40%\nMoJo Score: 0\nMother: Old Nell\nFather: ???\n");
    Picture("lobby");

    StartRace();
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(screens->LanWinCap->text(), "The Race Is On...");
    EXPECT_EQ(screens->LANtit[2]->text(), "Anns Rocket (ann)");
    EXPECT_FALSE(screens->LANpic[3]->isVisibleTo(&form.PanelBox(Panel::LANtracks)));
    EXPECT_FALSE(screens->Sockets().Listening()) << "no more players join a running game";
    ASSERT_TRUE(bob.Expect("START!7500"));
    ASSERT_TRUE(ann.Expect("START!7500"));

    for (int i = 0; i < 60; ++i) screens->LANrace_Timer();
    Picture("race");
    const int ticks = 60 + RunRaceAndPay();
    EXPECT_EQ(host().Place(1), 3);
    EXPECT_EQ(screens->LanWinCap->text(), QString::fromUtf8("YOU HAVE LOST \u00A32,500"));
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(game.LANlost, 1);
    EXPECT_EQ(game.LANwon, 0);
    EXPECT_EQ(game.LANwager, 7500);
    EXPECT_EQ(host().LanPot(), 0);

    // A frame at every tick that still had runners out, then the results.
    const Texts bobs = Messages(bob.Drain());
    const Texts anns = Messages(ann.Drain());
    ASSERT_EQ(bobs.size(), static_cast<std::size_t>(ticks - 1 + 1));
    EXPECT_EQ(bobs.front().substr(0, 18), "H1410.5:H2410.5:H3");
    EXPECT_EQ(bobs.back(), "WIN:NO");
    EXPECT_EQ(anns.back(), "WIN:7500");
    EXPECT_EQ(Texts(bobs.begin(), bobs.end() - 1), Texts(anns.begin(), anns.end() - 1));
    Picture("race-over");
}

TEST_F(LanHostScreensTest, FramesFollowThePacketFrequency) {
    // Nobody finishes within the 62 ticks counted (62 x 50.5 twips).
    const std::uint16_t port = Create("10");
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101), "10"));
    ASSERT_TRUE(bob.Expect("REFRESH!"));
    for (const int v : {30, 29, 0}) {
        StartRace();
        screens->PackF->setValue(v);
        for (int tick = 0; tick < 62; ++tick) screens->LANrace_Timer();
        Texts frames = Messages(bob.Drain());
        ASSERT_FALSE(frames.empty());
        EXPECT_TRUE(frames.front().starts_with("START!")) << frames.front();
        frames.erase(frames.begin());
        EXPECT_EQ(frames.size(), static_cast<std::size_t>(62 / (31 - v))) << "v = " << v;
        for (const std::string& f : frames) EXPECT_TRUE(f.starts_with("H1")) << f;
        // The next race needs this one paid out: finish it quickly.
        RunRaceAndPay();
        bob.Drain();
    }
}

TEST_F(LanHostScreensTest, TheHostAloneWinsItsOwnCharge) {
    Create();
    StartRace();
    EXPECT_EQ(game.Money, 7500);
    EXPECT_EQ(RunRaceAndPay(), 184);
    EXPECT_EQ(screens->LanWinCap->text(), QString::fromUtf8("YOU HAVE WON \u00A32,500"));
    EXPECT_EQ(game.Money, 10000);
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_FALSE(form.Timer("PayEm").Enabled());
}

TEST_F(LanHostScreensTest, AFifthPlayerIsToldTheGameIsFull) {
    const std::uint16_t port = Create();
    std::vector<std::unique_ptr<Player>> players;
    for (const char* name : {"bob", "ann", "cid", "dot"}) {
        players.push_back(std::make_unique<Player>(port));
        ASSERT_TRUE(players.back()->Join(name, LanHorse(name, 110)));
    }
    Player eve(port);
    ASSERT_TRUE(eve.Expect("PARTICIPANT?2500"));
    eve.Send("YES>eve");
    ASSERT_TRUE(eve.Expect("FULL!"));
    EXPECT_EQ(host().FindFreeLAN(), 0);
}

// ---- Creating a game ------------------------------------------------------------

TEST_F(LanHostScreensTest, HostingNeedsTheChargeInHand) {
    game.Money = 2499;
    screens->Command22->click();
    EXPECT_EQ(form.Notice->text(), "Not enough money to host game!");
    EXPECT_EQ(form.FrontPanel(), Panel::Picture2);
    EXPECT_FALSE(screens->Sockets().Listening());
    EXPECT_EQ(host().Phase(), lan::HostPhase::NoGame);
    game.Money = 2500;
    screens->Command22->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Picture6);
    EXPECT_EQ(game.Money, 2500);
}

TEST_F(LanHostScreensTest, HostingNeedsASelectedStableHorse) {
    form.StableTree->ClearSelection();
    screens->Command22->click();
    EXPECT_EQ(form.Notice->text(), QString::fromLatin1(lan::kSelectHorseToHost));
    EXPECT_EQ(form.FrontPanel(), Panel::Picture2);
    EXPECT_FALSE(screens->Sockets().Listening());
}

TEST_F(LanHostScreensTest, ATakenPortCannotBeHostedOn) {
    RawSocket taken = RawSocket::Listen();
    online::LanHostScreens other(form, taken.Port(), &userName);
    form.Timer("Timer2").SetEnabled(true);
    other.Command22->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Picture6);
    EXPECT_EQ(other.Label38->text(), "Could not create game!");
    EXPECT_FALSE(form.Timer("Timer2").Enabled());
    EXPECT_FALSE(other.Sockets().Listening());
}

TEST_F(LanHostScreensTest, TheGameListensOnItsOwnPortForEveryAddress) {
    if (!testing_support::PortIsFree(lan::kLanPort)) {
        GTEST_SKIP() << "port " << lan::kLanPort << " is in use on this machine";
    }

    online::LanHostScreens product(form, lan::kLanPort, &userName);
    product.Command22->click();
    if (!product.Sockets().Listening()) {
        GTEST_SKIP() << "port " << lan::kLanPort << " was taken by another program while this test ran";
    }
    EXPECT_EQ(product.Sockets().ListeningPort(), lan::kLanPort);
    Player bob(lan::kLanPort);
    EXPECT_TRUE(bob.Expect("PARTICIPANT?2500"));
}

TEST_F(LanHostScreensTest, TheChargeBoxSettlesWhenEditingEnds) {
    QLineEdit& box = *screens->Text14;
    box.setText("25");
    box.insert("x");
    EXPECT_EQ(box.text(), "25x") << "typing keeps what the player types";
    emit box.editingFinished();
    EXPECT_EQ(box.text(), "2000");
    box.setText("1500.5");
    emit box.editingFinished();
    EXPECT_EQ(box.text(), "1500.5");
    // A negative charge would pay players to join: this press creates nothing.
    box.setText("-100");
    screens->Command22->click();
    EXPECT_EQ(box.text(), "2000");
    EXPECT_EQ(host().Phase(), lan::HostPhase::NoGame);
    EXPECT_EQ(form.FrontPanel(), Panel::Picture2);
    const std::uint16_t port = Create("1500.5");
    EXPECT_EQ(host().ChargePerPlayer(), 1500.5);
    Player bob(port);
    EXPECT_TRUE(bob.Expect("PARTICIPANT?1500.5"));
}

TEST_F(LanHostScreensTest, CreatingAgainClosesThePlayersOfTheOldGame) {
    std::uint16_t port = Create();
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101)));
    ASSERT_TRUE(bob.Expect("REFRESH!"));
    port = Create("100");
    EXPECT_TRUE(bob.ClosedByHost());
    EXPECT_FALSE(host().HorseReady(2));
    EXPECT_TRUE(screens->Lobby[1]->Picture().toImage() == screens->Lobby[4]->Picture().toImage());
    Player ann(port);
    EXPECT_TRUE(ann.Join("ann", LanHorse("Anns Gold", 102), "100"));
    EXPECT_EQ(host().PlayerName(2), "ann");
}

// ---- What TCP does to the messages ------------------------------------------------

TEST_F(LanHostScreensTest, SplitAndJoinedWritesAreReadAsTheirMessages) {
    const std::uint16_t port = Create();
    Player bob(port);
    ASSERT_TRUE(bob.Expect("PARTICIPANT?2500"));
    const std::string offer = HorseOffer(LanHorse("Bobs Pride", 101));
    // The name in two writes, the horse code in two more.
    bob.Send("YES>b");
    RunFor(20);
    bob.Send("ob");
    RunFor(20);
    bob.Send(offer.substr(0, 20));
    RunFor(20);
    bob.Send(offer.substr(20));
    ASSERT_TRUE(bob.Expect("HORSE?"));
    ASSERT_TRUE(bob.Expect("ACCEPTED!"));
    ASSERT_TRUE(bob.Expect("REFRESH!"));
    EXPECT_EQ(host().PlayerName(2), "bob");
    EXPECT_EQ(host().LANHorse(2).Name, "Bobs Pride");
    // Two queries in one write, then one in pieces.
    bob.Send("PLAYER?2HORSE?3");
    ASSERT_TRUE(bob.Expect("PLAYER>bob2"));
    ASSERT_TRUE(bob.Expect("DEAD>3"));
    bob.Send("PLAY");
    RunFor(20);
    bob.Send("ER?1");
    ASSERT_TRUE(bob.Expect("PLAYER>hoster1"));

    // A whole join in one write.
    Player ann(port);
    ASSERT_TRUE(ann.Expect("PARTICIPANT?2500"));
    ann.Send("YES>ann" + HorseOffer(LanHorse("Anns Gold", 102)) + "PLAYER?3");
    ASSERT_TRUE(ann.Expect("HORSE?"));
    ASSERT_TRUE(ann.Expect("ACCEPTED!"));
    ASSERT_TRUE(ann.Expect("REFRESH!"));
    ASSERT_TRUE(ann.Expect("PLAYER>ann3"));
}

// ---- Hostile players --------------------------------------------------------------

TEST_F(LanHostScreensTest, RandomBytesAndHugeMessagesLeaveTheLobbyWorking) {
    const std::uint16_t port = Create();
    Player mal(port);
    ASSERT_TRUE(mal.Expect("PARTICIPANT?2500"));
    std::mt19937 bytes(1234);
    std::string noise(200000, '\0');
    for (char& c : noise) c = static_cast<char>(bytes());
    mal.SendInPieces(noise);
    mal.SendInPieces("YES>" + std::string(300000, 'n'));
    mal.SendInPieces("HORSE>" + std::string(100000, 'x'));
    RunFor(400);
    // An honest player joins meanwhile.
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101)));
    // The hostile stream found its feet again: its queries are answered.
    mal.Drain();
    mal.Send("PLAYER?2");
    ASSERT_TRUE(mal.Expect("PLAYER>bob2"));
    EXPECT_EQ(game.Money, 10000);
    EXPECT_TRUE(host().HorseReady(2));
    EXPECT_FALSE(host().HorseReady(3));
}

TEST_F(LanHostScreensTest, MessagesOutOfTurnAreIgnored) {
    const std::uint16_t port = Create();
    Player mal(port);
    ASSERT_TRUE(mal.Expect("PARTICIPANT?2500"));
    // Each refused message is followed by a query: its answer comes next,
    // so nothing was answered in between.
    const auto nothingThen = [&](const std::string& message) {
        mal.Send(message);
        mal.Send("PLAYER?1");
        return mal.Expect("PLAYER>hoster1");
    };
    EXPECT_TRUE(nothingThen(HorseOffer(LanHorse("Early", 101))));
    mal.Send("YES>mal");
    ASSERT_TRUE(mal.Expect("HORSE?"));
    EXPECT_TRUE(nothingThen("YES>mal again"));
    mal.Send(HorseOffer(LanHorse("Mals Horse", 101)));
    ASSERT_TRUE(mal.Expect("ACCEPTED!"));
    ASSERT_TRUE(mal.Expect("REFRESH!"));
    EXPECT_TRUE(nothingThen(HorseOffer(LanHorse("Swapped", 145, 9000, 9000))));
    EXPECT_TRUE(nothingThen("HORSE?9"));
    EXPECT_EQ(host().LANHorse(2).Name, "Mals Horse");
    EXPECT_EQ(host().PlayerSocket(3), std::nullopt);
}

TEST_F(LanHostScreensTest, ABadHorseIsNotAnsweredAndItsConnectionCloses) {
    const std::uint16_t port = Create();
    Player mal(port);
    ASSERT_TRUE(mal.Expect("PARTICIPANT?2500"));
    mal.Send("YES>mal");
    ASSERT_TRUE(mal.Expect("HORSE?"));
    core::HorseRec bad = LanHorse("Ghost", 150);
    mal.Send(HorseOffer(bad));
    EXPECT_TRUE(mal.ClosedByHost());
    EXPECT_EQ(mal.Drain(), "");
    EXPECT_FALSE(host().HorseReady(2));
    EXPECT_EQ(host().FindFreeLAN(), 2);
    EXPECT_EQ(screens->Lobby[1]->Tag, "");
}

TEST_F(LanHostScreensTest, MischiefMidRaceChangesNeitherTheRaceNorTheMoney) {
    const std::uint16_t port = Create("1000");
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101), "1000"));
    Player mal(port);
    ASSERT_TRUE(mal.Join("mal", LanHorse("Mals Rocket", 102, 300, 300), "1000"));
    StartRace();
    ASSERT_EQ(host().LanPot(), 3000);
    for (int i = 0; i < 5; ++i) screens->LANrace_Timer();

    // Pressing either button again is refused; the race and its pot stay.
    screens->Command23->click();
    EXPECT_EQ(form.Notice->text(), QString::fromLatin1(lan::kRaceStillRunning));
    screens->Command22->click();
    EXPECT_EQ(form.FrontPanel(), Panel::LANtracks);
    EXPECT_EQ(game.Money, 9000);
    EXPECT_EQ(host().LanPot(), 3000);
    EXPECT_EQ(host().Phase(), lan::HostPhase::Racing);

    // A new horse, a second acceptance, then the player is gone.
    mal.Drain();
    mal.Send(HorseOffer(LanHorse("Swapped", 145, 9000, 9000)));
    mal.Send("YES>mal");
    mal.Send("PLAYER?3");
    ASSERT_TRUE(mal.Expect("PLAYER>mal3"));
    EXPECT_EQ(host().LANHorse(3).Name, "Mals Rocket");
    const lan::ConnectionId malsConnection = *host().PlayerSocket(3);
    mal.Reset();
    ASSERT_TRUE(RunUntil([&] { return screens->Sockets().State(malsConnection) != 7; }));
    screens->Timer2_Timer();
    EXPECT_FALSE(host().HorseReady(3));
    EXPECT_EQ(screens->Lobby[2]->Tag, "DEAD");
    EXPECT_FALSE(host().Runs(3)) << "a runner that can no longer be paid leaves the race";
    EXPECT_EQ(host().LanPot(), 2000);

    bob.Drain();
    RunRaceAndPay();
    EXPECT_EQ(host().Place(1), 1);
    const Texts bobs = Messages(bob.Drain());
    ASSERT_FALSE(bobs.empty());
    EXPECT_EQ(bobs.back(), "WIN:NO");
    EXPECT_EQ(game.Money, 9000 + 2000);
    EXPECT_EQ(game.LANwon, 1);
    EXPECT_EQ(host().LanPot(), 0);
}

TEST_F(LanHostScreensTest, ADropOutMidRaceTakesItsChargeAndHorseOut) {
    game.OwnedHorse[3] = LanHorse("Happy Beauty", 120, 150, 150);
    const std::uint16_t port = Create("1000");
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101), "1000"));
    Player poor(port);
    ASSERT_TRUE(poor.Join("poor", LanHorse("Poor Rocket", 102, 300, 300), "1000"));
    StartRace();
    ASSERT_TRUE(poor.Expect("REFRESH!START!3000"));
    poor.Send("DROPOUT!");
    EXPECT_TRUE(poor.ClosedByHost());
    EXPECT_EQ(host().LanPot(), 2000);
    EXPECT_EQ(host().LanRunners(), 2);
    EXPECT_TRUE(screens->LANpic[2]->isHidden());
    EXPECT_EQ(screens->LANtit[2]->text(), "");
    RunRaceAndPay();
    EXPECT_EQ(host().Place(1), 1);
    EXPECT_EQ(game.Money, 9000 + 2000);
    EXPECT_EQ(screens->LanWinCap->text(), QString::fromUtf8("YOU HAVE WON \u00A32,000"));
}

// A player that has not had the whole race (cut off, or no longer reading)
// is not paid on it: after the payout's waits it leaves the race.
TEST_F(LanHostScreensTest, APlayerWhoHasNotHadTheRaceLeavesItBeforeThePayout) {
    const std::uint16_t port = Create("1000");
    Player stuck(port, 2048);
    ASSERT_TRUE(stuck.Join("stuck", LanHorse("Stuck Rocket", 102, 300, 300), "1000"));
    ASSERT_TRUE(stuck.Expect("REFRESH!"));
    StartRace();
    // It reads nothing more: the frames fill its window and stay unacknowledged.
    while (host().Phase() == lan::HostPhase::Racing) screens->LANrace_Timer();
    RunFor(100);
    ASSERT_FALSE(screens->Sockets().CaughtUp(*host().PlayerSocket(2)));
    ASSERT_EQ(host().Place(1), 2);
    screens->PayEm_Timer();
    EXPECT_FALSE(form.Timer("PayEm").Enabled());
    EXPECT_TRUE(screens->PayCheck().Enabled()) << "waits for the frames";
    now += lan::kFramesWait - lan::kPayoutPoll;
    screens->PayCheck_Timer();
    EXPECT_TRUE(host().Runs(2));
    now += lan::kPayoutPoll;
    screens->PayCheck_Timer();
    EXPECT_FALSE(screens->PayCheck().Enabled());
    EXPECT_FALSE(host().Runs(2));
    EXPECT_EQ(host().Place(1), 1);
    EXPECT_EQ(game.Money, 10000) << "the host, left alone, wins its own charge back";
    EXPECT_EQ(screens->Lobby[1]->Tag, "DEAD");
    EXPECT_TRUE(stuck.ClosedByHost());
}

// A connection that fails (reset, or cut off past the unacknowledged
// timeout) is heard of at once, not at the next sweep: its runner is out
// before the payout, which cannot take it for a player that has had the race.
TEST_F(LanHostScreensTest, ARunnerWhoseConnectionFailsIsOutBeforeThePayout) {
    const std::uint16_t port = Create("1000");
    Player ann(port);
    ASSERT_TRUE(ann.Join("ann", LanHorse("Anns Rocket", 102, 300, 300), "1000"));
    form.Timer("Timer2").SetEnabled(false);
    StartRace();
    while (host().Phase() == lan::HostPhase::Racing) screens->LANrace_Timer();
    ASSERT_EQ(host().Place(1), 2);
    ann.Reset();
    ASSERT_TRUE(RunUntil([&] { return !host().Runs(2); }));
    screens->PayEm_Timer();
    EXPECT_FALSE(form.Timer("PayEm").Enabled());
    EXPECT_EQ(host().Place(1), 1);
    EXPECT_EQ(game.Money, 10000) << "the host, left alone, wins its own charge back";
    EXPECT_EQ(game.LANwon, 1);
}

// A new game mid-race: the race stops without a payout into the new game,
// the players are let go and nothing listens any more.
TEST_F(LanHostScreensTest, ANewGameEndsTheLanGameWithoutAPayout) {
    const std::uint16_t port = Create("1000");
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101), "1000"));
    StartRace();
    screens->LANrace_Timer();
    game.Money = 5000;  // what a fresh game starts with
    emit form.GameReset();
    EXPECT_TRUE(bob.ClosedByHost());
    EXPECT_FALSE(form.Timer("LANrace").Enabled());
    EXPECT_FALSE(form.Timer("PayEm").Enabled());
    EXPECT_FALSE(screens->Sockets().Listening());
    EXPECT_EQ(host().Phase(), lan::HostPhase::NoGame);
    screens->LANrace_Timer();
    screens->PayEm_Timer();
    EXPECT_EQ(game.Money, 5000);
    EXPECT_EQ(game.LANwon + game.LANlost, 0);
    // The new game hosts afresh.
    Create("1000");
}

TEST_F(LanHostScreensTest, APlayerThatStopsReadingIsDropped) {
    const std::uint16_t port = Create();
    // A player with the smallest receive window that never reads a byte.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int window = 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    const sockaddr_in host_address = testing_support::Loopback(port);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&host_address), sizeof host_address), 0);
    RawSocket deaf(fd);
    ASSERT_TRUE(RunUntil([&] { return host().Connections().size() == 1; }));
    const lan::ConnectionId id = host().Connections().front();
    std::string queries;
    for (int i = 0; i < 2048; ++i) queries += "PLAYER?1";
    for (int round = 0; round < 400 && host().StateOf(id); ++round) {
        try {
            deaf.SendAll(queries);
        } catch (const std::runtime_error&) {
            break;  // the host has closed it
        }
        RunFor(2);
    }
    ASSERT_TRUE(RunUntil([&] { return !host().StateOf(id); }));
    Player bob(port);
    EXPECT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101)));
}

TEST_F(LanHostScreensTest, AFloodOfConnectionsCannotFillTheHost) {
    const std::uint16_t port = Create();
    Player bob(port);
    ASSERT_TRUE(bob.Join("bob", LanHorse("Bobs Pride", 101)));
    std::vector<std::unique_ptr<Player>> flood;
    for (int i = 0; i < 40; ++i) {
        flood.push_back(std::make_unique<Player>(port));
        ASSERT_TRUE(flood.back()->Expect("PARTICIPANT?2500")) << i;
    }
    EXPECT_LE(screens->Sockets().Count(), static_cast<int>(1 + 1 + lan::kMaxPendingConnections + 1));
    EXPECT_EQ(host().Connections().size(), 1 + lan::kMaxPendingConnections);
    for (std::size_t i = 0; i + lan::kMaxPendingConnections < flood.size(); ++i) {
        EXPECT_TRUE(flood[i]->ClosedByHost(1000)) << i;
    }
    // Players still get in, and the one already in was never disturbed.
    Player ann(port);
    ASSERT_TRUE(ann.Join("ann", LanHorse("Anns Gold", 102)));
    EXPECT_TRUE(host().HorseReady(2));
    EXPECT_TRUE(host().HorseReady(3));
}

}  // namespace
