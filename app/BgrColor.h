#pragma once
// Colours are kept as the window system's 0x00BBGGRR values: blue in the high byte, red in
// the low one. 0xFF0000 is pure blue, 0x00FF00 pure green, 0xFFFF00 cyan.

#include <QColor>
#include <cstdint>

namespace tabsend {

inline QColor BgrColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFFU), static_cast<int>((bgr >> 8) & 0xFFU),
                  static_cast<int>((bgr >> 16) & 0xFFU));
}

}  // namespace tabsend
