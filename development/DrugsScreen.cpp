#include "development/DrugsScreen.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "development/ProductShop.h"
#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "platform/QtText.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/PanelControls.h"
#include "shell/TreeView.h"

namespace development {

using core::Shop;
using shell::Panel;

namespace {

constexpr std::uint32_t kLockedGrey = 0xC0C0C0;

QLineEdit* Locked(QWidget* parent, const char* name, const QString& text, double left, double top, double width) {
    QLineEdit* box = shell::MakeTextBox(parent, name, text, left, top, width, 315);
    box->setReadOnly(true);
    platform::SetBackColor(box, kLockedGrey);
    return box;
}

QLabel* BoldLabel(QWidget* parent, const char* name, const char* text, double left, double top, double width,
                  double height) {
    QLabel* label = shell::MakeLabel(parent, name, QString::fromLatin1(text), left, top, width, height);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

}  // namespace

DrugsScreen::DrugsScreen(shell::Form1& form) : QObject(&form), form_(form) {
    setObjectName("DrugsScreen");
    QWidget* panel = &form_.PanelBox(Panel::Drugs);
    Label24 = BoldLabel(panel, "Label24",
                        "The better your horse gets, the less effective, and more expensive the drugs will be!", 120,
                        120, 9975, 375);
    Label24->setAlignment(Qt::AlignCenter);
    Label24->setWordWrap(true);
    BuildShop(Shop::Pharmacy, 120);
    BuildShop(Shop::Dealer, 5280);
    connect(form_.legal, &shell::TreeView::NodeClick, this, &DrugsScreen::legal_NodeClick);
    connect(form_.illegal, &shell::TreeView::NodeClick, this, &DrugsScreen::illegal_NodeClick);
}

void DrugsScreen::BuildShop(Shop shop, double left) {
    QWidget* panel = &form_.PanelBox(Panel::Drugs);
    const bool pharmacy = shop == Shop::Pharmacy;
    QLabel* heading = BoldLabel(panel, pharmacy ? "Label22" : "Label23", pharmacy ? "Pharmacy:" : "Drug Dealer:",
                                left, 600, 4815, 255);
    shell::TreeView* tree = pharmacy ? form_.legal : form_.illegal;
    platform::PlaceTwips(tree, left, 900, 4815, 2055);
    tree->setIconSize(QSize(24, 24));
    QLineEdit* caption = Locked(panel, pharmacy ? "Text11" : "Text12", QStringLiteral("Quantity:"), left, 3075, 975);
    caption->installEventFilter(this);
    QLineEdit* quantity = shell::MakeTextBox(panel, pharmacy ? "Text6" : "Text7", QStringLiteral("1"), left + 975,
                                             3075, 615, 315);
    platform::SetBackColor(quantity, 0xFFFFFF);
    QLineEdit* price = Locked(panel, pharmacy ? "Text5" : "Text4", QStringLiteral("1"), left + 1710, 3075, 1815);
    QPushButton* buy =
        shell::MakeButton(panel, pharmacy ? "Command18" : "Command12", QStringLiteral("Buy"), left + 3645, 3045, 1170, 375);
    if (pharmacy) {
        Label22 = heading, Text11 = caption, Text6 = quantity, Text5 = price, Command18 = buy;
        connect(Text6, &QLineEdit::textChanged, this, &DrugsScreen::Text6_Change);
        connect(Command18, &QPushButton::clicked, this, &DrugsScreen::Command18_Click);
    } else {
        Label23 = heading, Text12 = caption, Text7 = quantity, Text4 = price, Command12 = buy;
        connect(Text7, &QLineEdit::textChanged, this, &DrugsScreen::Text7_Change);
        connect(Command12, &QPushButton::clicked, this, &DrugsScreen::Command12_Click);
    }
}

void DrugsScreen::legal_NodeClick(const std::string& key) { Quote(Shop::Pharmacy, key); }
void DrugsScreen::illegal_NodeClick(const std::string& key) { Quote(Shop::Dealer, key); }

// The quote is refreshed only here: a quantity typed afterwards leaves the
// old price standing.
void DrugsScreen::Quote(Shop shop, const std::string& key) {
    QLineEdit* quantity = shop == Shop::Pharmacy ? Text6 : Text7;
    const auto price =
        QuoteProduct(form_.Game(), *form_.StableTree, shop, key, platform::FromQString(quantity->text()));
    if (price) (shop == Shop::Pharmacy ? Text5 : Text4)->setText(platform::ToQString(*price));
}

void DrugsScreen::Command18_Click() { Buy(Shop::Pharmacy); }
void DrugsScreen::Command12_Click() { Buy(Shop::Dealer); }

void DrugsScreen::Buy(Shop shop) {
    const bool pharmacy = shop == Shop::Pharmacy;
    BuyProduct(form_.Game(), form_, *form_.StableTree, *form_.MarketTree, pharmacy ? *form_.legal : *form_.illegal,
               shop, platform::FromQString((pharmacy ? Text6 : Text7)->text()));
    // Improved, or taken to the market by the police.
    emit form_.HorsesChanged();
}

void DrugsScreen::Text6_Change() { KeepQuantity(Text6, Shop::Pharmacy); }
void DrugsScreen::Text7_Change() { KeepQuantity(Text7, Shop::Dealer); }

void DrugsScreen::KeepQuantity(QLineEdit* box, Shop shop) {
    // Setting the text comes back here once and then finds it in range.
    const auto corrected = CorrectedQuantity(platform::FromQString(box->text()), QuantityLimit(shop));
    if (corrected) box->setText(platform::ToQString(*corrected));
}

void DrugsScreen::Text11_GotFocus() { Text6->setFocus(); }
void DrugsScreen::Text12_GotFocus() { Text7->setFocus(); }

bool DrugsScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == Text11 || watched == Text12)) {
        if (watched == Text11) Text11_GotFocus();
        if (watched == Text12) Text12_GotFocus();
        // The caption has passed the focus on: left to itself it would now
        // select its text, as a box reached by the Tab key does.
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace development
