#pragma once

#include <array>

#include "online/LanProtocol.h"

class QLabel;
class QWidget;

namespace platform {
class PictureBox;
}

namespace online {

// The turf of a LAN race, the same on the host's screen and on every
// player's: a lane per slot, each with its horse's picture on the start line
// (hidden until the horse runs) and its title (horse and player) above it,
// with the lane lines and the finish post painted on.
struct LanTrack {
    platform::PictureBox* turf = nullptr;
    std::array<QLabel*, lan::kSlots> titles{};          // title(1..5)
    std::array<platform::PictureBox*, lan::kSlots> pictures{};  // picture(1..5)
    double firstLaneTop = 0;

    // The turf `turfName` across `panel` at `top`; lane 1 begins
    // `firstLaneTop` below its top edge (twips).
    static LanTrack Build(QWidget* panel, const char* turfName, const char* titleName, const char* pictureName,
                          double top, double firstLaneTop);
    // Where the lane of a slot begins on the turf (twips).
    double LaneTop(int slot) const;
};

}  // namespace online
