#pragma once
// Window and control sizes of the launcher are given in twips (1/1440 inch): 15 twips make
// one pixel at 96 DPI, and sizes follow the screen's logical DPI.

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <cmath>

namespace startup {

inline int Px(int twips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline QSize PxSize(int widthTwips, int heightTwips) {
    return QSize(Px(widthTwips), Px(heightTwips));
}

inline QRect PxRect(int xTwips, int yTwips, int widthTwips, int heightTwips) {
    return QRect(Px(xTwips), Px(yTwips), Px(widthTwips), Px(heightTwips));
}

}  // namespace startup
