#pragma once
// The DEX Language Tool artwork, drawn in code: a display unit whose screen carries three
// coloured text lines (the unit's three language slots) beside the word mark "DEX" with
// "Language Tool" below it. Drawn for the size asked, so it stays sharp in every box.

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace tabsend {

// The logo filling `size` (pixels) on a transparent ground. Boxes less than about one and a
// half times as wide as high get the display-unit mark alone, centred.
QPixmap DrawLogo(QSize size);

// The program icon: the display-unit mark on its own, at the usual icon sizes.
QIcon ProgramIcon();

}  // namespace tabsend
