// The drugs panel's product images, drawn on a 32 x 32 canvas.
#include "resources/Painters.h"
#include "resources/Shapes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

namespace resources {
namespace {

constexpr double kSide = 32.0;

QPen Edge(const QColor& colour, double width = 1.0) {
    QPen pen(Outline(colour), width);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A shine down the left of glass and tins.
void Highlight(QPainter& painter, const QRectF& strip) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 110));
    painter.drawRoundedRect(strip, strip.width() / 2, strip.width() / 2);
}

// A bottle: body, shoulders narrowing to the neck, a cap on top.
QPainterPath BottleShape(const QRectF& body, double neckWidth, double neckTop) {
    const double cx = body.center().x();
    const double shoulder = body.top();
    QPainterPath p;
    p.moveTo(cx - neckWidth / 2, neckTop);
    p.lineTo(cx + neckWidth / 2, neckTop);
    p.lineTo(cx + neckWidth / 2, shoulder - 3.0);
    p.cubicTo(cx + neckWidth / 2, shoulder - 1.0, body.right(), shoulder - 1.0, body.right(), shoulder + 2.5);
    p.lineTo(body.right(), body.bottom() - 2.0);
    p.quadTo(body.right(), body.bottom(), body.right() - 2.0, body.bottom());
    p.lineTo(body.left() + 2.0, body.bottom());
    p.quadTo(body.left(), body.bottom(), body.left(), body.bottom() - 2.0);
    p.lineTo(body.left(), shoulder + 2.5);
    p.cubicTo(body.left(), shoulder - 1.0, cx - neckWidth / 2, shoulder - 1.0, cx - neckWidth / 2, shoulder - 3.0);
    p.closeSubpath();
    return p;
}

QPainterPath Bolt(QPointF centre, double size) {
    QPainterPath bolt;
    const auto at = [&](double x, double y) { return centre + QPointF(x, y) * size; };
    bolt.moveTo(at(0.15, -1.0));
    bolt.lineTo(at(-0.55, 0.1));
    bolt.lineTo(at(-0.05, 0.1));
    bolt.lineTo(at(-0.2, 1.0));
    bolt.lineTo(at(0.55, -0.15));
    bolt.lineTo(at(0.05, -0.15));
    bolt.closeSubpath();
    return bolt;
}

QPainterPath Cross(QPointF centre, double arm, double half) {
    QPainterPath upright, bar;
    upright.addRect(QRectF(centre.x() - half, centre.y() - arm, 2 * half, 2 * arm));
    bar.addRect(QRectF(centre.x() - arm, centre.y() - half, 2 * arm, 2 * half));
    return upright.united(bar);
}

QPainterPath Heart(QPointF centre, double size) {
    QPainterPath heart;
    const auto at = [&](double x, double y) { return centre + QPointF(x, y) * size; };
    heart.moveTo(at(0.0, 1.0));
    heart.cubicTo(at(-1.2, 0.1), at(-1.1, -1.0), at(0.0, -0.4));
    heart.cubicTo(at(1.1, -1.0), at(1.2, 0.1), at(0.0, 1.0));
    heart.closeSubpath();
    return heart;
}

void PaintBottle(QPainter& painter, const QRectF& body, double neckWidth, double neckTop,
                 const QColor& glass, const QColor& cap) {
    const QPainterPath bottle = BottleShape(body, neckWidth, neckTop);
    QLinearGradient shade(body.left(), 0, body.right(), 0);
    shade.setColorAt(0.0, glass.lighter(130));
    shade.setColorAt(1.0, glass.darker(140));
    painter.setPen(Edge(glass));
    painter.setBrush(shade);
    painter.drawPath(bottle);
    const double cx = body.center().x();
    painter.setPen(Edge(cap, 0.8));
    painter.setBrush(cap);
    painter.drawRoundedRect(QRectF(cx - neckWidth / 2 - 0.8, neckTop - 3.5, neckWidth + 1.6, 4.0), 1.0, 1.0);
}

// 1: a legal speed tonic, a green bottle with a lightning bolt.
void SpeedTonic(QPainter& painter) {
    const QRectF body(9.0, 12.0, 14.0, 18.0);
    PaintBottle(painter, body, 5.0, 5.5, QColor(0x2E, 0x9A, 0x4A), QColor(0x9A, 0x6A, 0x3A));
    painter.setPen(Edge(QColor(0xF6, 0xF0, 0xDC), 0.6));
    painter.setBrush(QColor(0xF6, 0xF0, 0xDC));
    painter.drawRect(QRectF(9.5, 16.5, 13.0, 9.5));
    painter.setPen(QPen(QColor(0x9A, 0x60, 0x00), 0.6));
    painter.setBrush(QColor(0xFF, 0xC8, 0x10));
    painter.drawPath(Bolt({16.0, 21.2}, 4.2));
    Highlight(painter, QRectF(10.6, 13.5, 1.6, 14.0));
}

// 2: a first-aid kit.
void FirstAidKit(QPainter& painter) {
    painter.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(11.5, 4.5, 9.0, 6.0), 2.0, 2.0);
    QLinearGradient box(0, 9, 0, 28);
    box.setColorAt(0.0, QColor(0xFF, 0xFF, 0xFF));
    box.setColorAt(1.0, QColor(0xD8, 0xD8, 0xD8));
    painter.setPen(QPen(QColor(0xB0, 0x10, 0x10), 1.4));
    painter.setBrush(box);
    painter.drawRoundedRect(QRectF(3.5, 9.0, 25.0, 19.0), 3.0, 3.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE0, 0x18, 0x18));
    painter.drawPath(Cross({16.0, 18.5}, 6.5, 2.4));
}

// 3: a small blue diamond pill.
void BluePill(QPainter& painter) {
    QPainterPath pill = SmoothLoop({{16.0, 7.0}, {25.0, 15.0}, {26.5, 16.0}, {25.0, 17.0},
                                    {16.0, 25.0}, {7.0, 17.0}, {5.5, 16.0}, {7.0, 15.0}});
    QLinearGradient blue(8, 8, 24, 24);
    blue.setColorAt(0.0, QColor(0x7A, 0xA8, 0xFF));
    blue.setColorAt(1.0, QColor(0x1A, 0x3C, 0xB0));
    painter.setPen(Edge(QColor(0x2A, 0x50, 0xD0)));
    painter.setBrush(blue);
    painter.drawPath(pill);
    painter.setPen(QPen(QColor(0x14, 0x2C, 0x80, 150), 0.8));
    painter.drawLine(QPointF(12.0, 16.0), QPointF(20.0, 16.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawEllipse(QPointF(13.0, 12.6), 2.6, 1.3);
}

// 4: the illegal speed, a dark twist of powder.
void PowderWrap(QPainter& painter) {
    const QColor bag(0x2A, 0x22, 0x30);
    QPainterPath wrap;
    wrap.moveTo(13.4, 11.0);
    wrap.cubicTo(8.0, 14.0, 5.0, 20.0, 6.0, 25.0);
    wrap.cubicTo(7.0, 29.0, 25.0, 29.0, 26.0, 25.0);
    wrap.cubicTo(27.0, 20.0, 24.0, 14.0, 18.6, 11.0);
    wrap.closeSubpath();
    painter.setPen(Edge(bag, 1.0));
    painter.setBrush(bag);
    painter.drawPath(wrap);
    // The powder showing through the bottom of the wrap.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xEE, 0xEE, 0xF2));
    painter.drawPath(SmoothLoop({{9.0, 24.0}, {13.0, 20.6}, {16.0, 19.6}, {20.0, 20.8}, {23.4, 24.0}, {16.0, 26.8}}));
    // Twisted neck and the tuft above it.
    painter.setPen(Edge(bag, 0.8));
    painter.setBrush(bag.lighter(150));
    painter.drawPath(SmoothLoop({{12.0, 3.0}, {16.0, 6.0}, {20.0, 3.0}, {18.4, 8.0}, {16.0, 10.0}, {13.6, 8.0}}));
    painter.setPen(QPen(QColor(0xD0, 0x10, 0x10), 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(13.0, 10.4), QPointF(19.0, 10.4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.drawEllipse(QPointF(10.0, 18.0), 1.2, 3.0);
}

// 5: a stamina tonic in a tin.
void TonicTin(QPainter& painter) {
    const QRectF side(7.0, 7.0, 18.0, 21.0);
    QLinearGradient metal(side.left(), 0, side.right(), 0);
    metal.setColorAt(0.0, QColor(0xC8, 0xC8, 0xCC));
    metal.setColorAt(0.35, QColor(0xF4, 0xF4, 0xF6));
    metal.setColorAt(1.0, QColor(0x80, 0x80, 0x86));
    QPainterPath tin;
    tin.moveTo(side.left(), side.top() + 2.0);
    tin.lineTo(side.left(), side.bottom() - 2.0);
    tin.arcTo(QRectF(side.left(), side.bottom() - 4.0, side.width(), 4.0), 180, 180);
    tin.lineTo(side.right(), side.top() + 2.0);
    tin.closeSubpath();
    painter.setPen(Edge(QColor(0x90, 0x90, 0x96)));
    painter.setBrush(metal);
    painter.drawPath(tin);
    // Label band.
    QLinearGradient label(side.left(), 0, side.right(), 0);
    label.setColorAt(0.0, QColor(0xF0, 0x80, 0x20));
    label.setColorAt(1.0, QColor(0xB0, 0x48, 0x08));
    painter.setPen(Qt::NoPen);
    painter.setBrush(label);
    painter.drawRect(QRectF(side.left() + 0.5, 12.0, side.width() - 1.0, 12.0));
    painter.setBrush(QColor(0xFF, 0xFF, 0xFF));
    painter.drawPath(Heart({16.0, 18.2}, 4.0));
    // The lid.
    painter.setPen(Edge(QColor(0xA0, 0xA0, 0xA6), 0.8));
    painter.setBrush(QColor(0xE0, 0xE0, 0xE4));
    painter.drawEllipse(QRectF(side.left(), side.top(), side.width(), 4.0));
    Highlight(painter, QRectF(9.0, 9.5, 1.6, 16.0));
}

// 6: a syringe of adrenaline.
void Syringe(QPainter& painter) {
    painter.save();
    painter.translate(16.0, 16.0);
    painter.rotate(-45.0);
    // Needle, barrel with the red dose, flange and plunger, drawn pointing right.
    painter.setPen(QPen(QColor(0x70, 0x70, 0x78), 0.9, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(8.0, 0.0), QPointF(15.0, 0.0));
    painter.setPen(Edge(QColor(0x90, 0x90, 0x98), 0.8));
    painter.setBrush(QColor(0xB8, 0xB8, 0xC0));
    painter.drawRect(QRectF(6.0, -1.4, 2.4, 2.8));
    painter.setBrush(QColor(0xE8, 0xF2, 0xFA, 230));
    painter.drawRoundedRect(QRectF(-8.0, -3.6, 14.5, 7.2), 1.2, 1.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE0, 0x20, 0x30));
    painter.drawRect(QRectF(-1.5, -2.8, 7.6, 5.6));
    painter.setPen(QPen(QColor(0x50, 0x50, 0x58), 0.6));
    for (double x = -6.0; x <= 4.0; x += 2.5) painter.drawLine(QPointF(x, -3.6), QPointF(x, -1.6));
    painter.setPen(Edge(QColor(0x60, 0x60, 0x68), 0.8));
    painter.setBrush(QColor(0x80, 0x80, 0x88));
    painter.drawRect(QRectF(-9.6, -5.6, 1.6, 11.2));
    painter.drawRect(QRectF(-14.0, -1.0, 12.5, 2.0));
    painter.drawRect(QRectF(-15.2, -3.8, 1.4, 7.6));
    painter.restore();
}

// 7: a larger stamina tonic, an amber bottle with a red cap.
void LargeTonic(QPainter& painter) {
    const QRectF body(6.5, 10.5, 19.0, 20.5);
    PaintBottle(painter, body, 6.0, 4.5, QColor(0xB0, 0x62, 0x18), QColor(0xC8, 0x18, 0x18));
    painter.setPen(Edge(QColor(0xF6, 0xF0, 0xDC), 0.6));
    painter.setBrush(QColor(0xF6, 0xF0, 0xDC));
    painter.drawRect(QRectF(7.0, 15.0, 18.0, 11.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD0, 0x20, 0x20));
    painter.drawPath(Cross({16.0, 20.5}, 4.2, 1.5));
    Highlight(painter, QRectF(8.2, 12.0, 1.8, 16.5));
}

}  // namespace

void PaintProduct(QPainter& painter, int image, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kSide, target.height() / kSide);
    switch (image) {
        case 1: SpeedTonic(painter); break;
        case 2: FirstAidKit(painter); break;
        case 3: BluePill(painter); break;
        case 4: PowderWrap(painter); break;
        case 5: TonicTin(painter); break;
        case 6: Syringe(painter); break;
        case 7: LargeTonic(painter); break;
        default: break;
    }
    painter.restore();
}

}  // namespace resources
