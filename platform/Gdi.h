#pragma once

#include <QImage>
#include <QPoint>
#include <cstdint>

// Pens and lines on a picture's drawing surface, with the behaviour of the
// desktop's line calls: a line runs from the current position up to, but not
// including, its end point, which becomes the new current position.
namespace platform {

struct Pen {
    int style = 0;  // 0 solid
    int width = 1;
    std::uint32_t colour = 0;  // 0x00BBGGRR
};

class DeviceContext {
public:
    explicit DeviceContext(QImage& surface) : surface_(surface) {}

    // Selects a pen and returns the one it replaces.
    Pen SelectObject(const Pen& pen);
    void MoveToEx(int x, int y);
    void LineTo(int x, int y);

    QPoint CurrentPosition() const { return position_; }

private:
    void Plot(int x, int y);

    QImage& surface_;
    Pen pen_{};
    unsigned int penRgb_ = 0xFF000000u;
    QPoint position_{0, 0};
};

Pen CreatePen(int style, int width, std::uint32_t colour);

}  // namespace platform
