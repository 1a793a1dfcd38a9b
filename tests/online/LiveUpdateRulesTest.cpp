// The live update's rules without sockets: reading the server's version,
// the answers, the status line, the server address and the checks' state.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <string>
#include <vector>

#include "online/LiveUpdateRules.h"

namespace {

using namespace online::liveupdate;
using Kind = VersionDecision::Kind;

TEST(LiveUpdateRules, OnlyExactlyAWholeNumberIsAVersion) {
    const struct {
        const char* message;
        std::optional<std::int32_t> version;
    } cases[] = {
        {"VERSION:29", 29},
        {"VERSION:30", 30},
        {"VERSION:0", 0},
        {"VERSION:-3", -3},
        {"VERSION:007", 7},
        {"VERSION:2147483647", 2147483647},
        {"VERSION:2147483648", std::nullopt},
        {"VERSION:99999999999", std::nullopt},
        {"VERSION:30abc", std::nullopt},
        {"VERSION:", std::nullopt},
        {"VERSION:-", std::nullopt},
        {"VERSION: 30", std::nullopt},
        {"VERSION:30 ", std::nullopt},
        {"VERSION:+30", std::nullopt},
        {"VERSION:3.0", std::nullopt},
        {"VERSION:3,0", std::nullopt},
        {"version:30", std::nullopt},
        {"VERSION30", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseVersion(c.message), c.version) << c.message;
}

std::vector<std::string> Cut(std::initializer_list<const char*> arrivals) {
    online::MessageReader reader(ServerToGameGrammar());
    std::vector<std::string> messages;
    for (const char* bytes : arrivals) {
        reader.Append(bytes);
        while (auto m = reader.Next()) messages.push_back(*m);
    }
    while (auto m = reader.NextAfterIdle()) messages.push_back(*m);
    return messages;
}

TEST(LiveUpdateRules, AVersionSplitAcrossReadsIsReadWhole) {
    using M = std::vector<std::string>;
    EXPECT_EQ(Cut({"VERSION:3", "0"}), M{"VERSION:30"}) << "not 3";
    EXPECT_EQ(Cut({"VERSION:30abc"}), M{"VERSION:30abc"}) << "kept whole, so it is refused";
    EXPECT_EQ(Cut({"VERSION:29VERSION:30"}), (M{"VERSION:29", "VERSION:30"}));
    EXPECT_EQ(Cut({"version:30", "VERSION30"}), M{}) << "other messages are ignored";
    EXPECT_EQ(Cut({"VERS", "ION:", "31"}), M{"VERSION:31"});
}

TEST(LiveUpdateRules, AnswersCarryTheUserAndTheProgramsVersion) {
    EXPECT_EQ(FormatAnswer(Answer::Reject, "bob", 29), "REJECTbob:29");
    EXPECT_EQ(FormatAnswer(Answer::Accept, "bob", 29), "ACCEPTbob:29");
    EXPECT_EQ(FormatAnswer(Answer::Accept, "", 29), "ACCEPT:29");
}

TEST(LiveUpdateRules, TheServerAnnouncesItsVersionAndReadsTheAnswers) {
    EXPECT_EQ(FormatVersion(30), "VERSION:30");
    EXPECT_EQ(ParseVersion(FormatVersion(2147483647)), 2147483647);

    const struct {
        std::string message;
        std::optional<VersionAnswer> answer;
    } cases[] = {
        {FormatAnswer(Answer::Reject, "jenny", 29), VersionAnswer{Answer::Reject, "jenny", 29}},
        {FormatAnswer(Answer::Accept, "jenny", 29), VersionAnswer{Answer::Accept, "jenny", 29}},
        {"ACCEPT:29", VersionAnswer{Answer::Accept, "", 29}},
        {"REJECTa:b:29", VersionAnswer{Answer::Reject, "a:b", 29}},
        {"REJECTbob:x", VersionAnswer{Answer::Reject, "bob", std::nullopt}},
        {"REJECTbob", std::nullopt},
        {"reject bob:29", std::nullopt},
        {"VERSION:29", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(RecogniseAnswer(c.message), c.answer) << c.message;

    online::MessageReader reader(GameToServerGrammar());
    reader.Append("REJECTann:29ACC");
    reader.Append("EPTbob:29junk");
    std::vector<std::string> messages;
    while (auto m = reader.Next()) messages.push_back(*m);
    while (auto m = reader.NextAfterIdle()) messages.push_back(*m);
    EXPECT_EQ(messages, (std::vector<std::string>{"REJECTann:29", "ACCEPTbob:29junk"}));
}

TEST(LiveUpdateRules, RateShowsKilobytesRoundedHalfToEven) {
    const struct {
        std::int32_t bytes;
        const char* caption;
    } cases[] = {
        {1500, "Trotwick Zircona - (2KB/sec)"}, {2500, "Trotwick Zircona - (2KB/sec)"},
        {3500, "Trotwick Zircona - (4KB/sec)"}, {500, "Trotwick Zircona - (0KB/sec)"},
        {0, "Trotwick Zircona - (0KB/sec)"},    {2147483647, "Trotwick Zircona - (2147484KB/sec)"},
    };
    for (const auto& c : cases) EXPECT_EQ(RateCaption(c.bytes), c.caption) << c.bytes;
}

TEST(LiveUpdateRules, ServerAddressesAreHostNamesOrDottedAddresses) {
    for (const char* good : {"localhost", "trotwick.example.org", "192.168.0.2", "my-server", "a_b.local", "x"}) {
        EXPECT_TRUE(IsServerAddress(good)) << good;
    }
    const std::string longLabel(64, 'a');
    const std::string tooLong = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') +
                                "." + std::string(63, 'd');
    for (const std::string& bad : {std::string(""), std::string(" localhost"), std::string("local host"),
                                  std::string("localhost\t"), std::string("host\nname"), std::string("a..b"),
                                  std::string(".host"), std::string("host."), std::string("-host"),
                                  std::string("host-"), std::string("localhost/trotwick"),
                                  std::string("host:7812"), std::string("h\xE9te"), longLabel, tooLong}) {
        EXPECT_FALSE(IsServerAddress(bad)) << bad;
    }
}

TEST(LiveUpdateRules, WatchdogReconnectsOnlyWhatIsDownAndOnlyWithAServer) {
    EXPECT_TRUE(NeedsReconnect(0, "localhost"));
    EXPECT_TRUE(NeedsReconnect(8, "localhost")) << "the server closed";
    EXPECT_TRUE(NeedsReconnect(9, "localhost"));
    EXPECT_FALSE(NeedsReconnect(7, "localhost"));
    EXPECT_FALSE(NeedsReconnect(0, ""));
}

TEST(LiveUpdateRules, ManualChecksTellTheirOutcomeOnce) {
    UpdateCheck check(29);
    VersionDecision d = check.OnMessage("VERSION:29");
    EXPECT_EQ(d.kind, Kind::UpToDate);
    EXPECT_EQ(d.answer, Answer::Reject);
    EXPECT_EQ(d.notice, nullptr) << "nobody asked";
    check.ManualCheckRequested();
    d = check.OnMessage("VERSION:12");
    EXPECT_STREQ(d.notice, kUpToDate);
    EXPECT_FALSE(check.ManualCheckPending());
    EXPECT_EQ(check.ServerVersion(), 12);
    check.ManualCheckRequested();
    EXPECT_TRUE(check.ManualCheckExpired());
    EXPECT_FALSE(check.ManualCheckExpired()) << "told once";
    EXPECT_EQ(check.OnMessage("LEADER:xyz").kind, Kind::Ignored);
}

TEST(LiveUpdateRules, EachNewerVersionIsFetchedOnce) {
    UpdateCheck check(29);
    check.ManualCheckRequested();
    VersionDecision d = check.OnMessage("VERSION:30");
    EXPECT_EQ(d.kind, Kind::Newer);
    EXPECT_EQ(d.answer, Answer::Accept);
    EXPECT_STREQ(d.notice, kDownloading);
    ASSERT_TRUE(d.download);
    check.DownloadStarted(30);
    d = check.OnMessage("VERSION:30");
    EXPECT_EQ(d.answer, Answer::Accept) << "every version is answered";
    EXPECT_FALSE(d.download) << "one download at a time";
    check.DownloadFinished();
    EXPECT_TRUE(check.PatchWaiting());
    d = check.OnMessage("VERSION:30");
    EXPECT_FALSE(d.download) << "it is here already";
    EXPECT_FALSE(d.patchWaiting) << "nobody asked";
    check.ManualCheckRequested();
    d = check.OnMessage("VERSION:30");
    EXPECT_TRUE(d.patchWaiting) << "the player is told where it waits";
    EXPECT_EQ(d.notice, nullptr);
    EXPECT_FALSE(d.download);
    EXPECT_TRUE(check.OnMessage("VERSION:31").download) << "a newer one still comes";

    // A patch that went is fetched again.
    UpdateCheck gone(29);
    ASSERT_TRUE(gone.OnMessage("VERSION:30").download);
    gone.DownloadStarted(30);
    gone.DownloadFinished();
    gone.PatchGone();
    EXPECT_FALSE(gone.PatchWaiting());
    EXPECT_TRUE(gone.OnMessage("VERSION:30").download);

    // One refused, before its fetch or during it, is tried again only when
    // the player asks.
    for (const bool started : {false, true}) {
        SCOPED_TRACE(started ? "refused during its fetch" : "refused before its fetch");
        UpdateCheck refused(29);
        ASSERT_TRUE(refused.OnMessage("VERSION:31").download);
        if (started) refused.DownloadStarted(31);
        refused.DownloadRefused(31);
        EXPECT_FALSE(refused.Downloading());
        EXPECT_EQ(refused.Failures(), 0) << "no failure to try again after a pause";
        EXPECT_FALSE(refused.OnMessage("VERSION:31").download);
        EXPECT_TRUE(refused.OnMessage("VERSION:32").download) << "a newer version is another matter";
        refused.ManualCheckRequested();
        EXPECT_TRUE(refused.OnMessage("VERSION:31").download);
        refused.ServerChanged();
        EXPECT_TRUE(refused.OnMessage("VERSION:31").download) << "another server may serve it";
    }
}

TEST(LiveUpdateRules, RetryPausesGrowToAFewMinutes) {
    const struct {
        int failures;
        std::chrono::seconds pause;
    } cases[] = {{1, std::chrono::seconds(10)}, {2, std::chrono::seconds(30)}, {3, std::chrono::minutes(5)},
                 {4, std::chrono::minutes(5)},  {1000, std::chrono::minutes(5)}};
    for (const auto& c : cases) EXPECT_EQ(RetryPause(c.failures), c.pause) << c.failures;
}

// Fetches that fail in a row: each waits for its pause, and the player hears
// of the first and of any they asked for.
TEST(LiveUpdateRules, FailedFetchesAreRetriedAfterGrowingPausesAndToldOncePerRun) {
    UpdateCheck check(29);
    const auto fetchAndFail = [&](bool asked) {
        if (asked) check.ManualCheckRequested();
        const VersionDecision d = check.OnMessage("VERSION:30");
        EXPECT_TRUE(d.download);
        check.DownloadStarted(30);
        return check.DownloadFailed();
    };
    const struct {
        bool asked;
        bool told;
        std::chrono::seconds pause;
    } run[] = {
        {false, true, std::chrono::seconds(10)},   // the first failure is told
        {false, false, std::chrono::seconds(30)},  // the retries are not
        {false, false, std::chrono::minutes(5)},
        {true, true, std::chrono::minutes(5)},     // unless the player asked
        {false, false, std::chrono::minutes(5)},
    };
    for (std::size_t i = 0; i < std::size(run); ++i) {
        SCOPED_TRACE(i);
        const FailedFetch failed = fetchAndFail(run[i].asked);
        EXPECT_EQ(failed.tell, run[i].told);
        EXPECT_EQ(failed.pause, run[i].pause);
        EXPECT_EQ(check.Failures(), static_cast<int>(i) + 1);
        EXPECT_FALSE(check.Downloading());
        // While the pause runs, the server's word fetches nothing and says
        // nothing.
        const VersionDecision waiting = check.OnMessage("VERSION:30");
        EXPECT_EQ(waiting.answer, Answer::Accept);
        EXPECT_FALSE(waiting.download);
        EXPECT_EQ(waiting.notice, nullptr);
        check.RetryDue();
    }
    // A whole fetch ends the run: the next failure is told again.
    ASSERT_TRUE(check.OnMessage("VERSION:30").download);
    check.DownloadStarted(30);
    check.DownloadFinished();
    EXPECT_EQ(check.Failures(), 0);
    check.PatchGone();
    EXPECT_TRUE(fetchAndFail(false).tell);
    // So does a server with nothing newer, and another server.
    check.OnMessage("VERSION:29");
    EXPECT_EQ(check.Failures(), 0);
    EXPECT_TRUE(fetchAndFail(false).tell);
    check.ServerChanged();
    EXPECT_TRUE(fetchAndFail(false).tell);
    EXPECT_FALSE(check.DownloadFailed().tell) << "no fetch, no failure";
    EXPECT_EQ(check.Failures(), 1);
}

TEST(LiveUpdateRules, AnUnreadableVersionStopsTheChecks) {
    UpdateCheck check(29);
    check.ManualCheckRequested();
    const VersionDecision d = check.OnMessage("VERSION:30abc");
    EXPECT_EQ(d.kind, Kind::Unreadable);
    EXPECT_FALSE(d.answer);
    EXPECT_FALSE(d.download);
    EXPECT_STREQ(d.notice, kUpdateFailed);
    EXPECT_TRUE(check.ChecksStopped());
    EXPECT_FALSE(check.ManualCheckPending());

    UpdateCheck other(29);
    other.HandshakeFailed();
    EXPECT_TRUE(other.ChecksStopped());
}

}  // namespace
