#pragma once

#include <array>
#include <string_view>

// The serums of the gene collection, in the order the list shows them. The
// list is fixed: several serums share a name and one has none yet.
namespace development {

struct GeneItem {
    std::string_view key;
    std::string_view text;
};

inline constexpr std::array<GeneItem, 20> kGeneItems = {{
    {"S1", "Bone Strength Serum"},
    {"S2", "Muscle Density Serum"},
    {"S3", "Muscle Strength Serum"},
    {"S4", "Small Hoof Serum"},
    {"S5", "Long Lengs Serum"},
    {"S6", "Hollow Bone Serum"},
    {"S7", "Rhino Skin Serum"},
    {"S8", "Aggression Serum"},
    {"S9", "50 Inch Serum"},
    {"S10", "Bone Strength Serum"},
    {"S11", "Bone Strength Serum"},
    {"S12", "Bone Strength Serum"},
    {"S13", "Bone Strength Serum"},
    {"S14", "Bone Strength Serum"},
    {"S15", "Bone Strength Serum"},
    {"S16", ""},
    {"S17", "Dynamic Body Serum"},
    {"S18", "Albino Serum"},
    {"S19", "Brambly's Secret Formulae"},
    {"S20", "Serum X"},
}};

}  // namespace development
