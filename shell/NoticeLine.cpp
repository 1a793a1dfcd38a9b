#include "shell/NoticeLine.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace shell {

namespace {
// The room a line edit keeps between its contents' edge and its text.
constexpr int kTextMargin = 2;
}  // namespace

void NoticeLine::paintEvent(QPaintEvent* event) {
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    const QFontMetrics metrics = fontMetrics();
    const QRect line(contents.x() + kTextMargin, contents.y() + (contents.height() - metrics.height() + 1) / 2,
                     contents.width() - 2 * kTextMargin, metrics.height());
    if (metrics.horizontalAdvance(text()) <= line.width()) {
        setToolTip(QString());
        QLineEdit::paintEvent(event);
        return;
    }
    // A line edit would scroll to its caret at the end, hiding the start.
    setToolTip(text());
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setClipRect(contents);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, metrics.elidedText(text(), Qt::ElideRight, line.width()));
}

}  // namespace shell
