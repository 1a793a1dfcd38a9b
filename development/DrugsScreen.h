#pragma once

#include <QObject>
#include <string>

#include "core/Products.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace shell {
class Form1;
}

namespace development {

// The drugs screen: the pharmacy (tree `legal`) and the drug dealer (tree
// `illegal`), each with its quantity box, price box and "Buy". Purchases act
// on the horse selected in the stable tree. Installs itself on the window it
// is given.
class DrugsScreen : public QObject {
    Q_OBJECT
public:
    explicit DrugsScreen(shell::Form1& form);

    void legal_NodeClick(const std::string& key);
    void illegal_NodeClick(const std::string& key);
    void Command18_Click();  // "Buy" at the pharmacy
    void Command12_Click();  // "Buy" at the dealer
    void Text6_Change();
    void Text7_Change();
    void Text11_GotFocus();
    void Text12_GotFocus();

    QLabel* Label22 = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label24 = nullptr;
    QLineEdit* Text5 = nullptr;   // pharmacy price
    QLineEdit* Text6 = nullptr;   // pharmacy quantity
    QLineEdit* Text11 = nullptr;  // "Quantity:"
    QPushButton* Command18 = nullptr;
    QLineEdit* Text4 = nullptr;   // dealer price
    QLineEdit* Text7 = nullptr;   // dealer quantity
    QLineEdit* Text12 = nullptr;  // "Quantity:"
    QPushButton* Command12 = nullptr;

protected:
    // The "Quantity:" boxes pass the focus on to their quantity box.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildShop(core::Shop shop, double left);
    void Quote(core::Shop shop, const std::string& key);
    void Buy(core::Shop shop);
    void KeepQuantity(QLineEdit* box, core::Shop shop);

    shell::Form1& form_;
};

}  // namespace development
