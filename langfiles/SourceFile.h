#pragma once
// Language source files: the INI files that carry one display language, its name, version
// and code in section Laninfo and, per string i, Str[i]BMLen, Str[i]BMDispLine and the
// bitmap bytes Str[i]BMArray in section LanStrcodeBM.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/Messages.h"

namespace tabsend {

inline constexpr const char* kSourceInfoSection = "Laninfo";
inline constexpr const char* kSourceStringSection = "LanStrcodeBM";

// Bytes the download keeps of one bitmap.
inline constexpr int kMaxBitmapBytes = 1001;

enum class SelectCheck {
    Accepted,            // take the file: language and version are filled in
    FileTypeNotFit,      // Language or LanVer empty: MsgFileTypeNotFit
    SelectEnglishFirst,  // slot 1 and LanCode is not 1: MsgSelectEnglishFirst
    NotReadable,         // missing or unreadable file (or a cancelled dialog): show nothing
};

struct SourceFileCheck {
    SelectCheck result = SelectCheck::NotReadable;
    std::string language;  // Language as in the file (8-bit)
    std::string version;   // LanVer as in the file
};

// The tests made when the operator picks a file for slot 1, 2 or 3. Anything other than
// Accepted leaves the slot as it was.
SourceFileCheck CheckSourceFile(const std::string& path, int slot);

// The message to show for a refused file, or nullptr when nothing is shown.
const std::string* SelectionMessage(SelectCheck result, const Messages& texts);

// Splits a bitmap text (Str[i]BMArray) into its bytes exactly as the download reads it:
// every "0x" removed, commas turned into blanks, CR, LF and tab removed, blanks at both ends
// trimmed, then split at every single blank. Returns false when a piece is not one or two
// hexadecimal digits (an empty piece from two separators in a row, an upper-case "0X" prefix)
// or when there are more than 1001 values. An empty text gives no bytes.
bool SplitBitmapText(std::string_view text, std::vector<std::uint8_t>& bytes);

}  // namespace tabsend
