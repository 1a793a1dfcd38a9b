#include "online/LanTrack.h"

#include <QLabel>
#include <string>

#include "core/RaceStep.h"
#include "platform/Colours.h"
#include "platform/PictureBox.h"
#include "shell/PanelControls.h"

namespace online {

namespace {

constexpr std::uint32_t kTurf = 0x2E8B2E;
constexpr double kTrackWidth = 10215;
constexpr double kLaneHeight = 630;
constexpr double kHorseWidth = 720;
constexpr double kHorseHeight = 540;

std::string Indexed(const char* name, int index) { return std::string(name) + "(" + std::to_string(index) + ")"; }

}  // namespace

LanTrack LanTrack::Build(QWidget* panel, const char* turfName, const char* titleName, const char* pictureName,
                         double top, double firstLaneTop) {
    LanTrack t;
    t.firstLaneTop = firstLaneTop;
    t.turf = shell::MakePicture(panel, turfName, 0, top, kTrackWidth, lan::kSlots * kLaneHeight + 90);
    t.turf->SetBackColor(kTurf);
    for (int slot = 1; slot <= lan::kSlots; ++slot) {
        const auto i = static_cast<std::size_t>(slot - 1);
        const double lane = t.LaneTop(slot);
        t.titles[i] = shell::MakeLabel(t.turf, Indexed(titleName, slot).c_str(), QString(), 1200, lane + 30, 6000, 255);
        platform::SetForeColor(t.titles[i], 0xFFFFFF);
        t.pictures[i] = shell::MakePicture(t.turf, Indexed(pictureName, slot).c_str(), core::kStartLine, lane + 45,
                                           kHorseWidth, kHorseHeight);
        t.pictures[i]->SetBackColor(kTurf);
        t.pictures[i]->hide();
        // The names stay readable while the horses run past them.
        t.titles[i]->raise();
    }
    // A horse has finished when its nose would pass the post.
    shell::PaintRaceTrack(*t.turf, kTurf, lan::kSlots, t.LaneTop(1) - 45, kLaneHeight, lan::kLanFinish + kHorseWidth);
    return t;
}

double LanTrack::LaneTop(int slot) const { return firstLaneTop + (slot - 1) * kLaneHeight; }

}  // namespace online
