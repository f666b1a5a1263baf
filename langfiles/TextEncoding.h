#pragma once
// Texts from language files are 8-bit bytes in the code page of the PC that made them.

#include <string>
#include <string_view>

namespace tabsend {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF). Plain ASCII is valid UTF-8.
bool isValidUtf8(std::string_view bytes);

// A text from a file, made fit for the screen: kept as it is when it is valid UTF-8,
// otherwise decoded as Windows-1252. The result is UTF-8.
std::string displayText(std::string_view bytes);

}  // namespace tabsend
