#include "platform/GameTextValidator.h"

#include <QLineEdit>

#include "platform/QtText.h"

namespace platform {

bool FitsGameText(const QString& text) { return ToQString(FromQString(text)) == text; }

QValidator::State GameTextValidator::validate(QString& input, int&) const {
    return FitsGameText(input) ? Acceptable : Invalid;
}

void GameTextValidator::Guard(QLineEdit& box) { box.setValidator(new GameTextValidator(&box)); }

}  // namespace platform
