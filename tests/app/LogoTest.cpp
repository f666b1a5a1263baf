// The logo artwork and the program icon.

#include "app/Logo.h"

#include <gtest/gtest.h>

#include <QImage>

#include "app/Twips.h"

namespace tabsend {
namespace {

int inkPixels(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) ++ink;
    return ink;
}

bool edgesClear(const QImage& image) {
    for (int x = 0; x < image.width(); ++x)
        if (qAlpha(image.pixel(x, 0)) || qAlpha(image.pixel(x, image.height() - 1))) return false;
    for (int y = 0; y < image.height(); ++y)
        if (qAlpha(image.pixel(0, y)) || qAlpha(image.pixel(image.width() - 1, y))) return false;
    return true;
}

TEST(Logo, FillsEveryBoxItIsUsedInWithoutTouchingTheEdges) {
    const QSize sizes[] = {PxSize(4095, 1815), PxSize(1815, 465), QSize(64, 64), QSize(40, 120),
                           QSize(600, 100)};
    for (const QSize size : sizes) {
        const QImage image = DrawLogo(size).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), size);
        const int ink = inkPixels(image);
        EXPECT_GT(ink, size.width() * size.height() / 5) << size.width() << "x" << size.height();
        EXPECT_LT(ink, size.width() * size.height()) << "no transparent ground";
        EXPECT_TRUE(edgesClear(image)) << size.width() << "x" << size.height() << " cut off";
    }
}

TEST(Logo, WideBoxesCarryTheWordMarkBesideTheDisplayUnit) {
    const QSize size = PxSize(4095, 1815);
    const QImage image = DrawLogo(size).toImage().convertToFormat(QImage::Format_ARGB32);
    // Ink right of the display unit (which takes a square of the box's height).
    int wordInk = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = image.height() + 4; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) ++wordInk;
    EXPECT_GT(wordInk, image.width() * image.height() / 20);
    // And no ink there in a square box: the unit alone.
    const QImage square = DrawLogo(QSize(100, 100)).toImage();
    EXPECT_EQ(qAlpha(square.pixel(2, 50)), 0);
}

TEST(Logo, ProgramIconHasTheUsualSizesAllDrawn) {
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    for (int side : {16, 32, 48, 256}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(side, side))) << side;
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_GT(inkPixels(image.convertToFormat(QImage::Format_ARGB32)), side * side / 2) << side;
    }
}

}  // namespace
}  // namespace tabsend
