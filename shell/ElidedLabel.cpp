#include "shell/ElidedLabel.h"

#include <QPainter>

namespace shell {

void ElidedLabel::paintEvent(QPaintEvent* event) {
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
    if (shown == text()) {
        setToolTip(QString());
        QLabel::paintEvent(event);
        return;
    }
    setToolTip(text());
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), shown);
}

}  // namespace shell
