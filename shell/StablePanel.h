#pragma once

#include <QObject>
#include <string>

namespace platform {
class TextBox;
}

namespace shell {

class Form1;

// The stable and market screens' handlers, on the controls Form1 builds
// (StableTree, Text1, MalePart, FemalePart, MarketTree, Text2, "Buy Horse",
// "Yes" on "SELL HORSE?"). The rules are in core/Stable.h.
class StablePanel : public QObject {
    Q_OBJECT
public:
    explicit StablePanel(Form1& form);

    // Shows the stable card and puts the horse into its breeding box. Runs
    // on every click and on every change of the selection, keys included.
    void StableTree_NodeClick(const std::string& key);
    // Shows the market card.
    void MarketTree_NodeClick(const std::string& key);
    void Command10_Click();  // "Buy Horse"
    void Command25_Click();  // "Yes" on "SELL HORSE?"

    // Brings the cards and the breeding boxes up to date with their horses
    // (Form1::HorsesChanged): a horse that has left its tree leaves its card
    // or box empty; one still there is shown as it is now.
    void FollowHorses();

private:
    void EmptyCards();
    void FollowBreedingBox(platform::TextBox& box, bool stallion);

    Form1& form_;
    // The nodes whose horses the two cards show; empty: the card is empty.
    std::string stableCardKey_;
    std::string marketCardKey_;
};

}  // namespace shell
