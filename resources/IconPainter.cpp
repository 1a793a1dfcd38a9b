// The game's own icon: a racehorse's head in its bridle on a rounded patch
// of turf, for the desktop's menus, docks and window titles.
#include "resources/Coats.h"
#include "resources/HorsePainter.h"
#include "resources/Painters.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>

namespace resources {
namespace {

// A chestnut with a white blaze and a blue bridle: reads at any size.
constexpr int kIconCoat = 102;

}  // namespace

void PaintGameIcon(QPainter& painter, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(target.width(), target.height());
    const QRectF badge(target.center() - QPointF(side, side) / 2, QSizeF(side, side));
    const double edge = std::max(1.0, side / 32);
    const QRectF inner = badge.adjusted(edge / 2, edge / 2, -edge / 2, -edge / 2);
    QPainterPath patch;
    patch.addRoundedRect(inner, side * 0.2, side * 0.2);

    QLinearGradient turf(inner.topLeft(), inner.bottomLeft());
    turf.setColorAt(0.0, QColor(0x8C, 0xCC, 0x6A));
    turf.setColorAt(1.0, QColor(0x2A, 0x7A, 0x2C));
    painter.setPen(Qt::NoPen);
    painter.setBrush(turf);
    painter.drawPath(patch);

    painter.save();
    painter.setClipPath(patch);
    // The running rail behind the horse.
    painter.setPen(QPen(QColor(0xF8, 0xF8, 0xF8), std::max(1.0, side / 20)));
    painter.drawLine(QPointF(inner.left(), inner.top() + side * 0.62), QPointF(inner.right(), inner.top() + side * 0.62));
    // The neck runs out of the bottom edge, the muzzle points right.
    const QRectF head(badge.left() + side * 0.10, badge.top() + side * 0.10, side * 0.86, side * 0.90);
    PaintHorseHead(painter, *CoatFor(kIconCoat), head);
    painter.restore();

    painter.setPen(QPen(QColor(0x1E, 0x5A, 0x20), edge));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(patch);
    painter.restore();
}

}  // namespace resources
