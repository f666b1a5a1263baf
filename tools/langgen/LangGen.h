#pragma once
// Writes language source files: either N strings of random bitmaps (for tests and
// benchmarks) or a list of texts rendered with a small 5x7 font (for the example files).
// The output is a complete INI text with CRLF line ends that the compiler accepts.

#include <cstdint>
#include <string>
#include <vector>

namespace tabsend::langgen {

struct Options {
    std::int32_t strings = 100;  // StrNum, 1..32767
    std::int32_t minLen = 8;     // bitmap bytes per string, 1..1000
    std::int32_t maxLen = 64;
    std::uint64_t seed = 1;
    std::int32_t code = 1;         // LanCode
    std::string name = "English";  // Language, written as given (8-bit)
    std::string version = "1";     // LanVer
};

// A source file of options.strings random bitmaps with lengths from minLen to maxLen and
// display-line values from 1 to 4. The same options give the same text on every platform.
// Throws std::invalid_argument for options that cannot give a valid file (counts or lengths
// out of range, a slot larger than its 524288-byte area, an empty name or version).
std::string GenerateLanguageSource(const Options& options);

// One rendered text: 6 columns per character (5 of the glyph, 1 blank), one byte per column,
// the top pixel in bit 0. Row 0 carries accents, rows 1..7 the letter. Letters are shown as
// capitals; characters without a glyph show as a box.
std::vector<std::uint8_t> RenderText(const std::string& utf8);

// A source file whose strings are the rendered texts (display line 1, 2 for bitmaps longer
// than 255 bytes). name is written as given.
std::string RenderLanguageSource(const std::vector<std::string>& utf8Texts, std::int32_t code,
                                 const std::string& name, const std::string& version);

// The non-empty lines of a UTF-8 text file (CR LF or LF), for RenderLanguageSource. Throws
// std::invalid_argument with the reason when the path is not a readable regular file, when
// a line is longer than kMaxTextLineBytes, or when it holds more than 32767 texts; it stops
// reading at the first of these, so a file without line ends cannot make it grow unbounded.
inline constexpr std::size_t kMaxTextLineBytes = 4096;
std::vector<std::string> ReadTextLines(const std::string& path);

// The text in Windows-1252 (characters outside it become '?').
std::string ToWindows1252(const std::string& utf8);

}  // namespace tabsend::langgen
