#pragma once

#include <array>
#include <string_view>

// The products of the two shops on the drugs screen, in the order their trees
// list them. The key names the product within its shop ("STAM1" is a
// different product in each); the image indexes the shop's picture list.
namespace core {

enum class Shop { Pharmacy, Dealer };

struct Product {
    Shop shop;
    std::string_view key;
    std::string_view text;
    int image;
};

inline constexpr std::array<Product, 7> kProducts = {{
    {Shop::Pharmacy, "STAM1", "Stamo-matic", 5},
    {Shop::Pharmacy, "STAM2", "Stamo-increase", 7},
    {Shop::Pharmacy, "SPEED1", "Speed(X)", 1},
    {Shop::Pharmacy, "VIAGRA", "Viagra", 3},
    {Shop::Pharmacy, "HEALTH", "First AID", 2},
    {Shop::Dealer, "STAM1", "Adrenaline Shots", 6},
    {Shop::Dealer, "SPEED1", "Speed", 4},
}};

}  // namespace core
