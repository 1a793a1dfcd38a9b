#pragma once

#include <QIcon>
#include <QPixmap>

namespace resources {

// 101..145 coats, 146..148 arrow keys, 149 the empty lobby slot.
QPixmap HorseBitmap(int id);
QIcon CoatIcon(int image);
QPixmap ProductImage(int image);
QIcon ProductIcon(int image);
QPixmap SplashPicture();

}  // namespace resources
