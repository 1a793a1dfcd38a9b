#pragma once

#include <QRectF>

class QPainter;

namespace resources {

struct Coat;

// The horse is drawn on a 48 x 36 canvas (the race-lane size); the painter
// scales it to any target of that shape.
inline constexpr double kHorseWidth = 48.0;
inline constexpr double kHorseHeight = 36.0;

// A galloping horse in side view facing right, wearing the coat and a saddle
// cloth with the given number (0 leaves the cloth plain).
void PaintHorse(QPainter& painter, const Coat& coat, int number, const QRectF& target);

// Head and neck facing right, for the 16-pixel tree icons; drawn on a 16 x 16
// canvas scaled to target.
void PaintHorseHead(QPainter& painter, const Coat& coat, const QRectF& target);

// The place of a horse that is not there: a faint dashed outline of the
// galloping horse on the same 48 x 36 canvas.
void PaintEmptyHorse(QPainter& painter, const QRectF& target);

}  // namespace resources
