#include "resources/HorsePainter.h"

#include "resources/Coats.h"
#include "resources/PixelDigits.h"
#include "resources/Shapes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <array>
#include <cmath>
#include <span>

namespace resources {
namespace {

// ---------------------------------------------------------------------------
// The galloping figure, in canvas units (48 x 36, y downwards).

// One leg's chain of joints from the top of the limb to the hoof: shoulder
// or hip, elbow or stifle, knee or hock, fetlock, and the coronet above the hoof.
using Leg = std::array<Joint, 5>;
constexpr std::size_t kKnee = 2;     // the lower leg, coloured with the points
constexpr std::size_t kFetlock = 3;  // where a sock begins

// Near fore reaching forward, far fore folded under the chest, near hind
// driving back, far hind swinging forward under the belly: the moment of a
// gallop stride that reads best at a small size.
constexpr std::array<Leg, kLegs> kLegJoints = {{
    {{{{31.0, 17.0}, 3.3}, {{31.6, 22.2}, 2.2}, {{36.4, 26.0}, 1.3}, {{40.8, 29.4}, 1.05}, {{42.8, 30.8}, 1.05}}},
    {{{{28.6, 17.0}, 3.0}, {{28.6, 22.0}, 2.0}, {{33.0, 26.4}, 1.25}, {{30.4, 30.4}, 1.0}, {{31.6, 32.2}, 1.0}}},
    {{{{14.6, 16.6}, 4.6}, {{14.2, 22.0}, 2.6}, {{9.0, 25.6}, 1.4}, {{4.8, 30.0}, 1.0}, {{3.6, 31.8}, 1.05}}},
    {{{{18.4, 17.0}, 3.6}, {{19.0, 21.8}, 2.1}, {{16.6, 27.4}, 1.3}, {{21.0, 30.4}, 0.95}, {{23.0, 31.4}, 1.0}}},
}};
constexpr int kNearFore = 0, kFarFore = 1, kNearHind = 2, kFarHind = 3;

const Leg& LegOf(int index) { return kLegJoints[static_cast<std::size_t>(index)]; }

// The leg from joint `from` down to the hoof.
QPainterPath LegPath(const Leg& leg, std::size_t from) {
    return Limb(std::span<const Joint>(leg).subspan(from));
}

// A stocking reaches halfway up the cannon: a limb from the cannon's middle.
QPainterPath StockingPath(const Leg& leg) {
    const Joint mid{(leg[kKnee].at + leg[kFetlock].at) / 2.0,
                    (leg[kKnee].radius + leg[kFetlock].radius) / 2.0};
    return Limb({mid, leg[kFetlock], leg[4]});
}

// The hoof: a small wedge beyond the last joint, pointing along the pastern.
QPainterPath HoofPath(const Leg& leg) {
    const Joint& pastern = leg[kFetlock];
    const Joint& end = leg[4];
    QPointF along = end.at - pastern.at;
    along /= std::hypot(along.x(), along.y());
    const QPointF across(-along.y(), along.x());
    const double w = end.radius * 1.15;
    QPainterPath hoof;
    hoof.moveTo(end.at - along * 0.3 + across * w);
    hoof.lineTo(end.at + along * 1.5 + across * (w * 1.15));
    hoof.quadTo(end.at + along * 1.9, end.at + along * 1.6 - across * (w * 1.1));
    hoof.lineTo(end.at - along * 0.3 - across * w);
    hoof.closeSubpath();
    return hoof;
}

// Barrel, neck and head in one outline, starting at the root of the tail.
QPainterPath BodyPath() {
    QPainterPath p;
    p.moveTo(11.2, 12.4);
    p.cubicTo(13.8, 10.0, 18.0, 10.1, 21.0, 11.4);   // croup
    p.cubicTo(24.0, 12.4, 26.6, 11.2, 28.6, 9.6);    // back to withers
    p.cubicTo(31.4, 7.2, 35.0, 2.8, 39.0, 1.8);      // crest of the neck
    p.cubicTo(40.0, 1.5, 41.0, 1.8, 41.7, 2.5);      // poll to forehead
    p.cubicTo(43.6, 4.4, 45.8, 7.0, 47.4, 9.2);      // face
    p.cubicTo(48.0, 10.1, 47.9, 11.6, 47.0, 12.4);   // nose and upper lip
    p.cubicTo(46.4, 12.9, 45.6, 13.0, 44.9, 12.9);   // lower lip
    p.cubicTo(44.2, 12.8, 43.8, 12.5, 43.3, 12.2);   // chin
    p.cubicTo(42.2, 11.6, 41.2, 11.2, 40.2, 11.0);   // jaw
    p.cubicTo(38.9, 10.7, 38.1, 9.6, 38.3, 8.4);     // round of the jowl up to the throat
    p.cubicTo(36.8, 10.6, 35.2, 13.4, 34.6, 16.0);   // underside of the neck
    p.cubicTo(34.0, 18.2, 33.0, 20.2, 31.2, 21.6);   // chest
    p.cubicTo(27.6, 23.4, 21.6, 23.4, 17.6, 22.2);   // belly
    p.cubicTo(14.2, 21.2, 11.2, 20.0, 10.2, 17.4);   // flank and thigh
    p.cubicTo(9.4, 15.4, 9.8, 13.2, 11.2, 12.4);     // buttock
    p.closeSubpath();
    return p;
}

// The part of the outline that is head, for markings and the roan's dark head.
QPainterPath HeadPath() {
    // Everything in front of the line from the poll to the throat.
    QPainterPath box;
    box.moveTo(39.4, 0.0);
    box.lineTo(48.0, 0.0);
    box.lineTo(48.0, 14.0);
    box.lineTo(37.6, 14.0);
    box.lineTo(38.3, 8.4);
    box.lineTo(39.2, 1.6);
    box.closeSubpath();
    return BodyPath().intersected(box);
}

QPainterPath TailPath() {
    QPainterPath t;
    t.moveTo(11.6, 12.2);
    t.cubicTo(8.0, 10.6, 4.2, 11.0, 1.0, 14.6);
    t.cubicTo(2.6, 14.4, 3.6, 14.8, 4.4, 15.2);
    t.cubicTo(3.2, 15.8, 2.4, 16.8, 1.8, 18.0);
    t.cubicTo(4.6, 16.4, 7.6, 15.4, 10.8, 15.6);
    t.closeSubpath();
    return t;
}

// The mane flies back from the crest in a row of locks.
QPainterPath ManePath() {
    QPainterPath m;
    m.moveTo(39.4, 2.2);
    m.cubicTo(38.0, 1.6, 36.6, 2.2, 35.6, 2.6);
    m.lineTo(36.0, 3.6);
    m.cubicTo(34.6, 3.6, 33.4, 4.4, 32.4, 5.0);
    m.lineTo(33.0, 5.8);
    m.cubicTo(31.6, 6.0, 30.4, 6.8, 29.4, 7.6);
    m.lineTo(30.0, 8.2);
    m.cubicTo(28.8, 8.6, 27.8, 9.2, 27.2, 9.8);
    m.cubicTo(28.6, 9.8, 29.6, 9.2, 30.8, 8.4);
    m.cubicTo(33.2, 6.4, 36.0, 3.6, 39.6, 3.2);
    m.closeSubpath();
    return m;
}

QPainterPath ForelockPath() {
    QPainterPath f;
    f.moveTo(40.2, 2.2);
    f.cubicTo(41.6, 2.0, 42.6, 2.8, 43.0, 4.2);
    f.cubicTo(42.2, 3.8, 41.4, 3.6, 40.6, 3.6);
    f.closeSubpath();
    return f;
}

QPainterPath EarPath() {
    QPainterPath e;
    e.moveTo(38.9, 2.8);
    e.cubicTo(38.4, 1.6, 38.4, 0.8, 38.8, 0.0);
    e.cubicTo(39.8, 0.6, 40.6, 1.6, 40.9, 2.6);
    e.closeSubpath();
    return e;
}

QPainterPath FaceMarkPath(FaceMark mark) {
    QPainterPath p;
    switch (mark) {
        case FaceMark::None:
            break;
        case FaceMark::Star:
            p = SmoothLoop({{42.4, 3.4}, {43.5, 4.0}, {43.0, 5.0}, {42.0, 4.4}});
            break;
        case FaceMark::Stripe:
            p = SmoothLoop({{42.2, 3.2}, {43.2, 3.7}, {47.0, 9.4}, {46.9, 10.4}, {46.2, 10.2}, {42.2, 4.4}});
            break;
        case FaceMark::Blaze:
            p = SmoothLoop({{41.6, 2.8}, {43.6, 3.6}, {47.8, 9.2}, {47.8, 12.0}, {46.4, 12.2}, {45.2, 9.8}, {41.8, 4.8}});
            break;
        case FaceMark::Bald:
            p = SmoothLoop({{41.2, 2.6}, {44.4, 4.6}, {48.2, 9.4}, {48.0, 13.2}, {44.6, 13.4}, {43.0, 10.0}, {40.8, 6.0}});
            break;
    }
    return p;
}

// ---------------------------------------------------------------------------
// Coat patterns, each clipped to the skin by the caller.

void PaintDapples(QPainter& painter, const Coat& coat, Scatter& scatter) {
    const QColor light = QColor::fromRgb(coat.patternColour);
    for (int i = 0; i < 26; ++i) {
        const QPointF at(scatter.Between(11.0, 31.0), scatter.Between(11.0, 22.0));
        const double r = scatter.Between(0.8, 1.3);
        QRadialGradient ring(at, r);
        ring.setColorAt(0.0, QColor(light.red(), light.green(), light.blue(), 40));
        ring.setColorAt(0.65, QColor(light.red(), light.green(), light.blue(), 170));
        ring.setColorAt(1.0, QColor(light.red(), light.green(), light.blue(), 0));
        painter.setBrush(ring);
        painter.drawEllipse(at, r, r);
    }
}

void PaintSpecks(QPainter& painter, const QColor& colour, int count, double size,
                 const QRectF& area, Scatter& scatter) {
    painter.setBrush(colour);
    for (int i = 0; i < count; ++i) {
        const QPointF at(scatter.Between(area.left(), area.right()),
                         scatter.Between(area.top(), area.bottom()));
        painter.drawEllipse(at, size, size);
    }
}

void PaintSpots(QPainter& painter, const QColor& colour, int count, const QRectF& area,
                Scatter& scatter) {
    painter.setBrush(colour);
    for (int i = 0; i < count; ++i) {
        const QPointF at(scatter.Between(area.left(), area.right()),
                         scatter.Between(area.top(), area.bottom()));
        const double rx = scatter.Between(0.7, 1.25);
        painter.drawEllipse(at, rx, rx * scatter.Between(0.7, 1.0));
    }
}

// A soft patch: a loop of points around a centre at varying distances.
QPainterPath Blob(QPointF centre, double rx, double ry, Scatter& scatter) {
    const double k = 0.7071;
    auto at = [&](double dx, double dy) {
        const double f = scatter.Between(0.75, 1.2);
        return centre + QPointF(dx * rx * f, dy * ry * f);
    };
    return SmoothLoop({at(1, 0), at(k, k), at(0, 1), at(-k, k), at(-1, 0), at(-k, -k), at(0, -1), at(k, -k)});
}

void PaintPatches(QPainter& painter, const Coat& coat, Scatter& scatter) {
    painter.setBrush(QColor::fromRgb(coat.patternColour));
    if (coat.pattern == CoatPattern::Tobiano) {
        // Tobiano white comes down over the back and the shoulder.
        painter.drawPath(Blob({scatter.Between(20.0, 24.0), 13.0}, scatter.Between(3.0, 4.5), 7.0, scatter));
        painter.drawPath(Blob({scatter.Between(12.0, 14.5), 16.0}, 3.0, scatter.Between(4.0, 6.0), scatter));
        painter.drawPath(Blob({31.5, scatter.Between(9.0, 13.0)}, 2.6, 3.0, scatter));
    } else {
        // Overo white spreads up from the belly over the flank, the shoulder
        // and the neck in ragged splashes, and never crosses the back.
        painter.drawPath(Blob({scatter.Between(14.0, 16.0), 20.0}, 3.4, scatter.Between(2.6, 3.4), scatter));
        painter.drawPath(Blob({scatter.Between(31.0, 32.4), 17.8}, 2.2, 3.2, scatter));
        painter.drawPath(Blob({34.2, scatter.Between(10.0, 12.0)}, 1.8, 2.2, scatter));
        painter.drawPath(Blob({23.5, 21.6}, 4.0, 1.6, scatter));
    }
}

void PaintBlanket(QPainter& painter, const Coat& coat, Scatter& scatter) {
    painter.setBrush(QColor::fromRgb(coat.patternColour));
    const QPainterPath blanket = SmoothLoop({{8.0, 11.0}, {15.0, 9.6}, {21.5, 10.6}, {22.6, 15.0},
                                             {20.0, 20.5}, {14.0, 21.8}, {8.0, 18.0}});
    painter.drawPath(blanket);
    painter.save();
    painter.setClipPath(blanket, Qt::IntersectClip);
    PaintSpots(painter, QColor::fromRgb(coat.body), 9, QRectF(10.0, 10.5, 11.5, 10.0), scatter);
    painter.restore();
}

void PaintPattern(QPainter& painter, const Coat& coat, int seed) {
    Scatter scatter(static_cast<std::uint32_t>(seed));
    painter.setPen(Qt::NoPen);
    switch (coat.pattern) {
        case CoatPattern::Solid:
            break;
        case CoatPattern::Dapples:
            PaintDapples(painter, coat, scatter);
            break;
        case CoatPattern::Roan:
            PaintSpecks(painter, QColor::fromRgb(coat.patternColour), 150, 0.28,
                        QRectF(10.0, 8.0, 28.0, 16.0), scatter);
            break;
        case CoatPattern::FleaBitten:
            PaintSpecks(painter, QColor::fromRgb(coat.patternColour), 90, 0.22,
                        QRectF(10.0, 2.0, 38.0, 30.0), scatter);
            break;
        case CoatPattern::Tobiano:
        case CoatPattern::Overo:
            PaintPatches(painter, coat, scatter);
            break;
        case CoatPattern::Leopard:
            PaintSpots(painter, QColor::fromRgb(coat.patternColour), 34, QRectF(9.0, 3.0, 36.0, 27.0), scatter);
            break;
        case CoatPattern::Blanket:
            PaintBlanket(painter, coat, scatter);
            break;
    }
}

// ---------------------------------------------------------------------------

QPen OutlinePen(const QColor& colour, double width = 0.7) {
    QPen pen(Outline(colour), width);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

LegMark MarkOf(const Coat& coat, int leg) {
    // Tobiano white always runs down the legs.
    if (coat.pattern == CoatPattern::Tobiano) return LegMark::Stocking;
    return coat.legs[static_cast<std::size_t>(leg)];
}

// Paints a leg's lower part and markings over the leg, then its hoof.
// Far legs are dimmed by shade (0 for the near side).
void PaintLowerLeg(QPainter& painter, const Coat& coat, int index, double shade) {
    const Leg& leg = LegOf(index);
    const LegMark mark = MarkOf(coat, index);
    if (coat.points != coat.body) {
        const QColor points = QColor::fromRgb(coat.points);
        painter.setPen(OutlinePen(points, 0.5));
        painter.setBrush(points);
        painter.drawPath(LegPath(leg, kKnee));
    }
    if (mark != LegMark::None) {
        const QColor white(0xF6, 0xF4, 0xEE);
        painter.setPen(OutlinePen(white, 0.5));
        painter.setBrush(white);
        painter.drawPath(mark == LegMark::Stocking ? StockingPath(leg) : LegPath(leg, kFetlock));
    }
    if (shade > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, static_cast<int>(255 * shade)));
        painter.drawPath(LegPath(leg, kKnee));
    }
    // White legs grow pale horn; dark legs dark horn.
    const QColor horn = mark == LegMark::None ? QColor(0x3A, 0x32, 0x2C) : QColor(0x9A, 0x86, 0x6A);
    painter.setPen(OutlinePen(horn, 0.5));
    painter.setBrush(Mix(horn, Qt::black, shade));
    painter.drawPath(HoofPath(leg));
}

void PaintFarLeg(QPainter& painter, const Coat& coat, int index) {
    constexpr double kFarShade = 0.28;
    const QColor body = QColor::fromRgb(coat.body);
    painter.setPen(OutlinePen(body));
    painter.setBrush(Mix(body, Qt::black, kFarShade));
    painter.drawPath(LegPath(LegOf(index), 0));
    PaintLowerLeg(painter, coat, index, kFarShade);
}

void PaintTail(QPainter& painter, const Coat& coat) {
    const QColor hair = QColor::fromRgb(coat.mane);
    painter.setPen(OutlinePen(hair, 0.6));
    painter.setBrush(hair);
    painter.drawPath(TailPath());
    // A few strands give the tail its flow.
    painter.setPen(QPen(Mix(hair, Qt::black, 0.3), 0.35, Qt::SolidLine, Qt::RoundCap));
    QPainterPath strands;
    strands.moveTo(10.4, 13.4);
    strands.cubicTo(7.0, 12.6, 4.4, 13.0, 2.4, 14.6);
    strands.moveTo(9.8, 14.6);
    strands.cubicTo(7.0, 14.4, 4.8, 15.2, 3.0, 16.8);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(strands);
}

// The dark line along the spine of duns.
void PaintDorsalStripe(QPainter& painter, const Coat& coat) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgb(coat.mane), 0.6, Qt::SolidLine, Qt::RoundCap));
    QPainterPath stripe;
    stripe.moveTo(11.6, 12.4);
    stripe.cubicTo(14.0, 10.4, 18.0, 10.5, 21.0, 11.8);
    stripe.cubicTo(24.0, 12.8, 26.6, 11.6, 28.8, 10.0);
    painter.drawPath(stripe);
}

// Light from above: a sheen on the back and a shadow along the belly.
void PaintShading(QPainter& painter) {
    QLinearGradient light(0, 2, 0, 24);
    light.setColorAt(0.0, QColor(255, 255, 255, 60));
    light.setColorAt(0.35, QColor(255, 255, 255, 0));
    light.setColorAt(0.7, QColor(0, 0, 0, 0));
    light.setColorAt(1.0, QColor(0, 0, 0, 70));
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.drawRect(QRectF(0, 0, kHorseWidth, kHorseHeight));
    // Muscle lines of the shoulder and the thigh.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0, 55), 0.45, Qt::SolidLine, Qt::RoundCap));
    QPainterPath lines;
    lines.moveTo(28.4, 11.0);
    lines.cubicTo(28.6, 14.0, 29.4, 17.0, 30.8, 19.6);
    lines.moveTo(11.8, 18.6);
    lines.cubicTo(14.4, 18.6, 16.8, 17.6, 18.2, 15.0);
    painter.drawPath(lines);
}

void PaintHeadDetails(QPainter& painter, const Coat& coat) {
    const QColor body = QColor::fromRgb(coat.body);
    painter.setPen(Qt::NoPen);
    if (coat.face != FaceMark::None) {
        painter.save();
        painter.setClipPath(HeadPath(), Qt::IntersectClip);
        painter.setBrush(QColor(0xF8, 0xF6, 0xF0));
        painter.drawPath(FaceMarkPath(coat.face));
        painter.restore();
    }
    const QColor hair = QColor::fromRgb(coat.mane);
    painter.setPen(OutlinePen(hair, 0.45));
    painter.setBrush(hair);
    painter.drawPath(ManePath());
    painter.drawPath(ForelockPath());
    painter.setPen(OutlinePen(body, 0.5));
    painter.setBrush(body);
    painter.drawPath(EarPath());
    // Eye and nostril.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x10, 0x0C, 0x0A));
    painter.drawEllipse(QPointF(42.2, 5.0), 0.65, 0.58);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QPointF(42.4, 4.8), 0.18, 0.18);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawEllipse(QPointF(46.7, 10.7), 0.5, 0.34);
}

void PaintTack(QPainter& painter, const Coat& coat, int number) {
    const QColor cloth = QColor::fromRgb(coat.cloth);
    // Bridle in the cloth's colour: noseband, cheek piece and the rein.
    QPen strap(cloth, 0.55, Qt::SolidLine, Qt::RoundCap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(strap);
    QPainterPath bridle;
    bridle.moveTo(46.2, 7.8);
    bridle.lineTo(43.4, 11.4);
    bridle.moveTo(40.4, 2.6);
    bridle.lineTo(44.4, 11.8);
    painter.drawPath(bridle);
    painter.setPen(QPen(Outline(cloth), 0.45, Qt::SolidLine, Qt::RoundCap));
    QPainterPath rein;
    rein.moveTo(44.4, 11.8);
    rein.cubicTo(40.0, 11.0, 34.0, 10.0, 29.8, 11.8);
    painter.drawPath(rein);

    // Saddle cloth, edged in white, with the number.
    const QRectF clothRect(19.2, 11.4, 9.4, 7.2);
    const bool pale = qGray(coat.cloth) > 200;
    painter.setPen(QPen(pale ? QColor(0x80, 0x80, 0x80) : QColor(0xFA, 0xFA, 0xFA), 0.6));
    painter.setBrush(cloth);
    painter.drawRoundedRect(clothRect, 1.2, 1.2);
    // The saddle sits on top of the cloth.
    painter.setPen(OutlinePen(QColor(0x3A, 0x24, 0x16), 0.4));
    painter.setBrush(QColor(0x5A, 0x36, 0x20));
    QPainterPath saddle;
    saddle.moveTo(20.2, 11.6);
    saddle.cubicTo(22.4, 12.6, 25.4, 12.4, 27.8, 10.6);
    saddle.lineTo(27.6, 12.0);
    saddle.cubicTo(25.2, 13.6, 22.2, 13.6, 20.0, 12.6);
    saddle.closeSubpath();
    painter.drawPath(saddle);
    if (number > 0) {
        const QColor ink = qGray(coat.cloth) > 150 ? QColor(0x10, 0x10, 0x10) : QColor(0xFF, 0xFF, 0xFF);
        PaintNumber(painter, number, QPointF(24.0, 13.5), 1.0, ink);
    }
}

}  // namespace

void PaintHorse(QPainter& painter, const Coat& coat, int number, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kHorseWidth, target.height() / kHorseHeight);

    PaintFarLeg(painter, coat, kFarHind);
    PaintFarLeg(painter, coat, kFarFore);
    PaintTail(painter, coat);

    const QColor body = QColor::fromRgb(coat.body);
    const QPainterPath skin =
        BodyPath().united(LegPath(LegOf(kNearFore), 0)).united(LegPath(LegOf(kNearHind), 0));
    painter.setPen(OutlinePen(body, 0.8));
    painter.setBrush(body);
    painter.drawPath(skin);

    painter.save();
    // The roan's white hairs leave head and legs dark.
    painter.setClipPath(coat.pattern == CoatPattern::Roan ? BodyPath().subtracted(HeadPath()) : skin,
                        Qt::IntersectClip);
    PaintPattern(painter, coat, number);
    painter.restore();

    PaintLowerLeg(painter, coat, kNearHind, 0.0);
    PaintLowerLeg(painter, coat, kNearFore, 0.0);

    painter.save();
    painter.setClipPath(BodyPath(), Qt::IntersectClip);
    if (coat.dorsalStripe) PaintDorsalStripe(painter, coat);
    PaintShading(painter);
    painter.restore();

    PaintHeadDetails(painter, coat);
    PaintTack(painter, coat, number);
    painter.restore();
}

void PaintEmptyHorse(QPainter& painter, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kHorseWidth, target.height() / kHorseHeight);
    QPainterPath ghost = BodyPath().united(TailPath());
    for (const Leg& leg : kLegJoints) ghost = ghost.united(LegPath(leg, 0));
    painter.setBrush(QColor(0x80, 0x80, 0x80, 40));
    QPen dashes(QColor(0x60, 0x60, 0x60, 220), 0.8, Qt::DashLine, Qt::RoundCap);
    dashes.setDashPattern({2.5, 2.0});
    painter.setPen(dashes);
    painter.drawPath(ghost);
    painter.restore();
}

}  // namespace resources
