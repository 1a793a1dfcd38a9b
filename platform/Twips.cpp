#include "platform/Twips.h"

#include <QWidget>
#include <cmath>

namespace platform {

int Pixels(double twips) { return static_cast<int>(std::nearbyint(twips / kTwipsPerPixel)); }

double Twips(int pixels) { return static_cast<double>(pixels) * kTwipsPerPixel; }

QRect TwipsRect(double left, double top, double width, double height) {
    return QRect(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

void PlaceTwips(QWidget* widget, double left, double top, double width, double height) {
    widget->setGeometry(TwipsRect(left, top, width, height));
}

}  // namespace platform
