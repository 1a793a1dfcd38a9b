#pragma once

#include <array>

#include "shell/FormWindow.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace shell {

// "Help Files": seven topic buttons, each bringing its text to the front of
// one stack; the stack opens on "Please Select a Topic".
class Form12 : public FormWindow {
    Q_OBJECT
public:
    explicit Form12(QWidget* owner);

    // Paints the window and Picture1 and brings Picture1 to the front.
    void Form_Load();

    void Command1_Click();  // "Placing Bets"
    void Command2_Click();  // "Buying a Horse"
    void Command3_Click();  // "Improving a Horse"
    void Command4_Click();  // "Racing a Horse"
    void Command5_Click();  // "Breeding Horses"
    void Command6_Click();  // "Online Features"
    void Command9_Click();  // "Port Information"

    // What is in front of the stack: Picture1 or a topic's text box.
    QWidget* Front() const { return front_; }

    platform::PictureBox* Picture1 = nullptr;
    QLabel* Prompt = nullptr;
    std::array<QPushButton*, 7> Buttons{};
    std::array<QPlainTextEdit*, 7> Boxes{};  // Bets, BuyHorse, ImpHorse, RaceH, Breed, Online, Port

private:
    void BringToFront(QWidget* page);
    void ShowTopic(std::size_t topic);

    QWidget* front_ = nullptr;
};

}  // namespace shell
