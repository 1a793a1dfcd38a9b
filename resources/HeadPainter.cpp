// The coat icons: a head-and-neck portrait, drawn for 16 pixels, where the
// whole galloping figure would shrink to a smudge.
#include "resources/Coats.h"
#include "resources/HorsePainter.h"
#include "resources/Shapes.h"

#include <QPainter>
#include <QPen>

namespace resources {
namespace {

constexpr double kSide = 16.0;

QPainterPath NeckAndHead() {
    QPainterPath p;
    p.moveTo(1.0, 16.0);
    p.cubicTo(1.2, 10.4, 3.4, 5.6, 6.8, 2.8);      // crest
    p.cubicTo(7.6, 2.1, 8.8, 1.8, 9.8, 2.3);       // poll
    p.cubicTo(11.6, 3.6, 13.6, 6.4, 15.0, 8.6);    // face
    p.cubicTo(15.7, 9.7, 15.5, 11.4, 14.4, 11.9);  // muzzle
    p.cubicTo(13.6, 12.3, 12.6, 12.3, 11.8, 11.9); // chin
    p.cubicTo(10.6, 11.3, 9.2, 11.0, 8.6, 9.8);    // jaw and jowl
    p.cubicTo(8.6, 11.6, 9.4, 13.8, 10.4, 16.0);   // throat and underside of the neck
    p.closeSubpath();
    return p;
}

QPainterPath FaceOf(FaceMark mark) {
    switch (mark) {
        case FaceMark::None: return {};
        case FaceMark::Star: return SmoothLoop({{10.2, 3.2}, {11.4, 4.0}, {10.8, 5.0}, {9.8, 4.2}});
        case FaceMark::Stripe:
            return SmoothLoop({{10.0, 3.0}, {11.2, 3.6}, {14.6, 9.0}, {14.4, 10.2}, {13.6, 9.8}, {10.0, 4.2}});
        case FaceMark::Blaze:
            return SmoothLoop({{9.6, 2.6}, {11.6, 3.4}, {15.4, 8.8}, {15.4, 11.0}, {13.8, 11.0}, {12.2, 8.4}, {9.6, 4.4}});
        case FaceMark::Bald:
            return SmoothLoop({{9.2, 2.2}, {12.2, 3.8}, {16.0, 8.8}, {15.6, 12.4}, {12.8, 12.4}, {10.8, 8.6}, {9.0, 5.0}});
    }
    return {};
}

QPainterPath Mane() {
    // Locks falling to the left of the crest.
    QPainterPath m;
    m.moveTo(8.4, 2.2);
    m.cubicTo(6.6, 2.0, 5.0, 3.0, 4.0, 4.2);
    m.lineTo(4.6, 4.6);
    m.cubicTo(3.2, 5.6, 2.4, 7.0, 1.8, 8.4);
    m.lineTo(2.5, 8.6);
    m.cubicTo(1.4, 10.0, 0.8, 12.0, 0.4, 13.6);
    m.lineTo(1.2, 13.4);
    m.cubicTo(0.8, 14.4, 0.6, 15.2, 0.6, 16.0);
    m.lineTo(2.6, 16.0);
    m.cubicTo(2.6, 10.6, 4.6, 5.6, 8.6, 3.2);
    m.closeSubpath();
    return m;
}

QPainterPath Forelock() {
    QPainterPath f;
    f.moveTo(8.8, 2.0);
    f.cubicTo(10.4, 1.8, 11.6, 2.6, 12.0, 4.2);
    f.cubicTo(11.2, 3.6, 10.2, 3.4, 9.2, 3.4);
    f.closeSubpath();
    return f;
}

QPainterPath Ear() {
    QPainterPath e;
    e.moveTo(7.2, 2.8);
    e.cubicTo(6.8, 1.6, 6.8, 0.8, 7.2, 0.0);
    e.cubicTo(8.2, 0.8, 9.0, 1.6, 9.2, 2.4);
    e.closeSubpath();
    return e;
}

void PaintNeckPattern(QPainter& painter, const Coat& coat) {
    Scatter scatter(static_cast<std::uint32_t>(coat.body ^ coat.cloth));
    const QColor colour = QColor::fromRgb(coat.patternColour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    switch (coat.pattern) {
        case CoatPattern::Solid:
        case CoatPattern::Blanket:  // the blanket lies on the quarters, out of the picture
            break;
        case CoatPattern::Dapples:
            for (QPointF at : {QPointF(4.0, 12.0), QPointF(6.6, 9.0), QPointF(7.2, 13.6), QPointF(4.8, 7.6)}) {
                painter.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 190));
                painter.drawEllipse(at, 1.2, 1.1);
            }
            break;
        case CoatPattern::Roan:
        case CoatPattern::FleaBitten:
            for (int i = 0; i < 26; ++i)
                painter.drawEllipse(QPointF(scatter.Between(2.0, 9.0), scatter.Between(6.0, 16.0)), 0.35, 0.35);
            break;
        case CoatPattern::Tobiano:
            painter.drawPath(SmoothLoop({{0.0, 11.0}, {5.0, 9.0}, {9.6, 12.6}, {10.6, 16.6}, {0.0, 16.6}}));
            break;
        case CoatPattern::Overo:
            painter.drawPath(SmoothLoop({{5.0, 10.0}, {8.0, 11.0}, {8.6, 14.0}, {6.0, 15.0}, {4.2, 12.6}}));
            break;
        case CoatPattern::Leopard:
            for (QPointF at : {QPointF(4.0, 11.0), QPointF(7.0, 8.4), QPointF(7.4, 13.6), QPointF(3.6, 14.6),
                               QPointF(11.6, 6.4), QPointF(5.4, 6.0)})
                painter.drawEllipse(at, 0.9, 0.8);
            break;
    }
}

QPen Edge(const QColor& colour, double width) {
    QPen pen(Outline(colour), width);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

}  // namespace

void PaintHorseHead(QPainter& painter, const Coat& coat, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kSide, target.height() / kSide);

    const QColor body = QColor::fromRgb(coat.body);
    const QColor hair = QColor::fromRgb(coat.mane);
    const QPainterPath skin = NeckAndHead();
    painter.setPen(Edge(body, 0.7));
    painter.setBrush(body);
    painter.drawPath(skin);

    painter.save();
    painter.setClipPath(skin, Qt::IntersectClip);
    PaintNeckPattern(painter, coat);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF8, 0xF6, 0xF0));
    painter.drawPath(FaceOf(coat.face));
    painter.restore();

    painter.setPen(Edge(hair, 0.5));
    painter.setBrush(hair);
    painter.drawPath(Mane());
    painter.drawPath(Forelock());
    painter.setPen(Edge(body, 0.5));
    painter.setBrush(body);
    painter.drawPath(Ear());

    // Bridle in the saddle cloth's colour: the one mark of the stable's
    // colours that fits a head.
    const QColor cloth = QColor::fromRgb(coat.cloth);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(cloth, 1.0, Qt::SolidLine, Qt::RoundCap));
    QPainterPath bridle;
    bridle.moveTo(8.6, 2.8);
    bridle.lineTo(11.4, 10.8);
    bridle.moveTo(13.4, 7.2);
    bridle.lineTo(12.4, 12.0);
    painter.drawPath(bridle);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x10, 0x0C, 0x0A));
    painter.drawEllipse(QPointF(10.2, 5.2), 0.8, 0.75);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawEllipse(QPointF(14.4, 10.0), 0.5, 0.4);
    painter.restore();
}

}  // namespace resources
