#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cipher/SeaBottle.h"
#include "tests/cipher/CipherTestSupport.h"

namespace {

using cipher::SeaBottle;
using cipher_test::FromHex;
using cipher_test::ToHex;

SeaBottle WithPassword(std::string_view password) {
    SeaBottle bottle;
    bottle.InitialiseCodes(password);
    return bottle;
}

// Enciphered with a separate implementation written from the cipher's
// definition (tests/cipher/known_answers.py).
TEST(SeaBottle, KnownAnswers) {
    struct Case {
        std::string password, text;
        const char* cipherHex;
    };
    const Case cases[] = {
        {"Pelmora", "abc", "0C50160B460C0A460C"},
        {"Pelmora", "", "0B4E150C575B"},
        {"Pelmora", std::string("Sea Breeze\r\n\0\xFF", 14), "0C46150D505B0D471510510B0E503E19022A1800020E1E34113D5C"},
        {"bc", "x", "12474810423D"},
        {"\xFF", "EVEN", "07435008563205445008" "4C46"},
        {"\xFF", "ODDS", "02445007563207425008" "4D46"},
    };
    for (const Case& c : cases) {
        const SeaBottle bottle = WithPassword(c.password);
        const std::string enciphered = bottle.Encrypt(c.text);
        EXPECT_EQ(ToHex(enciphered), c.cipherHex) << c.password << " / " << c.text;
        EXPECT_EQ(bottle.Decrypt(FromHex(c.cipherHex)), c.text);
    }
}

TEST(SeaBottle, ShiftIsTheMeanCodeRoundedTiesToEven) {
    struct Case {
        std::string password;
        int shift;
    };
    const Case cases[] = {
        {"a", 97},
        {"\xFF", 255},
        {"bc", 98},                    // 98.5 goes to the even 98
        {"ac", 98},                    // 98 exactly
        {"ce", 100},                   // 99.5 goes to 100
        {"Pelmora", 103},              // 720 / 7 = 102.86
        {std::string(1000, '\xFF'), 255},  // a sum far beyond 16 bits
        {std::string(40000, 'z'), 'z'},    // and a count beyond 16 bits
    };
    for (const Case& c : cases) {
        const SeaBottle bottle = WithPassword(c.password);
        EXPECT_EQ(bottle.EncTable()[0], c.shift) << c.password.substr(0, 8);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(bottle.EncTable()[i], (i + c.shift) % 256);
            ASSERT_EQ(bottle.DecTable()[bottle.EncTable()[i]], i);
        }
    }
}

TEST(SeaBottle, EmptyPasswordShowsTheBoxAndKeepsTheTables) {
    std::vector<std::string> boxes;
    SeaBottle bottle([&](const std::string& prompt) { boxes.push_back(prompt); });
    bottle.InitialiseCodes("");
    EXPECT_EQ(boxes, std::vector<std::string>{"Must have an encryption password"});
    // No password yet: every code is 0, so every digit is 0.
    EXPECT_EQ(bottle.Encrypt("a"), std::string(6, '\0'));

    bottle.InitialiseCodes("Pelmora");
    const std::string before = bottle.Encrypt("abc");
    bottle.InitialiseCodes("");
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(bottle.Encrypt("abc"), before);
    EXPECT_EQ(bottle.Decrypt(before), "abc");

    SeaBottle silent;  // no box wired: still no harm
    silent.InitialiseCodes("");
}

TEST(SeaBottle, OutputLengthAndCodes) {
    const SeaBottle bottle = WithPassword("Pelmora");
    for (std::size_t n = 0; n <= 21; ++n) {
        const std::string enciphered = bottle.Encrypt(std::string(n, '\xE9'));
        const std::size_t expected = n % 2 == 1 ? 3 * (n + 3) / 2 : 3 * (n + 4) / 2;
        EXPECT_EQ(enciphered.size(), expected) << n;
        for (const char c : enciphered) ASSERT_LT(static_cast<unsigned char>(c), 100) << n;
    }
}

TEST(SeaBottle, RoundTripOfAnyBytes) {
    const SeaBottle bottle = WithPassword("Pelmora");
    std::string every;
    for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
    const std::string texts[] = {"", "E", "EVEN", "EVENS", "ODD", "ODDS", "ODDEVEN", every, every.substr(1)};
    for (const std::string& text : texts) EXPECT_EQ(bottle.Decrypt(bottle.Encrypt(text)), text) << text;

    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        std::string text(random() % 60, '\0');
        for (char& c : text) c = static_cast<char>(random());
        ASSERT_EQ(bottle.Decrypt(bottle.Encrypt(text)), text);
    }
}

TEST(SeaBottle, MalformedCipherTextGivesTheEmptyText) {
    const SeaBottle bottle = WithPassword("Pelmora");
    const std::string cases[] = {
        "\x0C",                           // one character: 2 digits, not a multiple of 3
        "\x0C\x50\x16\x0B",               // 8 digits
        "\x63\x00\x00",                   // first triple 9xx, above 255
        "\x14\x3C\x00",                   // digits 260000: triple 260
    };
    for (const std::string& c : cases) EXPECT_EQ(bottle.Decrypt(c), "") << ToHex(c);
}

TEST(SeaBottle, ForeignBytesNeverCrash) {
    // Codes of 100 and more (never written by Encrypt) give their first and
    // last digit; whatever comes out, Decrypt returns.
    const SeaBottle bottle = WithPassword("Pelmora");
    std::mt19937 random(11);
    for (int i = 0; i < 2000; ++i) {
        std::string text(random() % 40, '\0');
        for (char& c : text) c = static_cast<char>(random());
        const std::string plain = bottle.Decrypt(text);
        ASSERT_LE(plain.size(), 2 * text.size() / 3);
    }
    EXPECT_EQ(bottle.Decrypt(std::string("\xFF\xFF\xFF", 3)), "");  // 225 555: 555 is above 255
}

TEST(SeaBottle, OnlyTheMeanCodeOfThePasswordMatters) {
    const std::string enciphered = WithPassword("Pelmora").Encrypt("Sea Breeze");
    EXPECT_EQ(WithPassword("Other").Decrypt(enciphered), "Sea Breeze");  // mean 102.8, as "Pelmora"
    EXPECT_NE(WithPassword("Zebra").Decrypt(enciphered), "Sea Breeze");  // mean 100
}

}  // namespace
