#include "platform/Gdi.h"

#include <cstdlib>

#include "platform/Colours.h"

namespace platform {

Pen CreatePen(int style, int width, std::uint32_t colour) { return Pen{style, width, colour}; }

Pen DeviceContext::SelectObject(const Pen& pen) {
    const Pen previous = pen_;
    pen_ = pen;
    penRgb_ = FromBgr(pen.colour).rgb();
    return previous;
}

void DeviceContext::MoveToEx(int x, int y) { position_ = QPoint(x, y); }

void DeviceContext::Plot(int x, int y) {
    if (x < 0 || y < 0 || x >= surface_.width() || y >= surface_.height()) return;
    if (surface_.depth() == 32) {
        reinterpret_cast<QRgb*>(surface_.scanLine(y))[x] = penRgb_;
    } else {
        surface_.setPixel(x, y, penRgb_);
    }
}

void DeviceContext::LineTo(int x1, int y1) {
    // Bresenham from the current position, the end point left out.
    int x = position_.x();
    int y = position_.y();
    const int dx = std::abs(x1 - x);
    const int dy = -std::abs(y1 - y);
    const int sx = x < x1 ? 1 : -1;
    const int sy = y < y1 ? 1 : -1;
    int error = dx + dy;
    while (x != x1 || y != y1) {
        Plot(x, y);
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y += sy;
        }
    }
    position_ = QPoint(x1, y1);
}

}  // namespace platform
