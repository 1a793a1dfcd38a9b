// The chat's messages, how the server's texts are gathered, the capped chat
// log, and the net send message with the recipients the game refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/ChatProtocol.h"
#include "online/NetSendMessage.h"

namespace chat = online::chat;
namespace netsend = online::netsend;

namespace {

std::vector<std::string> Cut(const online::Grammar& grammar, const std::vector<std::string>& reads, bool idleAfterEach) {
    online::MessageReader reader(grammar);
    std::vector<std::string> messages;
    for (const std::string& bytes : reads) {
        reader.Append(bytes);
        while (auto message = reader.Next()) messages.push_back(*message);
        if (idleAfterEach) {
            while (auto message = reader.NextAfterIdle()) messages.push_back(*message);
        }
    }
    while (auto message = reader.NextAfterIdle()) messages.push_back(*message);
    return messages;
}

TEST(ChatMessages, AreWrittenAsTheyStand) {
    EXPECT_EQ(chat::Format(chat::ChatLine{"jenny", "14:05:09", "Hello!"}), "jenny [14:05:09]:\r\nHello!\r\n");
    EXPECT_EQ(chat::Format(chat::ChatLine{"jenny", "2:05:09 PM", ""}), "jenny [2:05:09 PM]:\r\n\r\n");
    EXPECT_EQ(chat::Format(chat::ListRequest{}), "LIST0");
}

TEST(ChatMessages, TheServerReadsThemBack) {
    const chat::GameMessage messages[] = {
        chat::ChatLine{"jenny", "14:05:09", "Hello!"},
        chat::ChatLine{"", "1:00", ""},
        chat::ChatLine{"Sir [B] Brown", "14:05", "see [you]: later"},
        chat::ListRequest{},
    };
    for (const auto& message : messages) {
        EXPECT_EQ(chat::RecogniseGameMessage(chat::Format(message)), message) << chat::Format(message);
    }
    for (const char* text : {"hello", "jenny [1:00]:\r\nno end", "jenny 1:00]:\r\nhi\r\n", "LIST1", "LIST0 "}) {
        EXPECT_FALSE(chat::RecogniseGameMessage(text)) << text;
    }
}

TEST(ChatMessages, TheServersListOfPlayersHasANameOnEachLine) {
    EXPECT_EQ(chat::PlayerList({}), "In the chat (0):\r\n");
    EXPECT_EQ(chat::PlayerList({"jenny", "Sir [B] Brown", ""}),
              "In the chat (3):\r\njenny\r\nSir [B] Brown\r\n\r\n");
    EXPECT_EQ(chat::PlayerList({"two\r\nlines"}), "In the chat (1):\r\ntwo  lines\r\n");
}

TEST(ChatStream, TheServerCutsLinesAndRequestsHoweverTheyArrive) {
    const std::string a = chat::Format(chat::ChatLine{"jenny", "14:05", "Hi all"});
    const std::string b = chat::Format(chat::ChatLine{"bob", "14:06", "Hi"});
    const std::vector<std::string> all{a, "LIST0", b};
    EXPECT_EQ(Cut(chat::GameToServerGrammar(), {a + "LIST0" + b}, false), all);
    EXPECT_EQ(Cut(chat::GameToServerGrammar(), {a.substr(0, 9), a.substr(9) + "LI", "ST0" + b.substr(0, 14), b.substr(14)},
                  false),
              all);
    // Noise up to a line end is skipped; an unfinished line is given up.
    EXPECT_EQ(Cut(chat::GameToServerGrammar(), {"garbage\r\n", a + "bob [1:00]:\r\nno end"}, false),
              (std::vector<std::string>{a}));
}

TEST(ChatStream, TheServerRelaysLinesUpToTheLongestTheInputTakes) {
    const std::string longest = chat::Format(chat::ChatLine{"jenny", "14:05", std::string(chat::kMaxLine, 'x')});
    const std::string tooLong = chat::Format(chat::ChatLine{"jenny", "14:05", std::string(chat::kMaxLine + 1, 'y')});
    const std::string next = chat::Format(chat::ChatLine{"bob", "14:06", "Hi"});
    EXPECT_EQ(Cut(chat::GameToServerGrammar(), {longest, next}, false), (std::vector<std::string>{longest, next}));
    EXPECT_EQ(Cut(chat::GameToServerGrammar(), {tooLong, next}, false), (std::vector<std::string>{next}))
        << "a longer one is given up";
}

TEST(ChatMessages, ATypedLineIsOneLineWhateverWasPastedIntoIt) {
    const struct {
        std::string typed;
        std::string line;
    } cases[] = {
        {"Hello!", "Hello!"},
        {"", ""},
        {"   ", "   "},
        {"\r\n", "  "},
        {"two\r\nlines", "two  lines"},
        {"a\rb\nc", "a b c"},
        {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(chat::OneLine(c.typed), c.line);
    }
}

TEST(ChatStream, TheGameGathersEachBurstOfServerTextIntoOne) {
    // Pieces of one burst come out as one text once the server falls quiet.
    EXPECT_EQ(Cut(chat::ServerToGameGrammar(), {"bob [14:06]:\r\n", "Hi\r\n"}, false),
              (std::vector<std::string>{"bob [14:06]:\r\nHi\r\n"}));
    // Texts with a quiet gap between them stay apart, unchanged.
    EXPECT_EQ(Cut(chat::ServerToGameGrammar(), {"one", "two\r\n"}, true), (std::vector<std::string>{"one", "two\r\n"}));
    // A long burst is handed out at its last line end, without waiting.
    const std::string line(1000, 'x');
    std::string burst;
    while (burst.size() < chat::kBurstLimit) burst += line + "\r\n";
    online::MessageReader reader(chat::ServerToGameGrammar());
    reader.Append(burst + "partial");
    EXPECT_EQ(reader.Next(), burst);
    EXPECT_FALSE(reader.Next());
    EXPECT_EQ(reader.NextAfterIdle(), "partial");
}

TEST(ChatLog, AppendsEachTextAfterALineBreak) {
    chat::ChatLog log;
    EXPECT_EQ(log.Text(), ".:BramChat:.\r\nPublic Talking Comunity\r\n- - - - - - - - - - - - - - - - - \r\n");
    const auto change = log.Append("bob [14:06]:\r\nHi\r\n");
    EXPECT_EQ(change.appended, "\r\nbob [14:06]:\r\nHi\r\n");
    EXPECT_EQ(change.removed, "");
    log.Append(std::string("raw\0bytes\xA3", 10));
    EXPECT_EQ(log.Text(), std::string(chat::kLogDesignText) + "\r\nbob [14:06]:\r\nHi\r\n" +
                              std::string("\r\nraw\0bytes\xA3", 12));
}

TEST(ChatLog, KeepsOnlyTheNewestPartFromALineStart) {
    chat::ChatLog log(100);
    std::string removed;
    std::string shown = log.Text();
    for (int i = 0; i < 20; ++i) {
        const auto change = log.Append("line " + std::to_string(i));
        removed += change.removed;
        shown += change.appended;
        EXPECT_LE(log.Text().size(), 100u);
    }
    // What was removed and what is kept make up everything shown, in order.
    EXPECT_EQ(removed + log.Text(), shown);
    EXPECT_TRUE(log.Text().ends_with("\r\nline 19"));
    EXPECT_TRUE(log.Text().starts_with("line ")) << log.Text();

    // One text longer than the log: its newest part stays, and a CR LF pair
    // is never cut in two.
    chat::ChatLog small(10);
    const auto change = small.Append("abcdefgh\r\nijklmnopq");
    EXPECT_EQ(small.Text(), "ijklmnopq");
    EXPECT_EQ(change.removed + small.Text(), std::string(chat::kLogDesignText) + change.appended);
}

TEST(NetSend, TheMessageCarriesTheHeaderTheSenderAndTheTextUnchanged) {
    EXPECT_EQ(netsend::MessageText("jenny", "Race you!\r\nTonight?"),
              "<-Trotwick EXTERNAL GAME MESSAGE->\r\nFrom User: jenny\r\n\r\nRace you!\r\nTonight?");
    EXPECT_EQ(netsend::MessageText("", ""), "<-Trotwick EXTERNAL GAME MESSAGE->\r\nFrom User: \r\n\r\n");
}

TEST(NetSend, RecipientsThatAreNoSingleNameAreRefused) {
    using R = netsend::Recipient;
    const std::pair<const char*, R> cases[] = {
        {"bob", R::Fine},
        {"BOB-PC", R::Fine},
        {"bob;rm", R::Fine},  // one argument, never a command line
        {"*", R::WholeNetwork},
        {"* ", R::WholeNetwork},
        {"  *", R::WholeNetwork},
        {"", R::Missing},
        {"   ", R::Missing},
        {"-M", R::OptionLike},
        {"--help", R::OptionLike},
        {"bob & rm -rf ~", R::Unsafe},
        {" bob", R::Unsafe},
        {"bob ", R::Unsafe},
        {"bob\tpc", R::Unsafe},
        {"bob\r\nx", R::Unsafe},
        {"bob\x7F", R::Unsafe},
        {"bob\xA0pc", R::Unsafe},
        {"*\t", R::Unsafe},
    };
    for (const auto& [recipient, expected] : cases) {
        EXPECT_EQ(netsend::CheckRecipient(recipient), expected) << '"' << recipient << '"';
    }
    EXPECT_EQ(netsend::CheckRecipient(std::string("bob\0x", 5)), R::Unsafe);
}

}  // namespace
