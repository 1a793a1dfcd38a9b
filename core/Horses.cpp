#include "core/Horses.h"

#include <algorithm>
#include <array>

#include "core/NameTables.h"
#include "runtime/Rounding.h"

namespace core {

using runtime::Round;

namespace {

// Round(r * n) with the product in single precision.
std::int32_t Draw(runtime::RandomSource& rnd, int n) {
    return static_cast<std::int32_t>(Round(rnd.Rnd() * static_cast<float>(n)));
}

struct Band {
    std::int32_t from;  // the band covers from .. next band's from - 1
    Odds odds;
};

// Ratings below the first band get 100/1.
constexpr std::array<Band, 48> kLadder = {{
    {2, {80, 1}},   {4, {66, 1}},   {6, {60, 1}},   {8, {50, 1}},   {10, {40, 1}},  {12, {33, 1}},
    {14, {30, 1}},  {16, {25, 1}},  {18, {20, 1}},  {20, {16, 1}},  {22, {15, 1}},  {24, {14, 1}},
    {26, {12, 1}},  {28, {11, 1}},  {30, {10, 1}},  {32, {9, 1}},   {34, {8, 1}},   {36, {7, 1}},
    {40, {13, 2}},  {42, {6, 1}},   {44, {11, 2}},  {46, {5, 1}},   {48, {9, 2}},   {50, {4, 1}},
    {52, {15, 4}},  {54, {40, 11}}, {56, {7, 2}},   {58, {13, 4}},  {60, {3, 1}},   {62, {5, 2}},
    {64, {9, 4}},   {66, {2, 1}},   {68, {15, 8}},  {70, {7, 4}},   {72, {13, 8}},  {74, {6, 4}},
    {76, {11, 8}},  {78, {5, 4}},   {80, {10, 9}},  {82, {1, 1}},   {84, {9, 10}},  {86, {4, 5}},
    {88, {8, 11}},  {90, {4, 6}},   {92, {8, 13}},  {94, {4, 7}},   {96, {8, 15}},  {98, {1, 2}},
}};

}  // namespace

void GenerateHorse(HorseRec& horse, runtime::RandomSource& rnd) {
    const auto first = static_cast<std::size_t>(Draw(rnd, 52));
    const auto second = static_cast<std::size_t>(Draw(rnd, 51));
    horse.Mother = kUnknownParent;
    horse.Father = kUnknownParent;
    horse.Health = 100 + Draw(rnd, 100);
    horse.HealthMAX = horse.Health;
    horse.Sex = Round(rnd.Rnd()) == 1 ? kMale : kFemale;
    horse.Speed = Draw(rnd, horse.Sex == kMale ? 135 : 100);
    horse.Stamina = Draw(rnd, horse.Sex == kMale ? 100 : 110);
    std::int32_t coat = 0;
    do {
        const std::int32_t a = Draw(rnd, 100);
        const std::int32_t b = Draw(rnd, 100);
        coat = a + b;
    } while (coat < 101 || coat > 145);
    horse.Colour = coat;
    horse.Confidence = Draw(rnd, 100);
    horse.Start = static_cast<std::int16_t>(Draw(rnd, 100));
    horse.End = static_cast<std::int16_t>(100 - horse.Start);
    const std::int32_t sum = horse.Speed + horse.Stamina + horse.Confidence;
    OddsForRating(static_cast<std::int32_t>(Round(sum / 3.0)), horse.OddsLeft, horse.OddsRight);
    horse.MoJo = Draw(rnd, 30);
    horse.RRP = HorsePrice(horse, rnd);
    horse.Name = std::string(kFirstNames.at(first)) + " " + std::string(kSecondNames.at(second));
}

Odds OddsForRating(std::int32_t rating) {
    Odds odds{100, 1};
    for (const Band& band : kLadder) {
        if (rating < band.from) break;
        odds = band.odds;
    }
    return odds;
}

void OddsForRating(std::int32_t rating, std::int32_t& oddsLeft, std::int32_t& oddsRight) {
    const Odds odds = OddsForRating(rating);
    oddsLeft = odds.Left;
    oddsRight = odds.Right;
}

double HealthRatio(const HorseRec& horse) {
    if (horse.HealthMAX <= 0) return 0.0;
    return std::max(0.0, static_cast<double>(horse.Health) / horse.HealthMAX);
}

std::int32_t HorsePrice(const HorseRec& horse, runtime::RandomSource& rnd) {
    const float r = rnd.Rnd();
    const std::int64_t s = static_cast<std::int64_t>(horse.Speed) + horse.Stamina + horse.Confidence;
    const std::int64_t q = s * s;
    const double k = Round(HealthRatio(horse) * 100 * static_cast<double>(r)) + 1;
    return runtime::SaturateLong(k * static_cast<double>(q));
}

std::string PaceStyleName(const HorseRec& horse) {
    std::string name = "Steady Pace";
    if (horse.Start > 65) name = "Strong Start";
    if (horse.Start > 80) name = "Aggressive Start";
    if (horse.End > 65) name = "Strong Finish";
    if (horse.End > 80) name = "Aggressive Finish";
    return name;
}

}  // namespace core
