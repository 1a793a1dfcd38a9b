#pragma once

#include <QColor>
#include <QPointF>

class QPainter;

namespace resources {

// Writes a whole number in a 3 x 5 block font, centred on centre, each block
// cell being cell units square. Blocks stay crisp where a typeface at two or
// three pixels would blur into a smudge.
void PaintNumber(QPainter& painter, int number, QPointF centre, double cell, const QColor& ink);

}  // namespace resources
