#pragma once
// Our own pictures, drawn with QPainter: the pointing hand shown over the web link
// (harrow.ico) and the program icon of the launcher and the desktop entry.

#include <QImage>

namespace artwork {

// The link pointer: a white pointing hand with a black outline on a transparent 48 x 48
// image. The fingertip lies exactly on the centre pixel (24, 24), because a cursor made
// from a picture without a hotspot takes its hotspot at the centre.
QImage HandPointer();

// The program icon: a display unit with a language on its screen and a download arrow,
// size x size pixels, transparent around the unit.
QImage ProgramIcon(int size);

}  // namespace artwork
