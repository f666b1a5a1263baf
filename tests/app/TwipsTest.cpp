#include "app/Twips.h"

#include <gtest/gtest.h>

namespace tabsend {
namespace {

TEST(Twips, FifteenTwipsMakeOnePixelAt96DpiAndScaleWithTheDpi) {
    struct Case {
        int twips;
        double dpi;
        int pixels;
    };
    const Case cases[] = {
        {10800, 96, 720},   {7950, 96, 530}, {135, 96, 9}, {7, 96, 0},    {8, 96, 1},
        {10800, 144, 1080}, {375, 120, 31},  {0, 96, 0},   {-15, 96, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
}

}  // namespace
}  // namespace tabsend
