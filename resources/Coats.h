#pragma once

#include <QRgb>
#include <array>
#include <cstdint>

// The 45 coats a horse can wear, one per picture number 101..145. Each coat is
// a full description of how its horse is painted, so the race-lane picture,
// the tree icon and the splash all agree.
namespace resources {

enum class CoatPattern : std::uint8_t {
    Solid,
    Dapples,      // light rings over the barrel and quarters
    Roan,         // white hairs mixed into the body, head and legs stay dark
    FleaBitten,   // fine dark flecks on a white grey
    Tobiano,      // large white patches crossing the back, white legs
    Overo,        // ragged white patches on the sides that do not cross the back
    Leopard,      // dark spots all over a pale coat
    Blanket,      // a white blanket over the quarters, spotted with the body colour
};

enum class FaceMark : std::uint8_t { None, Star, Stripe, Blaze, Bald };

enum class LegMark : std::uint8_t { None, Sock, Stocking };

// Legs in the order they are described: near fore, far fore, near hind, far hind.
inline constexpr int kLegs = 4;

struct Coat {
    QRgb body;
    QRgb mane;        // mane and tail
    QRgb points;      // the lower legs (black on bays, duns and buckskins)
    CoatPattern pattern;
    QRgb patternColour;
    FaceMark face;
    std::array<LegMark, kLegs> legs;
    bool dorsalStripe;
    QRgb cloth;       // saddle cloth and bridle; the cloth carries the coat's number
};

inline constexpr int kFirstCoat = 101;
inline constexpr int kLastCoat = 145;
inline constexpr int kCoatCount = kLastCoat - kFirstCoat + 1;

// The coat of picture number id, or nullptr when id is not a coat.
const Coat* CoatFor(int id);

}  // namespace resources
