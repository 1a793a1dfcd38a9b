#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// Every picture of the game, drawn by our own code the first time it is asked
// for and kept in the pixmap cache after that. Call from the UI thread, with a
// QGuiApplication alive.
namespace resources {

// Picture number id:
//   101..145  the 45 horse coats, a galloping horse facing right, 48 x 36;
//   146       the arrow keys with the left key lit red, 96 x 64;
//   147       the arrow keys, none lit;
//   148       the arrow keys with the right key lit red;
//   149       an empty or dropped lobby slot, 48 x 36.
// Any other number gives a null pixmap.
QPixmap HorseBitmap(int id);

// The tree-view icon of coat 100 + image (image 1..45): head and neck, 16 x 16
// (with a 32 x 32 size for larger views). Any other image gives a null icon.
QIcon CoatIcon(int image);

// Images 1..7 of the drugs panel's image list, 32 x 32:
//   1 "Speed(X)", 2 "First AID", 3 "Viagra", 4 "Speed", 5 "Stamo-matic",
//   6 "Adrenaline Shots", 7 "Stamo-increase".
// Any other image gives a null pixmap (and a null icon).
QPixmap ProductImage(int image);
QIcon ProductIcon(int image);

// The start-up splash: the game's name over a race, 400 x 250.
QPixmap SplashPicture();

// The sizes at which the game's icon is drawn, as desktops look for them.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The game's icon, square, on a transparent background.
QImage GameIconImage(int side);
// The game's icon at every size, for the windows' title bars.
QIcon GameIcon();

}  // namespace resources
