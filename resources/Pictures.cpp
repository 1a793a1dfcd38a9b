#include "resources/Pictures.h"

#include <QColor>

namespace resources {

// Placeholder pictures until the drawn ones arrive.
QPixmap HorseBitmap(int id) {
    if (id < 101 || id > 149) return {};
    QPixmap p(48, 36);
    p.fill(QColor::fromHsv((id * 37) % 360, 160, 160));
    return p;
}
QIcon CoatIcon(int image) { return QIcon(HorseBitmap(image + 100).scaled(16, 16)); }
QPixmap ProductImage(int image) {
    if (image < 1 || image > 7) return {};
    QPixmap p(16, 16);
    p.fill(QColor::fromHsv(image * 50, 200, 200));
    return p;
}
QIcon ProductIcon(int image) { return QIcon(ProductImage(image)); }
QPixmap SplashPicture() {
    QPixmap p(400, 250);
    p.fill(Qt::darkGreen);
    return p;
}

}  // namespace resources
