#pragma once
// A 5x7 capital-letter font for rendering example strings.

#include <array>
#include <cstdint>

namespace tabsend::langgen {

// Five column bytes of a glyph, rows 0..6 of the letter in bits 0..6. False when the font
// has no glyph for the character (letters are looked up as capitals by the caller).
bool GlyphColumns(char32_t c, std::array<std::uint8_t, 5>& columns);

}  // namespace tabsend::langgen
