#include "shell/AmountBox.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "platform/QtText.h"
#include "runtime/Numbers.h"

namespace shell {

namespace {

std::optional<double> AmountOf(const QString& text) {
    const auto number = runtime::ParseNumber(platform::FromQString(text));
    if (!number || *number < 0) return std::nullopt;
    return number;
}

}  // namespace

AmountBox::AmountBox(QLineEdit& box, QString fallback, QAbstractButton& charge)
    : QObject(&box), box_(box), fallback_(std::move(fallback)) {
    setObjectName(box.objectName() + QStringLiteral("Amount"));
    charge.setFocusPolicy(Qt::TabFocus);
    connect(&box, &QLineEdit::editingFinished, this, [this] { Settle(); });
}

std::optional<double> AmountBox::Settle() {
    const auto amount = AmountOf(box_.text());
    if (!amount) box_.setText(fallback_);
    return amount;
}

}  // namespace shell
