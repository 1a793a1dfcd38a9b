#pragma once

#include <QColor>
#include <cstdint>

class QWidget;

// Colours as the game writes them: 0x00BBGGRR, red in the low byte.
namespace platform {

QColor FromBgr(std::uint32_t bgr);
std::uint32_t ToBgr(const QColor& colour);

// The classic desktop colour table: index 0..24 (button face is 15).
// Returns 0x00BBGGRR.
std::uint32_t GetSysColor(int index);

// Sets a widget's background (and, if given, text) colour.
void SetBackColor(QWidget* widget, std::uint32_t bgr);
void SetForeColor(QWidget* widget, std::uint32_t bgr);

}  // namespace platform
