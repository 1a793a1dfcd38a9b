#pragma once

#include <QRect>

class QWidget;

// Window geometry in twips, the unit every layout of the game is written in:
// 15 twips to a pixel.
namespace platform {

inline constexpr int kTwipsPerPixel = 15;

// Twips to whole pixels, rounded to the nearest pixel.
int Pixels(double twips);
double Twips(int pixels);
QRect TwipsRect(double left, double top, double width, double height);
// Places a widget at a position and size given in twips.
void PlaceTwips(QWidget* widget, double left, double top, double width, double height);

}  // namespace platform
