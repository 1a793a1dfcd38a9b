#include "resources/Painters.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

namespace resources {
namespace {

constexpr double kKeysWidth = 96.0;
constexpr double kKeysHeight = 64.0;
constexpr double kKey = 28.0;  // side of one key
constexpr double kGap = 3.0;

enum class Direction { Up, Left, Down, Right };

// An arrow pointing up, centred on the origin, to be turned into place.
QPainterPath UpArrow() {
    QPainterPath arrow;
    arrow.moveTo(0.0, -8.0);
    arrow.lineTo(7.0, -0.5);
    arrow.lineTo(2.6, -0.5);
    arrow.lineTo(2.6, 7.5);
    arrow.lineTo(-2.6, 7.5);
    arrow.lineTo(-2.6, -0.5);
    arrow.lineTo(-7.0, -0.5);
    arrow.closeSubpath();
    return arrow;
}

double Turn(Direction d) {
    switch (d) {
        case Direction::Up: return 0.0;
        case Direction::Right: return 90.0;
        case Direction::Down: return 180.0;
        case Direction::Left: return 270.0;
    }
    return 0.0;
}

// One key cap: a darker skirt, a lighter dished top and the arrow on it.
void PaintKey(QPainter& painter, QPointF topLeft, Direction direction, bool lit) {
    const QRectF skirt(topLeft, QSizeF(kKey, kKey));
    const QRectF top = skirt.adjusted(2.5, 1.5, -2.5, -4.5);
    const QColor skirtColour = lit ? QColor(0x8E, 0x12, 0x12) : QColor(0x88, 0x88, 0x8C);
    const QColor faceLight = lit ? QColor(0xFF, 0x6A, 0x5A) : QColor(0xF4, 0xF4, 0xF4);
    const QColor faceDark = lit ? QColor(0xD4, 0x18, 0x18) : QColor(0xC6, 0xC6, 0xCA);
    const QColor ink = lit ? QColor(0xFF, 0xFF, 0xFF) : QColor(0x30, 0x30, 0x34);

    painter.setPen(QPen(QColor(0x40, 0x40, 0x44), 1.0));
    painter.setBrush(skirtColour);
    painter.drawRoundedRect(skirt, 4.0, 4.0);

    QLinearGradient face(top.topLeft(), top.bottomLeft());
    face.setColorAt(0.0, faceLight);
    face.setColorAt(1.0, faceDark);
    painter.setPen(QPen(lit ? QColor(0xFF, 0x9A, 0x8A) : QColor(0xFF, 0xFF, 0xFF), 0.8));
    painter.setBrush(face);
    painter.drawRoundedRect(top, 3.0, 3.0);

    QTransform place;
    place.translate(top.center().x(), top.center().y());
    place.rotate(Turn(direction));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(place.map(UpArrow()));
}

}  // namespace

void PaintArrowKeys(QPainter& painter, LitKey lit, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kKeysWidth, target.height() / kKeysHeight);
    const double left = (kKeysWidth - 3 * kKey - 2 * kGap) / 2.0;
    const double upper = (kKeysHeight - 2 * kKey - kGap) / 2.0;
    const double lower = upper + kKey + kGap;
    PaintKey(painter, {left + kKey + kGap, upper}, Direction::Up, false);
    PaintKey(painter, {left, lower}, Direction::Left, lit == LitKey::Left);
    PaintKey(painter, {left + kKey + kGap, lower}, Direction::Down, false);
    PaintKey(painter, {left + 2 * (kKey + kGap), lower}, Direction::Right, lit == LitKey::Right);
    painter.restore();
}

}  // namespace resources
