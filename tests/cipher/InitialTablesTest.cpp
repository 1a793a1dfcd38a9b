#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cipher/DABlowfish.h"
#include "cipher/PiWords.h"

namespace {

// pi's fractional part as `count` 32-bit words, computed here with Machin's
// formula pi = 16 atan(1/5) - 4 atan(1/239) in fixed point, independently of
// the generator that wrote the cipher's constant table.
class FixedPoint {
public:
    // limbs_[0] is the whole part, then the fraction, most significant first.
    explicit FixedPoint(std::size_t fractionLimbs) : limbs_(fractionLimbs + 1, 0) {}

    static FixedPoint InverseOf(std::uint32_t x, std::size_t fractionLimbs) {
        FixedPoint value(fractionLimbs);
        value.limbs_[0] = 1;
        value.DivideBy(x);
        return value;
    }

    void DivideBy(std::uint32_t divisor) {
        std::uint64_t remainder = 0;
        for (std::size_t i = first_; i < limbs_.size(); ++i) {
            const std::uint64_t current = (remainder << 32) | limbs_[i];
            limbs_[i] = static_cast<std::uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        while (first_ < limbs_.size() && limbs_[first_] == 0) ++first_;
    }

    FixedPoint DividedBy(std::uint32_t divisor) const {
        FixedPoint copy = *this;
        copy.DivideBy(divisor);
        return copy;
    }

    bool IsZero() const { return first_ == limbs_.size(); }

    void Add(const FixedPoint& other, bool subtract) {
        std::int64_t carry = 0;
        for (std::size_t i = limbs_.size(); i-- > 0;) {
            std::int64_t sum = static_cast<std::int64_t>(limbs_[i]) + carry +
                               (subtract ? -static_cast<std::int64_t>(other.limbs_[i]) : other.limbs_[i]);
            carry = 0;
            if (sum < 0) sum += std::int64_t{1} << 32, carry = -1;
            if (sum >= (std::int64_t{1} << 32)) sum -= std::int64_t{1} << 32, carry = 1;
            limbs_[i] = static_cast<std::uint32_t>(sum);
        }
        first_ = 0;
    }

    void MultiplyBy(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (std::size_t i = limbs_.size(); i-- > 0;) {
            const std::uint64_t product = static_cast<std::uint64_t>(limbs_[i]) * factor + carry;
            limbs_[i] = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        first_ = 0;
    }

    std::uint32_t Limb(std::size_t i) const { return limbs_[i]; }

private:
    std::vector<std::uint32_t> limbs_;
    std::size_t first_ = 0;
};

FixedPoint ArcTangentOfInverse(std::uint32_t x, std::size_t fractionLimbs) {
    FixedPoint total = FixedPoint::InverseOf(x, fractionLimbs);
    FixedPoint power = total;  // x^-(2k+1)
    for (std::uint32_t k = 1; !power.IsZero(); ++k) {
        power.DivideBy(x * x);
        total.Add(power.DividedBy(2 * k + 1), k % 2 == 1);
    }
    return total;
}

std::vector<std::uint32_t> PiFractionWords(std::size_t count) {
    const std::size_t limbs = count + 2;  // 64 guard bits
    FixedPoint pi = ArcTangentOfInverse(5, limbs);
    pi.MultiplyBy(4);
    FixedPoint small = ArcTangentOfInverse(239, limbs);
    pi.Add(small, true);
    pi.MultiplyBy(4);
    std::vector<std::uint32_t> words;
    for (std::size_t i = 1; i <= count; ++i) words.push_back(pi.Limb(i));
    return words;
}

TEST(InitialTables, ConstantsAreTheHexDigitsOfPi) {
    const std::vector<std::uint32_t> pi = PiFractionWords(cipher::kPiWordCount);
    ASSERT_EQ(pi.front(), 0x243F6A88u);  // the computation itself is right
    for (std::size_t i = 0; i < cipher::kPiWordCount; ++i) ASSERT_EQ(cipher::kPiWords[i], pi[i]) << "word " << i;
}

TEST(InitialTables, PArrayAsPublishedAndSBoxesInterleaved) {
    const cipher::BlowfishTables& t = cipher::InitialTables();
    struct Entry {
        std::uint32_t actual;
        std::uint32_t expected;
        const char* where;
    };
    const Entry entries[] = {
        {t.P[0], 0x243F6A88u, "P(0)"},        {t.P[17], 0x8979FB1Bu, "P(17)"},
        {t.S[0][0], 0xD1310BA6u, "S(0, 0)"},  {t.S[1][0], 0x98DFB5ACu, "S(1, 0)"},
        {t.S[2][0], 0x2FFD72DBu, "S(2, 0)"},  {t.S[3][0], 0xD01ADFB7u, "S(3, 0)"},
        {t.S[0][1], 0xB8E1AFEDu, "S(0, 1)"},  {t.S[3][255], 0x3AC372E6u, "S(3, 255)"},
    };
    for (const Entry& e : entries) EXPECT_EQ(e.actual, e.expected) << e.where;
}

TEST(InitialTables, EveryNewCipherStartsFromThem) {
    cipher::DABlowfish used;
    used.Key("Pelmora");
    const cipher::DABlowfish fresh;
    EXPECT_TRUE(fresh.Tables() == cipher::InitialTables());
    EXPECT_FALSE(used.Tables() == cipher::InitialTables());
}

}  // namespace
