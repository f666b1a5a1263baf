#pragma once
// Language codes: 16-bit values naming a display language. 1 English, 2 French, 4 Spanish,
// 8 German, 16 Italian, 0xF074 Brazil; every other language by the two lower-case letters of
// its ISO 639-1 code as two ASCII bytes, the first letter in the high byte.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tabsend {

struct LanguageCodeRow {
    std::int32_t code;
    std::string_view name;  // UTF-8
};

// All 186 rows, in ascending order of code.
std::span<const LanguageCodeRow> LanguageCodeTable();

// The English name of the language with this code, or, for a code without a row, the code
// in decimal digits (with a minus sign when negative).
std::string GetLanguageName(std::int32_t code);

}  // namespace tabsend
