#pragma once
// Window and control sizes are given in twips (1/1440 inch): 15 twips make one pixel at
// 96 DPI. Sizes follow the screen's logical DPI, so the layout keeps its proportions on a
// screen set to a larger text size.

#include <QRect>
#include <QSize>

namespace tabsend {

// Logical DPI of the primary screen (96 when there is none).
double LogicalDpi();
// Twips to pixels at `dpi`, rounded to the nearest pixel.
int TwipsToPixels(int twips, double dpi);
// Twips to pixels at the screen's logical DPI.
int Px(int twips);
QSize PxSize(int widthTwips, int heightTwips);
QRect PxRect(int xTwips, int yTwips, int widthTwips, int heightTwips);

}  // namespace tabsend
