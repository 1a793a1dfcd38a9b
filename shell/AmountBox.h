#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QAbstractButton;
class QLineEdit;

namespace shell {

// The rule of a box where the player types an amount to be charged (the own
// race's stake, a LAN game's charge per player). While the player types, the
// text is the player's own, whatever it is. When editing ends (Return,
// leaving the box, or a press of the button that charges the amount), a text
// that is not a number of zero or more (in the game's locale-free notation:
// "1,000" and "-50" are not amounts) becomes the box's fallback amount, and
// that press charges nothing: the player sees the amount before paying it.
//
//   auto* rule = new AmountBox(*Text3, QStringLiteral("2000"), *Command9);
//   // in Command9's click handler, before anything is charged:
//   if (!rule->Settle()) return;
//
// The box owns the rule (it is the rule's parent).
class AmountBox : public QObject {
    Q_OBJECT
public:
    // `charge` is the button whose handler charges the amount. A click on it
    // leaves the focus in the box, so that its handler's Settle() is the
    // one that ends the editing and can tell the player first.
    AmountBox(QLineEdit& box, QString fallback, QAbstractButton& charge);

    // Ends the editing: the amount in the box, or nothing when its text was
    // not an amount and now shows the fallback (charge nothing this time).
    std::optional<double> Settle();

    const QString& Fallback() const { return fallback_; }

private:
    QLineEdit& box_;
    QString fallback_;
};

}  // namespace shell
