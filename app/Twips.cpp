#include "app/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tabsend {

double LogicalDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

int TwipsToPixels(int twips, double dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

int Px(int twips) {
    return TwipsToPixels(twips, LogicalDpi());
}

QSize PxSize(int widthTwips, int heightTwips) {
    return {Px(widthTwips), Px(heightTwips)};
}

QRect PxRect(int xTwips, int yTwips, int widthTwips, int heightTwips) {
    return {Px(xTwips), Px(yTwips), Px(widthTwips), Px(heightTwips)};
}

}  // namespace tabsend
