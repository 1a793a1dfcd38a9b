#pragma once

#include <QString>
#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace platform {
class PictureBox;
}

// Small factories for the controls the screens are built of, placed in twips
// and named as the game names them.
namespace shell {

// The name of element `index` of a control array, as the game names it:
// "Lobby(3)".
std::string IndexedName(const char* name, int index);

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, double left, double top,
                        double width, double height);
// A label with no background of its own, so a painted panel shows through.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, double left, double top, double width,
                  double height);
// A bold line, wrapped and centred, where a small window tells the player
// what became of what they just did there.
QLabel* MakeStatusLine(QWidget* parent, const char* name, double left, double top, double width, double height);
// A one-line box that takes only what the game's text can hold (see
// platform::GameTextValidator).
QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QString& text, double left, double top,
                       double width, double height);
// Holds a box whose text the game saves (a name, a contact, the server
// address) to the longest text the save file gives back whole.
void LimitToSavedLength(QLineEdit& box);
QRadioButton* MakeOption(QWidget* parent, const char* name, const QString& caption, double left, double top,
                         double width, double height);
platform::PictureBox* MakePicture(QWidget* parent, const char* name, double left, double top, double width,
                                  double height);

// Shows a bitmap resource (a coat 101..145 or an arrow-key picture 146..148)
// fitted into the picture box.
void ShowBitmap(platform::PictureBox& box, int id);
// Moves a widget across its parent to a horizontal position in twips.
void MoveToLeft(QWidget* widget, double leftTwips);

// Where a runner's picture stands (twips) on a track whose post is at its
// right edge, for a race run to `finish`: in proportion to the way there, so
// that a runner at the finish, or past it, stands with its nose at the post
// and no picture leaves the track.
double LeftOnTrack(double left, double finish, double trackWidth, double pictureWidth);

// Paints a race track: the turf, a white line above each lane and below the
// last, and a chequered post where a horse's nose passes the finish (at the
// right edge when the post would lie beyond it). Twips throughout.
void PaintRaceTrack(platform::PictureBox& track, std::uint32_t turfBgr, int lanes, double firstLineTop,
                    double laneHeight, double postLeft);

}  // namespace shell
