#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <cstdint>
#include <initializer_list>
#include <span>

// Small drawing helpers shared by the picture painters.
namespace resources {

// A point on a limb's centre line and the limb's half-width there.
struct Joint {
    QPointF at;
    double radius;
};

// A smooth tapering limb through the joints: round at every joint, with
// straight tangent flanks between them.
QPainterPath Limb(std::span<const Joint> joints);
inline QPainterPath Limb(std::initializer_list<Joint> joints) {
    return Limb(std::span<const Joint>(joints.begin(), joints.size()));
}

// A closed smooth curve through the points (a Catmull-Rom loop).
QPainterPath SmoothLoop(std::initializer_list<QPointF> points);

// Blends a toward b: t = 0 gives a, t = 1 gives b.
QColor Mix(const QColor& a, const QColor& b, double t);

// The colour an outline or a shadow of this colour takes.
QColor Outline(const QColor& colour);

// A tiny deterministic generator, so a coat's spots fall the same way on
// every run and every machine.
class Scatter {
public:
    explicit Scatter(std::uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {
        if (state_ == 0) state_ = 1;  // the one state xorshift never leaves
    }
    // Uniform in [0, 1).
    double Next();
    double Between(double low, double high) { return low + (high - low) * Next(); }

private:
    std::uint32_t state_;
};

}  // namespace resources
