#pragma once

#include <QRectF>

class QPainter;

// The painters behind Pictures.h that are not horses. Each draws into any
// target rectangle, so one drawing serves every size.
namespace resources {

enum class LitKey { None, Left, Right };

// The inverted-T cluster of arrow keys, 96 x 64 in shape.
void PaintArrowKeys(QPainter& painter, LitKey lit, const QRectF& target);

// Product image 1..7 of the drugs panel, square.
inline constexpr int kFirstProduct = 1;
inline constexpr int kLastProduct = 7;
void PaintProduct(QPainter& painter, int image, const QRectF& target);

// The start-up splash, 400 x 250 in shape.
void PaintSplash(QPainter& painter, const QRectF& target);

// The game's icon, square (centred in a target of another shape).
void PaintGameIcon(QPainter& painter, const QRectF& target);

}  // namespace resources
