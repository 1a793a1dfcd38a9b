#include "platform/Colours.h"

#include <QPalette>
#include <QWidget>
#include <array>

namespace platform {

QColor FromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

std::uint32_t ToBgr(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) | (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}

std::uint32_t GetSysColor(int index) {
    // The standard desktop scheme, 0x00BBGGRR.
    static constexpr std::array<std::uint32_t, 25> kTable = {
        0xC8D0D4,  // 0 scroll bar
        0xA56E3A,  // 1 background
        0x6A240A,  // 2 active caption
        0x808080,  // 3 inactive caption
        0xC8D0D4,  // 4 menu
        0xFFFFFF,  // 5 window
        0x000000,  // 6 window frame
        0x000000,  // 7 menu text
        0x000000,  // 8 window text
        0xFFFFFF,  // 9 caption text
        0xC8D0D4,  // 10 active border
        0xC8D0D4,  // 11 inactive border
        0x808080,  // 12 application workspace
        0x6A240A,  // 13 highlight
        0xFFFFFF,  // 14 highlighted text
        0xC8D0D4,  // 15 button face
        0x808080,  // 16 button shadow
        0x808080,  // 17 grey text
        0x000000,  // 18 button text
        0xC8D0D4,  // 19 inactive caption text
        0xFFFFFF,  // 20 button highlight
        0x404040,  // 21 3-D dark shadow
        0xC8D0D4,  // 22 3-D light
        0x000000,  // 23 tooltip text
        0xE1FFFF,  // 24 tooltip background
    };
    if (index < 0 || index >= static_cast<int>(kTable.size())) return 0;
    return kTable[static_cast<std::size_t>(index)];
}

void SetBackColor(QWidget* widget, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    const QColor colour = FromBgr(bgr);
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Button, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetForeColor(QWidget* widget, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    const QColor colour = FromBgr(bgr);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

}  // namespace platform
