#include "shell/ElidedLabel.h"

#include <QPainter>

namespace shell {

void ElidedLabel::paintEvent(QPaintEvent* event) {
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
    const bool whole = shown == text();
    ShowWholeTextInTip(*this, text(), whole);
    if (whole) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), shown);
}

void ShowWholeTextInTip(QWidget& line, const QString& text, bool shownWhole) {
    // A tip is read as markup when it looks like markup; escaped text inside
    // <qt> always is, and so also wraps.
    const QString tip = shownWhole ? QString() : QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
    if (line.toolTip() != tip) line.setToolTip(tip);
}

}  // namespace shell
