#include "resources/Shapes.h"

#include <QLineF>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

namespace resources {
namespace {

// The flanks of the hull of two circles: the outer tangents, as a polygon.
QPolygonF CapsuleFlanks(const Joint& a, const Joint& b) {
    const QPointF d = b.at - a.at;
    const double length = std::hypot(d.x(), d.y());
    if (length <= std::abs(a.radius - b.radius)) return {};  // one circle holds the other
    const double heading = std::atan2(d.y(), d.x());
    const double spread = std::acos((a.radius - b.radius) / length);
    auto on = [](const Joint& j, double angle) {
        return j.at + QPointF(std::cos(angle), std::sin(angle)) * j.radius;
    };
    return QPolygonF({on(a, heading + spread), on(b, heading + spread),
                      on(b, heading - spread), on(a, heading - spread)});
}

QPainterPath Disc(const Joint& j) {
    QPainterPath path;
    path.addEllipse(j.at, j.radius, j.radius);
    return path;
}

}  // namespace

QPainterPath Limb(std::span<const Joint> joints) {
    QPainterPath limb;
    const Joint* previous = nullptr;
    for (const Joint& joint : joints) {
        limb = limb.united(Disc(joint));
        if (previous) {
            QPainterPath flank;
            flank.addPolygon(CapsuleFlanks(*previous, joint));
            flank.closeSubpath();
            limb = limb.united(flank);
        }
        previous = &joint;
    }
    return limb.simplified();
}

QPainterPath SmoothLoop(std::initializer_list<QPointF> points) {
    const std::vector<QPointF> p(points);
    QPainterPath path;
    const std::size_t n = p.size();
    if (n < 3) return path;
    path.moveTo(p[0]);
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF& p0 = p[(i + n - 1) % n];
        const QPointF& p1 = p[i];
        const QPointF& p2 = p[(i + 1) % n];
        const QPointF& p3 = p[(i + 2) % n];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    path.closeSubpath();
    return path;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    auto blend = [t](int x, int y) { return static_cast<int>(std::nearbyint(x + (y - x) * t)); };
    return QColor(blend(a.red(), b.red()), blend(a.green(), b.green()),
                  blend(a.blue(), b.blue()), blend(a.alpha(), b.alpha()));
}

QColor Outline(const QColor& colour) {
    return Mix(colour, QColor(20, 14, 10), 0.6);
}

double Scatter::Next() {
    // xorshift32: plenty for placing spots.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return (state_ >> 8) * (1.0 / 16777216.0);
}

}  // namespace resources
