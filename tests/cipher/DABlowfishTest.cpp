#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "cipher/DABlowfish.h"
#include "runtime/Error.h"
#include "tests/cipher/CipherTestSupport.h"

namespace {

using cipher::DABlowfish;
using cipher_test::ChainDecipher;
using cipher_test::ChainEncipher;
using cipher_test::ErrorText;
using cipher_test::FromHex;
using cipher_test::Layout;
using cipher_test::ToHex;

const std::string kSizeError(cipher::kSizeDescriptorText);

// A cipher whose header words are fixed, so its output is a known answer.
DABlowfish FixedHeader(std::uint32_t word1, std::uint32_t word2) {
    DABlowfish blowfish;
    auto words = std::make_shared<std::vector<std::uint32_t>>(std::vector<std::uint32_t>{word1, word2});
    auto next = std::make_shared<std::size_t>(0);
    blowfish.SetHeaderWordSource([words, next] { return (*words)[(*next)++ % 2]; });
    return blowfish;
}

TEST(DABlowfishBlock, KnownAnswersOfTheInitialTables) {
    const DABlowfish blowfish;
    EXPECT_EQ(blowfish.F(0), 0x16089340u);

    struct Case {
        std::uint32_t l, r, cl, cr;
    };
    for (const Case& c : {Case{0, 0, 0xF155B7CFu, 0xC1E56C7Bu}, Case{1, 2, 0xB2C351A3u, 0x8EEF86A4u}}) {
        std::uint32_t l = c.l;
        std::uint32_t r = c.r;
        blowfish.EncryptBlock(l, r);
        EXPECT_EQ(l, c.cl);
        EXPECT_EQ(r, c.cr);
        blowfish.DecryptBlock(l, r);
        EXPECT_EQ(l, c.l);
        EXPECT_EQ(r, c.r);
    }
}

// Enciphered with a separate implementation of the cipher written from its
// definition (tests/cipher/known_answers.py).
struct KnownAnswer {
    const char* name;
    std::string key;  // empty: the initial tables
    std::uint32_t word1, word2;
    std::string plain;
    const char* cipherHex;
};

const KnownAnswer kKnownAnswers[] = {
    {"EmptyPlainPelmora", "Pelmora", 0, 0, "", "77546711ABAA18D321B13AFE9880953C"},
    {"IniTextWithHighAndNulBytes", "Pelmora", 0x12345678, 2147483647,
     std::string("[Zircona]\r\nHell Yeah=1\r\nMoney=5000\r\n\xA3\0\xFF", 39),
     "5EDFBC51BC94ECD138545B1B0820806AAE2BA366B71B2B3D268759CCD4875CE1E08DB514D0C33E3C4CAEEF342BEDB2353DAA610D75133084"},
    {"KeyWithBytesOf0x80AndAbove", "\xA3\xFF\x80k", 1, 2, "thirteen byte",
     "279202F5417900FB650FAC38873BBE3CB5E88724D1C301E3FCC20A3DF6D2A0DD"},
    {"NoKeyUsesTheInitialTables", "", 0, 0, "abcd", "F155B7CFC1E56C7B86964338830F0A0D"},
};

class DABlowfishKnownAnswer : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(DABlowfishKnownAnswer, EnciphersToTheKnownBytesAndBack) {
    const KnownAnswer& c = GetParam();
    DABlowfish blowfish = FixedHeader(c.word1, c.word2);
    std::string bytes = c.plain;
    blowfish.EncryptByte(bytes, c.key);
    EXPECT_EQ(ToHex(bytes), c.cipherHex);

    DABlowfish reader;
    std::string back = FromHex(c.cipherHex);
    reader.DecryptByte(back, c.key);
    EXPECT_EQ(back, c.plain);
}

INSTANTIATE_TEST_SUITE_P(Vectors, DABlowfishKnownAnswer, ::testing::ValuesIn(kKnownAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DABlowfishLayout, EncipheredLengthIsHeaderPlusPlainPaddedToEight) {
    struct Case {
        std::size_t plain, enciphered;
    };
    const Case cases[] = {{0, 16}, {4, 16}, {5, 24}, {12, 24}, {13, 32}, {20, 32}, {21, 40}, {1000, 1016}};
    for (const Case& c : cases) {
        DABlowfish blowfish;
        std::string bytes(c.plain, 'z');
        blowfish.EncryptByte(bytes, "Pelmora");
        EXPECT_EQ(bytes.size(), c.enciphered) << "plain length " << c.plain;
        blowfish.DecryptByte(bytes, "Pelmora");
        EXPECT_EQ(bytes, std::string(c.plain, 'z'));
    }
}

TEST(DABlowfishLayout, PlainHeaderHoldsTheWordsAndLengthLittleEndianAndZeroPadding) {
    DABlowfish blowfish = FixedHeader(0x01020304, 0x7FFFFFFF);
    std::string bytes = "hello";
    blowfish.EncryptByte(bytes, "Pelmora");
    const std::string plain = ChainDecipher(blowfish, bytes);
    EXPECT_EQ(ToHex(plain), "04030201" "FFFFFF7F" "05000000" + ToHex("hello") + "00000000000000");
}

TEST(DABlowfishLayout, HeaderWordsAreRandomAndBelow2To31) {
    DABlowfish blowfish;
    std::set<std::string> outputs;
    for (int i = 0; i < 200; ++i) {
        std::string bytes = "same data";
        blowfish.EncryptByte(bytes, "Pelmora");
        outputs.insert(bytes);
        const std::string plain = ChainDecipher(blowfish, bytes);
        ASSERT_LT(cipher_test::GetLittleEndian(plain, 0), 0x80000000u);
        ASSERT_LT(cipher_test::GetLittleEndian(plain, 4), 0x80000000u);
        blowfish.DecryptByte(bytes);
        ASSERT_EQ(bytes, "same data");
    }
    EXPECT_EQ(outputs.size(), 200u);
}

TEST(DABlowfishLayout, FixedHeaderWordsAreCutTo31Bits) {
    DABlowfish blowfish = FixedHeader(0xFFFFFFFF, 0x80000000);
    std::string bytes;
    blowfish.EncryptByte(bytes);
    const std::string plain = ChainDecipher(blowfish, bytes);
    EXPECT_EQ(cipher_test::GetLittleEndian(plain, 0), 0x7FFFFFFFu);
    EXPECT_EQ(cipher_test::GetLittleEndian(plain, 4), 0u);
}

TEST(DABlowfishLayout, LengthFieldMustLeave12To19BytesOfOverhead) {
    struct Case {
        std::size_t total;
        std::int32_t lengthField;
        bool accepted;
    };
    const Case cases[] = {
        {16, 0, true},   {16, 4, true},    {24, 12, true},  {32, 13, true},  // 16, 12, 12, 19 bytes over
        {24, 5, true},   {24, 13, false},  {32, 12, false}, {16, 5, false},  // 19; 11, 20, 11
        {16, -1, false}, {16, -3, false},  {16, INT32_MIN, false}, {16, INT32_MAX, false},
        {24, 0, false},
    };
    const DABlowfish writer;
    for (const Case& c : cases) {
        const std::string payload(c.total - 12, 'p');
        const std::string enciphered = ChainEncipher(writer, Layout(7, 8, c.lengthField, payload, c.total));
        std::string bytes = enciphered;
        DABlowfish reader;
        const std::string error = ErrorText([&] { reader.DecryptByte(bytes); });
        if (c.accepted) {
            EXPECT_EQ(error, "(no error)") << c.total << " bytes, length field " << c.lengthField;
            EXPECT_EQ(bytes, payload.substr(0, static_cast<std::size_t>(c.lengthField)));
        } else {
            EXPECT_EQ(error, kSizeError) << c.total << " bytes, length field " << c.lengthField;
            EXPECT_EQ(bytes, enciphered) << "a refused array stays as it was";
        }
    }
}

TEST(DABlowfishLayout, SizesThatCannotHoldAnEncipheredTextAreRefusedUntouched) {
    for (const std::size_t size : {0, 1, 7, 8, 9, 12, 15, 17, 23, 31}) {
        std::string bytes(size, '\x5A');
        DABlowfish blowfish;
        EXPECT_EQ(ErrorText([&] { blowfish.DecryptByte(bytes, "Pelmora"); }), kSizeError) << size;
        EXPECT_EQ(bytes, std::string(size, '\x5A'));
    }
}

TEST(DABlowfishLayout, ErrorsCarryTheObjectDefinedNumberAndNoSource) {
    DABlowfish blowfish;
    std::string bytes(16, '\0');
    try {
        blowfish.DecryptByte(bytes, "Pelmora");
        FAIL() << "no error";
    } catch (const runtime::Error& error) {
        EXPECT_EQ(error.Number(), -2147221504);
        EXPECT_EQ(error.Source(), "");
    }
}

TEST(DABlowfishKey, AnyCipherWithTheSameKeyReadsTheData) {
    DABlowfish writer;
    std::string bytes = "Money=5000";
    writer.EncryptByte(bytes, "Pelmora");

    std::string again = bytes;
    writer.DecryptByte(again, "Pelmora");  // same instance, key given again
    EXPECT_EQ(again, "Money=5000");

    DABlowfish fresh;
    std::string third = bytes;
    fresh.DecryptByte(third, "Pelmora");
    EXPECT_EQ(third, "Money=5000");

    DABlowfish wrong;
    std::string fourth = bytes;
    EXPECT_EQ(ErrorText([&] { wrong.DecryptByte(fourth, "Pelmorb"); }), kSizeError);
}

TEST(DABlowfishKey, TablesComeFromTheInitialOnesForEveryKey) {
    DABlowfish once;
    once.Key("Pelmora");
    const cipher::BlowfishTables pelmora = once.Tables();

    DABlowfish juggled;
    for (const char* key : {"Pelmora", "Pelmora", "Other", "", "Pelmora"}) juggled.Key(key);
    EXPECT_TRUE(juggled.Tables() == pelmora);

    // The load window deciphers and then enciphers with the same key; a
    // later reader must still read the result.
    DABlowfish loader;
    std::string bytes = "Saved=TRUE";
    DABlowfish().EncryptByte(bytes, "Pelmora");
    loader.DecryptByte(bytes, "Pelmora");
    loader.EncryptByte(bytes, "Pelmora");
    DABlowfish nextStart;
    nextStart.DecryptByte(bytes, "Pelmora");
    EXPECT_EQ(bytes, "Saved=TRUE");
}

TEST(DABlowfishKey, EmptyKeyKeepsTheCurrentTables) {
    DABlowfish blowfish;
    blowfish.Key("");
    EXPECT_TRUE(blowfish.Tables() == cipher::InitialTables());

    blowfish.Key("Pelmora");
    const cipher::BlowfishTables keyed = blowfish.Tables();
    blowfish.Key("");
    EXPECT_TRUE(blowfish.Tables() == keyed);
    blowfish.Key("Pelmora");
    EXPECT_TRUE(blowfish.Tables() == keyed);

    std::string bytes = "x";
    blowfish.EncryptByte(bytes);  // no key given: the keyed tables
    DABlowfish reader;
    reader.DecryptByte(bytes, "Pelmora");
    EXPECT_EQ(bytes, "x");
}

TEST(DABlowfishKey, KeyBytesAreTakenCyclicallyAndNulBytesCount) {
    // Keys that differ only past the 72 bytes the P-array takes give the
    // same tables; a NUL byte inside a key is part of it.
    DABlowfish a;
    DABlowfish b;
    a.Key(std::string(72, 'k') + "tail one");
    b.Key(std::string(72, 'k') + "tail two");
    EXPECT_TRUE(a.Tables() == b.Tables());

    DABlowfish c;
    DABlowfish d;
    c.Key(std::string("ab\0c", 4));
    d.Key(std::string("ab\0d", 4));
    EXPECT_FALSE(c.Tables() == d.Tables());

    // Cyclic: "ab" repeated is the same key as "ab".
    DABlowfish e;
    DABlowfish f;
    e.Key("ab");
    f.Key("abababab");
    EXPECT_TRUE(e.Tables() == f.Tables());
}

TEST(DABlowfishStrings, StringsAreBytesWithNulsAndHighBytes) {
    DABlowfish blowfish;
    const std::string text("\0\r\n\xA3\xFF end", 9);
    const std::string enciphered = blowfish.EncryptString(text, "Pelmora");
    EXPECT_EQ(enciphered.size(), 24u);
    EXPECT_EQ(blowfish.DecryptString(enciphered, "Pelmora"), text);
}

TEST(DABlowfishProgress, ReportsEachQuarterOfAFourBlockArray) {
    DABlowfish blowfish;
    std::vector<std::int32_t> events;
    blowfish.SetProgressHandler([&](std::int32_t percent) { events.push_back(percent); });
    std::string bytes(16, 'a');  // 32 bytes enciphered: blocks at 0, 8, 16, 24
    blowfish.EncryptByte(bytes, "Pelmora");
    EXPECT_EQ(events, (std::vector<std::int32_t>{0, 25, 50, 75, 100}));
    events.clear();
    blowfish.DecryptByte(bytes);
    EXPECT_EQ(events, (std::vector<std::int32_t>{0, 25, 50, 75, 100}));
}

TEST(DABlowfishProgress, ReportsEveryPerCentOfALargeArray) {
    DABlowfish blowfish;
    std::vector<std::int32_t> events;
    blowfish.SetProgressHandler([&](std::int32_t percent) { events.push_back(percent); });
    std::string bytes(8000, 'a');  // 8016 bytes enciphered, ten blocks a per cent
    blowfish.EncryptByte(bytes, "Pelmora");
    std::vector<std::int32_t> expected;
    for (int p = 0; p <= 100; ++p) expected.push_back(p);
    EXPECT_EQ(events, expected);
    events.clear();
    blowfish.DecryptByte(bytes);
    EXPECT_EQ(events, expected);
}

// Damaged enciphered data: never a crash, never a result that the layout
// does not allow; a refused array stays as it was.
class DABlowfishDamage : public ::testing::Test {
protected:
    void SetUp() override {
        good_ = std::string("[Zircona]\r\nHell Yeah=1\r\nMoney=5000\r\n");
        DABlowfish writer;
        enciphered_ = good_;
        writer.EncryptByte(enciphered_, "Pelmora");
    }

    // Deciphers `damaged`; returns true when it was refused as it should be.
    static bool Refused(const std::string& damaged) {
        std::string bytes = damaged;
        DABlowfish reader;
        const std::string error = ErrorText([&] { reader.DecryptByte(bytes, "Pelmora"); });
        if (error == kSizeError) {
            EXPECT_EQ(bytes, damaged);
            return true;
        }
        EXPECT_EQ(error, "(no error)");
        EXPECT_GE(bytes.size() + 12, damaged.size() - 7);
        EXPECT_LE(bytes.size() + 12, damaged.size());
        return false;
    }

    std::string good_;
    std::string enciphered_;
};

TEST_F(DABlowfishDamage, TruncatedIsRefused) {
    for (std::size_t size = 0; size < enciphered_.size(); ++size) {
        EXPECT_TRUE(Refused(enciphered_.substr(0, size))) << size;
    }
}

TEST_F(DABlowfishDamage, ExtendedIsRefused) {
    for (std::size_t extra = 1; extra <= 40; ++extra) {
        EXPECT_TRUE(Refused(enciphered_ + std::string(extra, '\0'))) << extra;
        EXPECT_TRUE(Refused(enciphered_ + enciphered_.substr(0, extra))) << extra;
    }
}

TEST_F(DABlowfishDamage, FlippedBitsAnywhereNeverCrash) {
    // A flip in the cipher block that holds the length field garbles it
    // beyond any size that fits; elsewhere a flip may go unnoticed (the
    // format has no check sum), but the result still has a possible size.
    for (std::size_t i = 0; i < enciphered_.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string damaged = enciphered_;
            damaged[i] = static_cast<char>(damaged[i] ^ (1 << bit));
            const bool refused = Refused(damaged);
            if (i >= 8 && i < 16) {
                EXPECT_TRUE(refused) << "byte " << i << " bit " << bit;
            }
        }
    }
}

TEST_F(DABlowfishDamage, RandomBytesAreRefused) {
    std::mt19937 random(20240611);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(random() % 80, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        EXPECT_TRUE(Refused(bytes)) << ToHex(bytes);
    }
}

}  // namespace
