#pragma once
// The captions that the five UI-language routines of ViewSetting put on the main window:
// the tab captions, the control captions in the routines' order, the message texts, the
// legal text of the About tab and the caption of Frame15. The windows apply them in this
// order: tabs, controls, messages, legal text, Frame15. Texts are UTF-8; leading and
// trailing blanks belong to them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/Messages.h"

namespace tabsend {

struct CaptionRow {
    std::string control;  // control name as in the main window (Select1, Label18, ...)
    std::string text;
};

struct LanguageCaptions {
    std::array<std::string, 3> tabs;  // captions of tabs 0, 1 and 2 of SSTab1
    std::vector<CaptionRow> controls;
    Messages messages;
    std::string legalText;  // Text7 of the About tab
    std::string frame15;    // Frame15
};

LanguageCaptions SetEnglish();
LanguageCaptions SetGerman();
LanguageCaptions SetFrench();
LanguageCaptions SetItalian();
LanguageCaptions SetSpanish();

// Exactly one routine, chosen by the UI-language index (0..4, any other index English).
LanguageCaptions SelectLanguage(std::uint8_t uiLanguage);

// The caption of one control, or nullptr when the routines do not set it.
const std::string* CaptionOf(const LanguageCaptions& c, std::string_view control);

}  // namespace tabsend
