#include "resources/Coats.h"

namespace resources {
namespace {

using P = CoatPattern;
using F = FaceMark;
constexpr LegMark N = LegMark::None;
constexpr LegMark S = LegMark::Sock;
constexpr LegMark T = LegMark::Stocking;

// Saddle-cloth colours, strong and far apart so a lane reads at a glance.
constexpr QRgb kRed = 0xD42020, kBlue = 0x2050D0, kGreen = 0x1F9A40,
               kYellow = 0xF4D020, kPurple = 0x7A30B8, kOrange = 0xF08018,
               kCyan = 0x20B8D0, kPink = 0xF070B0, kWhite = 0xF8F8F8,
               kBlack = 0x202020, kMaroon = 0x801830, kNavy = 0x1A2A70,
               kLime = 0xA0D828;

// Recurring body and hair colours.
constexpr QRgb kBay = 0x8E4B23, kBlackHair = 0x1C1410, kChestnut = 0xB5602A,
               kCoalBlack = 0x262220, kPalomino = 0xDCA843, kFlaxen = 0xF4EAD0,
               kWhiteHair = 0xF6F4EE, kBlueRoan = 0x40444E;

// Ordered 101..145. Repeated body colours always differ in markings,
// pattern and cloth as well.
constexpr std::array<Coat, kCoatCount> kCoats = {{
    // 101 bay
    {kBay, kBlackHair, kBlackHair, P::Solid, 0, F::Star, {N, N, N, N}, false, kRed},
    // 102 chestnut
    {kChestnut, 0xA0501F, kChestnut, P::Solid, 0, F::Blaze, {S, N, S, N}, false, kBlue},
    // 103 black
    {kCoalBlack, 0x141210, kCoalBlack, P::Solid, 0, F::None, {N, N, N, N}, false, kYellow},
    // 104 grey
    {0xA4A4A6, 0x505052, 0x6E6E70, P::Solid, 0, F::None, {N, N, N, N}, false, kGreen},
    // 105 white
    {kWhiteHair, 0xE2DED4, kWhiteHair, P::Solid, 0, F::None, {N, N, N, N}, false, kNavy},
    // 106 palomino
    {kPalomino, kFlaxen, kPalomino, P::Solid, 0, F::Blaze, {T, T, S, S}, false, kPurple},
    // 107 dun
    {0xBFA27E, 0x3A2C22, 0x3A2C22, P::Solid, 0, F::None, {N, N, N, N}, true, kOrange},
    // 108 dapple grey
    {0x8C9096, 0x3A3C40, 0x5A5C60, P::Dapples, 0xD8DADE, F::Star, {N, N, N, N}, false, kPink},
    // 109 blue roan
    {kBlueRoan, 0x181818, 0x1C1C1C, P::Roan, 0xE8E8EE, F::None, {N, N, N, N}, false, kCyan},
    // 110 piebald
    {kCoalBlack, 0x1A1818, kCoalBlack, P::Tobiano, kWhiteHair, F::Blaze, {N, N, N, N}, false, kRed},
    // 111 skewbald
    {0xA8552A, 0x7A3A1C, 0xA8552A, P::Tobiano, kWhiteHair, F::Star, {N, N, N, N}, false, kGreen},
    // 112 leopard appaloosa
    {0xF2EFE6, 0x4A3A30, 0xF2EFE6, P::Leopard, 0x2A2220, F::Stripe, {N, N, N, N}, false, kBlue},
    // 113 bay blanket appaloosa
    {0x7E4424, kBlackHair, kBlackHair, P::Blanket, kWhiteHair, F::Blaze, {N, N, S, S}, false, kYellow},
    // 114 buckskin
    {0xE0B45C, kBlackHair, kBlackHair, P::Solid, 0, F::Star, {N, N, N, N}, false, kMaroon},
    // 115 flaxen chestnut
    {0xB8662C, 0xF2E2B0, 0xB8662C, P::Solid, 0, F::Blaze, {N, N, S, S}, false, kLime},
    // 116 liver chestnut
    {0x5C2C1A, 0x4A2214, 0x5C2C1A, P::Solid, 0, F::Star, {N, N, N, N}, false, kCyan},
    // 117 flea-bitten grey
    {0xE6E4DE, 0xB8B4AC, 0xE6E4DE, P::FleaBitten, 0x6A4A3A, F::None, {N, N, N, N}, false, kPurple},
    // 118 red roan
    {0x8A4424, kBlackHair, kBlackHair, P::Roan, 0xEEDDD4, F::Stripe, {N, N, N, N}, false, kBlack},
    // 119 strawberry roan
    {0xB45A34, 0xA04A28, 0xA04A28, P::Roan, 0xF4E4DC, F::Blaze, {S, S, N, N}, false, kWhite},
    // 120 grulla
    {0x8C7A64, 0x2A2420, 0x2A2420, P::Solid, 0, F::None, {N, N, N, N}, true, kYellow},
    // 121 red dun
    {0xD29462, 0x8E3E22, 0x8E3E22, P::Solid, 0, F::Star, {N, N, N, N}, true, kGreen},
    // 122 cremello
    {0xF0E0BC, 0xF7EFDC, 0xF0E0BC, P::Solid, 0, F::Blaze, {N, N, N, N}, false, kRed},
    // 123 silver dapple
    {0x4E3426, 0xE0DAD0, 0x4E3426, P::Dapples, 0x7A5E4C, F::None, {N, N, N, N}, false, kOrange},
    // 124 bay overo
    {kBay, kBlackHair, kBlackHair, P::Overo, kWhiteHair, F::Bald, {S, N, N, S}, false, kCyan},
    // 125 palomino pinto
    {kPalomino, kFlaxen, kPalomino, P::Tobiano, kWhiteHair, F::Star, {N, N, N, N}, false, kNavy},
    // 126 black blanket appaloosa
    {kCoalBlack, 0x141210, kCoalBlack, P::Blanket, kWhiteHair, F::Stripe, {N, N, N, N}, false, kPink},
    // 127 chestnut-spotted leopard
    {0xF4EFE4, 0xB8662C, 0xF4EFE4, P::Leopard, 0x9A4A22, F::Blaze, {N, N, N, N}, false, kBlack},
    // 128 blood bay with stockings
    {0xA63C1E, kBlackHair, kBlackHair, P::Solid, 0, F::Blaze, {T, N, T, N}, false, kWhite},
    // 129 dark bay
    {0x5A3020, 0x120E0C, 0x120E0C, P::Solid, 0, F::Star, {S, N, N, N}, false, kPink},
    // 130 black, bald face and four stockings
    {kCoalBlack, 0x141210, kCoalBlack, P::Solid, 0, F::Bald, {T, T, T, T}, false, kOrange},
    // 131 chestnut with four socks
    {0xC06A30, 0xB05E28, 0xC06A30, P::Solid, 0, F::Stripe, {S, S, S, S}, false, kMaroon},
    // 132 champagne
    {0xCCA27A, 0xB89068, 0xB89068, P::Solid, 0, F::Star, {N, N, N, N}, false, kPurple},
    // 133 black overo
    {kCoalBlack, 0x141210, kCoalBlack, P::Overo, kWhiteHair, F::Star, {N, N, N, N}, false, kLime},
    // 134 dappled bay
    {0x9A5428, kBlackHair, kBlackHair, P::Dapples, 0xC8844C, F::None, {N, N, N, N}, false, kLime},
    // 135 chestnut overo
    {kChestnut, 0xA0501F, kChestnut, P::Overo, kWhiteHair, F::Blaze, {N, N, N, N}, false, kYellow},
    // 136 iron grey
    {0x4C5058, 0x1E2024, 0x2C2E32, P::Solid, 0, F::Stripe, {N, N, N, N}, false, kWhite},
    // 137 perlino
    {0xEAD8B4, 0xC8884C, 0xEAD8B4, P::Solid, 0, F::None, {N, N, N, N}, false, kBlack},
    // 138 bay, blaze and four stockings
    {kBay, kBlackHair, kBlackHair, P::Solid, 0, F::Blaze, {T, T, T, T}, false, kGreen},
    // 139 dappled palomino
    {0xD8A040, kFlaxen, 0xD8A040, P::Dapples, 0xF0CC78, F::Star, {N, N, N, N}, false, kNavy},
    // 140 bay tobiano
    {kBay, kBlackHair, kBlackHair, P::Tobiano, kWhiteHair, F::Stripe, {N, N, N, N}, false, kOrange},
    // 141 chestnut blanket appaloosa
    {kChestnut, 0xA0501F, kChestnut, P::Blanket, kWhiteHair, F::Star, {N, N, N, N}, false, kCyan},
    // 142 dark dapple grey
    {0x667080, 0x202022, 0x303032, P::Dapples, 0xB4BAC6, F::Blaze, {N, N, N, N}, false, kMaroon},
    // 143 buckskin pinto
    {0xD4AB6C, kBlackHair, kBlackHair, P::Tobiano, kWhiteHair, F::Star, {N, N, N, N}, false, kBlue},
    // 144 blue roan, blaze and socks
    {kBlueRoan, 0x181818, 0x1C1C1C, P::Roan, 0xE8E8EE, F::Blaze, {S, S, S, S}, false, kRed},
    // 145 light dapple grey
    {0xC8CACE, 0x8A8A8E, 0xA0A0A4, P::Dapples, 0xF2F2F4, F::Stripe, {N, N, N, N}, false, kBlack},
}};

}  // namespace

const Coat* CoatFor(int id) {
    if (id < kFirstCoat || id > kLastCoat) return nullptr;
    return &kCoats[static_cast<std::size_t>(id - kFirstCoat)];
}

}  // namespace resources
