// The start-up splash: a race on a summer course under the game's name.
#include "resources/Coats.h"
#include "resources/HorsePainter.h"
#include "resources/Painters.h"
#include "resources/Shapes.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <array>

namespace resources {
namespace {

constexpr double kWidth = 400.0;
constexpr double kHeight = 250.0;
constexpr double kHorizon = 120.0;

void PaintSky(QPainter& painter) {
    QLinearGradient sky(0, 0, 0, kHorizon);
    sky.setColorAt(0.0, QColor(0x5E, 0x9C, 0xDC));
    sky.setColorAt(1.0, QColor(0xD8, 0xEA, 0xF6));
    painter.fillRect(QRectF(0, 0, kWidth, kHorizon + 2), sky);
    // Far hills.
    QPainterPath hills;
    hills.moveTo(0, kHorizon + 2);
    hills.lineTo(0, 104);
    hills.cubicTo(60, 90, 110, 112, 170, 102);
    hills.cubicTo(230, 92, 290, 110, 340, 98);
    hills.cubicTo(365, 93, 385, 96, kWidth, 100);
    hills.lineTo(kWidth, kHorizon + 2);
    hills.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x7A, 0xA8, 0x86));
    painter.drawPath(hills);
}

void PaintTurf(QPainter& painter) {
    QLinearGradient turf(0, kHorizon, 0, kHeight);
    turf.setColorAt(0.0, QColor(0x5C, 0xA4, 0x48));
    turf.setColorAt(1.0, QColor(0x2E, 0x7A, 0x2C));
    painter.fillRect(QRectF(0, kHorizon, kWidth, kHeight - kHorizon), turf);
    // Mowing stripes.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 18));
    for (double x = -200; x < kWidth; x += 56) {
        QPainterPath band;
        band.moveTo(x, kHeight);
        band.lineTo(x + 28, kHeight);
        band.lineTo(x + 28 + 130, kHorizon);
        band.lineTo(x + 130, kHorizon);
        band.closeSubpath();
        painter.drawPath(band);
    }
    // The running rail along the far side of the course.
    painter.setPen(QPen(QColor(0xF8, 0xF8, 0xF8), 2.0));
    painter.drawLine(QPointF(0, 128), QPointF(kWidth, 128));
    painter.setPen(QPen(QColor(0xE8, 0xE8, 0xE8), 1.4));
    for (double x = 6; x < kWidth; x += 24) painter.drawLine(QPointF(x, 128), QPointF(x, 137));
}

// One runner with its shadow on the grass.
void PaintRunner(QPainter& painter, int coat, QPointF at, double scale) {
    const QRectF place(at, QSizeF(kHorseWidth * scale, kHorseHeight * scale));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(QRectF(place.left() + 4 * scale, place.top() + 30 * scale, 40 * scale, 4 * scale));
    PaintHorse(painter, *CoatFor(coat), coat - 100, place);
}

void PaintTitle(QPainter& painter) {
    QFont font(QStringLiteral("Serif"));
    font.setStyleHint(QFont::Serif);
    font.setBold(true);
    font.setPixelSize(66);
    QPainterPath title;
    title.addText(0, 0, font, QStringLiteral("Trotwick"));
    const QRectF bounds = title.boundingRect();
    title.translate(kWidth / 2 - bounds.center().x(), 62 - bounds.center().y());

    painter.setBrush(QColor(0, 0, 0, 70));
    painter.setPen(Qt::NoPen);
    painter.drawPath(title.translated(3, 3));
    QLinearGradient gold(0, 30, 0, 94);
    gold.setColorAt(0.0, QColor(0xFF, 0xF2, 0xB0));
    gold.setColorAt(0.5, QColor(0xF2, 0xC2, 0x3A));
    gold.setColorAt(1.0, QColor(0xB8, 0x7A, 0x10));
    QPen edge(QColor(0x3A, 0x22, 0x08), 2.2);
    edge.setJoinStyle(Qt::RoundJoin);
    painter.setPen(edge);
    painter.setBrush(gold);
    painter.drawPath(title);
}

}  // namespace

void PaintSplash(QPainter& painter, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kWidth, target.height() / kHeight);
    PaintSky(painter);
    PaintTurf(painter);
    // Back runners first, smaller for the distance; the leader at the front.
    struct Runner { int coat; QPointF at; double scale; };
    constexpr std::array<Runner, 5> kField = {{
        {112, {52, 106}, 1.5},
        {117, {196, 104}, 1.5},
        {110, {4, 166}, 2.2},
        {106, {128, 170}, 2.2},
        {101, {262, 162}, 2.35},
    }};
    for (const Runner& runner : kField) PaintRunner(painter, runner.coat, runner.at, runner.scale);
    PaintTitle(painter);
    painter.restore();
}

}  // namespace resources
