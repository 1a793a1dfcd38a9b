// Cutting the LAN race's byte streams into messages: joined, split, codes
// full of awkward bytes, amounts without an end mark, floods and garbage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/Brambly.h"
#include "online/LanProtocol.h"
#include "online/MessageReader.h"

using online::Grammar;
using online::MessageReader;
namespace lan = online::lan;

namespace {

using Messages = std::vector<std::string>;

// Feeds the reads one after another, taking out every message that is whole
// after each; then, when `thenQuiet`, what the idle gap completes.
Messages CutStream(const Grammar& grammar, const std::vector<std::string>& reads, bool thenQuiet = true) {
    MessageReader reader(grammar);
    Messages out;
    for (const auto& read : reads) {
        reader.Append(read);
        while (auto m = reader.Next()) out.push_back(*m);
    }
    if (thenQuiet) {
        while (auto m = reader.NextAfterIdle()) out.push_back(*m);
    }
    return out;
}

std::string Join(const Messages& messages) {
    std::string all;
    for (const auto& m : messages) all += m;
    return all;
}

core::HorseRec Horse(const std::string& name) {
    core::HorseRec h;
    h.Name = name;
    h.Confidence = 50;
    h.Father = "???";
    h.Mother = "???";
    h.Colour = 101;
    h.OddsLeft = 2;
    h.OddsRight = 1;
    h.RRP = 1000;
    h.Sex = 1;
    h.Speed = 50;
    h.Stamina = 50;
    h.Start = 50;
    h.End = 50;
    return h;
}

// Its code holds NUL, CR, LF and ":" (see tests/online/known_codes.py).
const std::string kAwkwardCode = online::EncodeHorseCode(Horse("6425PgMhb2Mg9Q"));
const std::string kPlainCode = online::EncodeHorseCode(Horse("Two Step"));

const Messages kHostMessages = {
    "PARTICIPANT?2500",
    "FULL!",
    "HORSE?",
    "ACCEPTED!",
    "REFRESH!",
    "PLAYER>bob3",
    // Names that hold keywords: only a keyword right after a digit, and
    // starting as its message starts, could begin the next message.
    "PLAYER>SARAH1",
    "PLAYER>x WIN:5 REFRESH!4",
    "UNEXISTENT>4",
    "HORSE>" + kAwkwardCode + "2",
    "HORSE>" + kPlainCode + "5",
    "DEAD>5",
    "START!7500.5",
    "H1360:H2412.5:H3400:H4360:H59600:",
    "WIN:7500",
    "WIN:NO",
};

const Messages kPlayerMessages = {
    "YES>bob",
    "HORSE>" + kAwkwardCode,
    "HORSE>" + kPlainCode,
    "PLAYER?1",
    "HORSE?5",
    "DROPOUT!",
};

struct Direction {
    const char* name;
    const Grammar& grammar;
    const Messages& messages;
};

const Direction kDirections[] = {
    {"host to player", lan::HostToPlayerGrammar(), kHostMessages},
    {"player to host", lan::PlayerToHostGrammar(), kPlayerMessages},
};

TEST(LanStream, TheAwkwardCodeReallyHoldsTheAwkwardBytes) {
    for (const char c : std::string("\0\r\n:", 4)) EXPECT_NE(kAwkwardCode.find(c), std::string::npos) << int(c);
}

TEST(LanStream, EveryMessageAloneComesOutWhole) {
    for (const auto& d : kDirections) {
        for (const auto& m : d.messages) EXPECT_EQ(CutStream(d.grammar, {m}), Messages{m}) << d.name << ": " << m;
    }
}

TEST(LanStream, TwoMessagesInOneReadComeOutApart) {
    for (const auto& d : kDirections) {
        for (const auto& a : d.messages) {
            for (const auto& b : d.messages) {
                EXPECT_EQ(CutStream(d.grammar, {a + b}), (Messages{a, b})) << d.name << ": " << a << " | " << b;
            }
        }
    }
}

TEST(LanStream, AWholeGameInOneReadComesOutApart) {
    for (const auto& d : kDirections) EXPECT_EQ(CutStream(d.grammar, {Join(d.messages)}), d.messages) << d.name;
}

TEST(LanStream, AStreamSplitAtEveryByteComesOutTheSame) {
    for (const auto& d : kDirections) {
        // Three messages, so each split lands inside one, between two, or in
        // a keyword.
        for (std::size_t i = 0; i + 2 < d.messages.size(); ++i) {
            const Messages three(d.messages.begin() + static_cast<long>(i), d.messages.begin() + static_cast<long>(i) + 3);
            const std::string all = Join(three);
            for (std::size_t at = 1; at < all.size(); ++at) {
                EXPECT_EQ(CutStream(d.grammar, {all.substr(0, at), all.substr(at)}), three)
                    << d.name << ": split at " << at << " of " << three[0] << " | " << three[1] << " | " << three[2];
            }
        }
    }
}

TEST(LanStream, MessagesWithAnEndMarkComeOutWithoutWaiting) {
    const Messages complete = {"FULL!", "HORSE?", "ACCEPTED!", "REFRESH!", "UNEXISTENT>4",
                               "HORSE>" + kAwkwardCode + "2", "DEAD>5", "H1360:H2412.5:H3400:H4360:H59600:",
                               "WIN:NO"};
    for (const auto& m : complete) {
        EXPECT_EQ(CutStream(lan::HostToPlayerGrammar(), {m}, false), Messages{m}) << m;
    }
    for (const auto& m : {std::string("PLAYER?1"), std::string("HORSE?5"), std::string("DROPOUT!")}) {
        EXPECT_EQ(CutStream(lan::PlayerToHostGrammar(), {m}, false), Messages{m}) << m;
    }
}

// An amount, a name or a code without an end mark is whole only once the
// next message begins or the stream has gone quiet: "WIN:25" followed by
// "00" pays 2500, not 25.
TEST(LanStream, ATrailingFieldWaitsForTheNextMessageOrTheSilence) {
    struct Case {
        const Grammar& grammar;
        std::vector<std::string> reads;
        Messages beforeQuiet;
        Messages afterQuiet;
    };
    const Case cases[] = {
        {lan::HostToPlayerGrammar(), {"WIN:25", "00"}, {}, {"WIN:2500"}},
        {lan::HostToPlayerGrammar(), {"PARTICIPANT?25", "00"}, {}, {"PARTICIPANT?2500"}},
        {lan::HostToPlayerGrammar(), {"PARTICIPANT?25", "00HORSE?"}, {"PARTICIPANT?2500", "HORSE?"}, {}},
        {lan::HostToPlayerGrammar(), {"START!75", "00H1360:H2360:H3360:H4360:H5360:"},
         {"START!7500", "H1360:H2360:H3360:H4360:H5360:"}, {}},
        {lan::HostToPlayerGrammar(), {"PLAYER>bo", "b3"}, {}, {"PLAYER>bob3"}},
        {lan::HostToPlayerGrammar(), {"PLAYER>bob3", "UNEXISTENT>4"}, {"PLAYER>bob3", "UNEXISTENT>4"}, {}},
        {lan::PlayerToHostGrammar(), {"YES>b", "ob"}, {}, {"YES>bob"}},
        {lan::PlayerToHostGrammar(), {"YES>bob", "PLAYER?1"}, {"YES>bob", "PLAYER?1"}, {}},
        {lan::PlayerToHostGrammar(), {"HORSE>" + kPlainCode.substr(0, 10), kPlainCode.substr(10)}, {},
         {"HORSE>" + kPlainCode}},
        {lan::PlayerToHostGrammar(), {"HORSE>" + kPlainCode, "PLAYER?1"}, {"HORSE>" + kPlainCode, "PLAYER?1"}, {}},
    };
    for (const auto& c : cases) {
        MessageReader reader(c.grammar);
        Messages before, after;
        for (const auto& read : c.reads) {
            reader.Append(read);
            while (auto m = reader.Next()) before.push_back(*m);
        }
        while (auto m = reader.NextAfterIdle()) after.push_back(*m);
        EXPECT_EQ(before, c.beforeQuiet) << c.reads[0];
        EXPECT_EQ(after, c.afterQuiet) << c.reads[0];
    }
}

// The bytes of a cipher text come in a pattern no keyword fits (every third
// byte is below 30), so a horse code can never be taken for the beginning
// of a message, whatever horse it carries.
TEST(LanStream, NoHorseCodeHoldsAKeyword) {
    const std::vector<std::string> keywords = {"PARTICIPANT?", "FULL!", "HORSE?", "HORSE>", "ACCEPTED!",
                                               "REFRESH!", "PLAYER>", "UNEXISTENT>", "DEAD>", "START!",
                                               "H1", "WIN:", "YES>", "PLAYER?", "DROPOUT!"};
    std::string name;
    for (int i = 0; i < 400; ++i) {
        name += static_cast<char>(' ' + (i * 37) % 95);
        const std::string code = online::EncodeHorseCode(Horse(name));
        for (const auto& k : keywords) ASSERT_EQ(code.find(k), std::string::npos) << k << " in the code of " << name;
    }
}

TEST(LanStream, BytesThatBeginNoMessageAreSkippedUpToTheNextOne) {
    MessageReader reader(lan::HostToPlayerGrammar());
    reader.Append(std::string("\x01garbage REFRESH!zz", 19));
    reader.Append(" full! ");
    Messages out;
    while (auto m = reader.NextAfterIdle()) out.push_back(*m);
    EXPECT_EQ(out, (Messages{"REFRESH!", "full!"}));
    EXPECT_EQ(reader.SkippedBytes(), 9u + 2u + 2u);
    EXPECT_FALSE(reader.HoldsBytes());
}

// A keyword cut short by the end of a read waits for its rest, even across
// a quiet spell.
TEST(LanStream, AKeywordCutShortWaitsForItsRest) {
    MessageReader reader(lan::HostToPlayerGrammar());
    reader.Append("REFR");
    EXPECT_EQ(reader.NextAfterIdle(), std::nullopt);
    reader.Append("ESH!");
    EXPECT_EQ(reader.Next(), "REFRESH!");
}

// A peer that never finishes a message cannot make the reader hold more
// than a message's longest form: its bytes are given up and skipped.
TEST(LanStream, AnEndlessMessageIsGivenUpNotHeld) {
    MessageReader reader(lan::PlayerToHostGrammar());
    reader.Append("YES>");
    const std::string chunk(4096, 'a');
    std::size_t most = 0;
    for (int i = 0; i < 256; ++i) {  // a megabyte
        reader.Append(chunk);
        while (auto m = reader.Next()) ADD_FAILURE() << "a message of " << m->size() << " bytes";
        most = std::max(most, reader.BytesHeld());
        ASSERT_FALSE(reader.Overflowing());
    }
    EXPECT_LE(most, online::kReaderCap);
    EXPECT_GT(reader.SkippedBytes(), 1000000u);
    // The stream recovers once a real message comes.
    reader.Append("DROPOUT!");
    EXPECT_EQ(reader.Next(), "DROPOUT!");
}

// A grammar that waits for ever shows the cap at work.
TEST(LanStream, BytesBeyondTheCapOverflow) {
    struct Patient final : Grammar {
        online::Cut Next(std::string_view, bool) const override { return online::Cut::More(); }
    } patient;
    MessageReader reader(patient, 1000);
    reader.Append(std::string(1000, 'x'));
    EXPECT_FALSE(reader.Overflowing());
    reader.Append("x");
    EXPECT_TRUE(reader.Overflowing());
}

}  // namespace
