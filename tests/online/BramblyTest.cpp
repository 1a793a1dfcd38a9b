// The horse and score codes: exact bytes, every carried field back, nothing
// half written.
#include <gtest/gtest.h>

#include <string>

#include "cipher/SeaBottle.h"
#include "online/Brambly.h"
#include "tests/support/CommaLocale.h"

using core::HorseRec;
using online::DecodeHorseCode;
using online::DecodeScoreCode;
using online::EncodeHorseCode;
using online::EncodeScoreCode;
using online::ScoreRecord;

namespace {

using namespace std::string_literals;

// Expected codes from tests/online/known_codes.py, which builds them from the
// codes' definition with an independent text cipher.
const std::string kTwoStepCode =
    "\x0B\x4C\x15\x0B\x55\x5B\x13\x4B\x15\x0B\x56\x0B\x0B\x37\x3D\x0F\x37\x3D\x0B\x42\x0B\x0F\x41\x3D\x10\x41\x3D"
    "\x0B\x42\x3D\x12\x41\x0B\x11\x37\x15\x0B\x38\x15\x0C\x37\x51\x0B\x42\x0B\x10\x41\x3D\x13\x40\x3D\x0C\x41\x3D"
    "\x10\x41\x0B\x12\x55\x47\x18\x19\x15\x15\x10\x29\x13\x23\x33\x0B\x56\x3D\x16\x0F\x5B\x16\x05\x29\x15\x10\x33"s;
const std::string kMareCode =
    "\x0B\x4C\x15\x0B\x55\x5B\x0B\x4B\x15\x0C\x55\x0B\x0B\x2E\x51\x0B\x37\x29\x0B\x42\x0B\x0B\x55\x3D\x15\x06\x51"
    "\x15\x0F\x47\x15\x05\x29\x0C\x41\x0B\x0B\x38\x15\x0D\x37\x33\x0B\x38\x3D\x0B\x41\x0B\x0B\x4C\x0B\x16\x05\x01"
    "\x15\x10\x15\x0C\x41\x0B\x0B\x56\x29"s;
const std::string kBobScoreCode =
    "\x0B\x4C\x15\x0B\x55\x5B\x0B\x4B\x15\x0B\x55\x0B\x1A\x05\x0B\x15\x10\x29\x17\x05\x0B\x0B\x42\x0B\x0B\x37\x29"
    "\x0C\x41\x0B"s;
const std::string kEmptyNameScoreCode =
    "\x0B\x4C\x15\x10\x55\x5B\x13\x4A\x15\x0B\x55\x0B\x0B\x41\x0B\x10\x37\x0B\x0D\x41\x0B\x0B\x38\x0B\x0B\x41\x0B"s;

HorseRec TwoStep() {
    HorseRec h;
    h.Name = "Two Step";
    h.Confidence = 55;
    h.Father = "???";
    h.Mother = "???";
    h.Colour = 117;
    h.OddsLeft = 11;
    h.OddsRight = 8;
    h.RRP = 3751.5;
    h.Sex = 1;
    h.Speed = 67;
    h.Stamina = 54;
    h.Start = 40;
    h.End = 80;
    h.Health = 90;
    h.HealthMAX = 100;
    h.MoJo = 7;
    h.RaceBonus = 3;
    return h;
}

HorseRec Mare() {
    HorseRec h;
    h.Name = "Q";
    h.Confidence = -3;
    h.Father = "Sire";
    h.Mother = "Dam";
    h.Colour = 145;
    h.OddsLeft = 1;
    h.OddsRight = 1;
    h.RRP = 0;
    h.Sex = 2;
    h.Speed = 100;
    h.Stamina = 0;
    h.Start = 0;
    h.End = 100;
    return h;
}

// A record whose fields the codes do not carry hold values of their own.
HorseRec Target() {
    HorseRec h;
    h.Name = "Old";
    h.Health = 12;
    h.HealthMAX = 34;
    h.MoJo = 56;
    h.RaceBonus = -2;
    return h;
}

std::string Encipher(const std::string& plain) {
    cipher::SeaBottle bottle;
    bottle.InitialiseCodes("Pelmora");
    return bottle.Encrypt(plain);
}

TEST(HorseCode, KnownHorsesEncodeToExactBytes) {
    EXPECT_EQ(EncodeHorseCode(TwoStep()), kTwoStepCode);
    EXPECT_EQ(EncodeHorseCode(Mare()), kMareCode);
}

TEST(HorseCode, DecodingGivesBackTheCarriedFieldsAndKeepsTheOthers) {
    for (const HorseRec& sent : {TwoStep(), Mare()}) {
        HorseRec got = Target();
        ASSERT_TRUE(DecodeHorseCode(EncodeHorseCode(sent), got)) << sent.Name;
        HorseRec expected = sent;
        expected.Health = 12;
        expected.HealthMAX = 34;
        expected.MoJo = 56;
        expected.RaceBonus = -2;
        EXPECT_EQ(got, expected) << sent.Name;
    }
}

TEST(HorseCode, AFieldAfterTheLastIsIgnored) {
    const std::string plain = "55:???:117:???:Two Step:11:8:3751.5:1:67:54:40:80:extra:";
    HorseRec got = Target();
    ASSERT_TRUE(DecodeHorseCode(Encipher(plain), got));
    EXPECT_EQ(got.End, 80);
    EXPECT_FALSE(online::IsWholeHorseCode(Encipher(plain)));
    EXPECT_TRUE(online::IsWholeHorseCode(kTwoStepCode));
}

TEST(HorseCode, AFractionWrittenWithACommaIsRead) {
    HorseRec got = Target();
    ASSERT_TRUE(DecodeHorseCode(Encipher("55:???:117:???:Two Step:11:8:3751,5:1:67:54:40:80:"), got));
    EXPECT_EQ(got.RRP, 3751.5);
}

struct BadCode {
    const char* why;
    std::string code;
};

TEST(HorseCode, ACodeThatCannotBeReadLeavesTheRecordAsItWas) {
    const BadCode cases[] = {
        {"empty", ""},
        {"one byte short", kTwoStepCode.substr(0, kTwoStepCode.size() - 1)},
        {"cut to whole threes", kTwoStepCode.substr(0, kTwoStepCode.size() - 30)},
        {"a byte changed", [] { std::string c = kTwoStepCode; c[20] = 'x'; return c; }()},
        {"not a cipher text", "HORSE>"},
        {"twelve fields", Encipher("55:???:117:???:Two Step:11:8:3751.5:1:67:54:40:")},
        {"a field that is no number", Encipher("55:???:x:???:Two Step:11:8:3751.5:1:67:54:40:80:")},
        {"an empty number", Encipher("55:???::???:Two Step:11:8:3751.5:1:67:54:40:80:")},
        {"out of its type", Encipher("55:???:117:???:Two Step:11:8:3751.5:1:67:54:40000:80:")},
        {"not finite", Encipher("55:???:117:???:Two Step:11:8:1E999:1:67:54:40:80:")},
    };
    for (const auto& c : cases) {
        HorseRec got = Target();
        EXPECT_FALSE(DecodeHorseCode(c.code, got)) << c.why;
        EXPECT_EQ(got, Target()) << c.why;
        EXPECT_FALSE(online::IsWholeHorseCode(c.code)) << c.why;
    }
}

TEST(ScoreCode, KnownScoresEncodeToExactBytes) {
    EXPECT_EQ(EncodeScoreCode({"bob", 3, 10, 2, 5000}), kBobScoreCode);
    // An empty name is an empty first field: the plain code begins with ":".
    EXPECT_EQ(EncodeScoreCode({"", 0, 0, 0, 2500.5}), kEmptyNameScoreCode);
}

TEST(ScoreCode, DecodesEveryFieldOrNothing) {
    EXPECT_EQ(DecodeScoreCode(kBobScoreCode), (ScoreRecord{"bob", 3, 10, 2, 5000}));
    EXPECT_EQ(DecodeScoreCode(Encipher("ann:1:2:3:2500,5:")), (ScoreRecord{"ann", 1, 2, 3, 2500.5}));
    EXPECT_EQ(DecodeScoreCode(Encipher("ann:1:2:3:")), std::nullopt);
    EXPECT_EQ(DecodeScoreCode(Encipher("ann:1:two:3:4:")), std::nullopt);
    EXPECT_EQ(DecodeScoreCode(Encipher("ann:1:2:3:nan:")), std::nullopt);
    EXPECT_EQ(DecodeScoreCode(kBobScoreCode.substr(3)), std::nullopt);
}

// Numbers on the wire never depend on the locale the process runs under.
TEST(ScoreCode, AFractionTravelsWithAPointUnderACommaLocale) {
    testing_support::CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << "no comma locale can be made here (Debian's locales package is missing)";
    const std::string code = EncodeScoreCode({"bob", 1, 0, 0, 2500.5});
    EXPECT_EQ(code, Encipher("bob:1:0:0:2500.5:"));
    const auto back = DecodeScoreCode(Encipher("bob:1:0:0:2500,5:"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->LANwager, 2500.5);
}

TEST(ScoreCode, TheSixCharactersOfAFraction) {
    EXPECT_EQ(EncodeScoreCode({"bob", 1, 0, 0, 2500.5}), Encipher("bob:1:0:0:2500.5:"));
}

// A reader tries a code's end only where the bytes stop deciphering: this is
// what lets it do so, checked against the cipher itself.
TEST(CodeFraming, NoLongerPrefixThanTheDecipherableLengthDeciphers) {
    cipher::SeaBottle bottle;
    bottle.InitialiseCodes("Pelmora");
    // Bytes of every kind: many that fit in a group (0..29, 100..255) and
    // some that spoil one (digits, capitals, ":").
    const std::string alphabet = "\x00\x0A\x0B\x0D\x15\x1D\x64\x7F\xC8\xFF"s + "0459AHZ:";
    std::uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const int length = 1 + round % 40;
        for (int i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            bytes += alphabet[(state >> 16) % alphabet.size()];
        }
        const std::size_t reach = online::DecipherableLength(bytes);
        ASSERT_EQ(reach % 3, 0u);
        for (std::size_t prefix = 3; prefix <= bytes.size(); prefix += 3) {
            const bool deciphers = !bottle.Decrypt(bytes.substr(0, prefix)).empty();
            ASSERT_EQ(deciphers, prefix <= reach) << "round " << round << ", prefix " << prefix;
        }
    }
}

// Whatever follows a code on the wire, a slot digit or the next message,
// spoils the group it begins: the code's end is the only end to try.
TEST(CodeFraming, ASlotDigitOrAKeywordAfterACodeEndsWhatDeciphers) {
    for (const std::string& code : {kTwoStepCode, kMareCode, kBobScoreCode}) {
        EXPECT_EQ(online::DecipherableLength(code), code.size());
        for (const std::string& after : {"0"s, "3xx"s, "9\x0B\x0B"s, "HORSE?1"s, "PLAYER>bob2"s, "LEADER:"s, "DEAD>4"s}) {
            EXPECT_EQ(online::DecipherableLength(code + after), code.size()) << after;
        }
    }
}

}  // namespace
