#include "resources/PixelDigits.h"

#include <QPainter>
#include <array>
#include <cmath>
#include <vector>

namespace resources {
namespace {

// Rows top to bottom, three bits each (4 = left column).
constexpr std::array<std::array<int, 5>, 10> kGlyphs = {{
    {7, 5, 5, 5, 7},  // 0
    {2, 6, 2, 2, 7},  // 1
    {7, 1, 7, 4, 7},  // 2
    {7, 1, 3, 1, 7},  // 3
    {5, 5, 7, 1, 1},  // 4
    {7, 4, 7, 1, 7},  // 5
    {7, 4, 7, 5, 7},  // 6
    {7, 1, 1, 2, 2},  // 7
    {7, 5, 7, 5, 7},  // 8
    {7, 5, 7, 1, 7},  // 9
}};

}  // namespace

void PaintNumber(QPainter& painter, int number, QPointF centre, double cell, const QColor& ink) {
    if (number < 0) return;
    std::vector<int> digits;  // most significant first
    do {
        digits.insert(digits.begin(), number % 10);
        number /= 10;
    } while (number > 0);
    const double width = (4.0 * static_cast<double>(digits.size()) - 1.0) * cell;
    // Snap to whole cells so every block covers whole pixels at the natural size.
    const QPointF corner = centre - QPointF(width / 2.0, 2.5 * cell);
    const QPointF origin(std::floor(corner.x() / cell) * cell, std::floor(corner.y() / cell) * cell);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t d = 0; d < digits.size(); ++d) {
        const auto& glyph = kGlyphs[static_cast<std::size_t>(digits[d])];
        const double left = origin.x() + 4.0 * cell * static_cast<double>(d);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (glyph[static_cast<std::size_t>(row)] & (4 >> col))
                    painter.drawRect(QRectF(left + col * cell, origin.y() + row * cell, cell, cell));
    }
    painter.restore();
}

}  // namespace resources
