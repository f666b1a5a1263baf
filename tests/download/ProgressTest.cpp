// Progress accounting of the download bar and the slot flags it is based on.

#include <gtest/gtest.h>

#include "tests/download/DownloadRig.h"

namespace tabsend {
namespace {

using testkit::DownloadRig;

struct ShareCase {
    std::array<bool, 3> due;
    std::int16_t erase, lanInfo, index, bitmap;
    int sum;  // over the due slots plus ShareAssInfo
};

void PrintTo(const ShareCase& c, std::ostream* os) {
    *os << "due " << c.due[0] << c.due[1] << c.due[2];
}

class ProgressShares : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ProgressShares, SplitThePointsOverTheDueSlots) {
    const ShareCase& c = GetParam();
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    // Shares of slots that are not due keep their old values.
    mm.ShareErase1 = mm.ShareErase2 = mm.ShareErase3 = -9;
    mm.ShareBitmap1 = mm.ShareBitmap2 = mm.ShareBitmap3 = -9;
    for (int s = 1; s <= 3; ++s) rig.state.LanSetFlag(s) = toFlag(c.due[s - 1]);

    mm.ProgressSharesInit();

    const std::int16_t erase[] = {mm.ShareErase1, mm.ShareErase2, mm.ShareErase3};
    const std::int16_t lanInfo[] = {mm.ShareLanInfo1, mm.ShareLanInfo2, mm.ShareLanInfo3};
    const std::int16_t index[] = {mm.ShareIndex1, mm.ShareIndex2, mm.ShareIndex3};
    const std::int16_t bitmap[] = {mm.ShareBitmap1, mm.ShareBitmap2, mm.ShareBitmap3};
    int sum = mm.ShareAssInfo;
    EXPECT_EQ(mm.ShareAssInfo, 1);
    for (int s = 0; s < 3; ++s) {
        if (!c.due[s]) {
            EXPECT_EQ(erase[s], -9);
            EXPECT_EQ(bitmap[s], -9);
            continue;
        }
        EXPECT_EQ(erase[s], c.erase) << "slot " << s + 1;
        EXPECT_EQ(lanInfo[s], c.lanInfo) << "slot " << s + 1;
        EXPECT_EQ(index[s], c.index) << "slot " << s + 1;
        EXPECT_EQ(bitmap[s], c.bitmap) << "slot " << s + 1;
        sum += erase[s] + lanInfo[s] + index[s] + bitmap[s];
    }
    EXPECT_EQ(sum, c.sum);
}

INSTANTIATE_TEST_SUITE_P(SlotsDue, ProgressShares,
                         ::testing::Values(ShareCase{{true, false, false}, 3, 6, 30, 60, 100},
                                           ShareCase{{false, true, false}, 3, 6, 30, 60, 100},
                                           // 1.5 rounds to 2: the shares add up to 101
                                           ShareCase{{true, false, true}, 2, 3, 15, 30, 101},
                                           ShareCase{{true, true, true}, 1, 2, 10, 20, 100}));

TEST(Progress, AddHoldsTheValueAtTheBarsMaximum) {
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    mm.ProgressReset();
    EXPECT_EQ(rig.progress.min, 0);
    EXPECT_EQ(rig.progress.max, 100);
    EXPECT_EQ(rig.progress.value, 0);

    mm.ProgressValue = 0;
    mm.ProgressAdd(60);
    mm.ProgressAdd(41);  // 101 points in all, as with two slots due
    EXPECT_EQ(mm.ProgressValue, 100);
    EXPECT_EQ(rig.progress.value, 100);
    mm.ProgressAdd(1);
    EXPECT_EQ(mm.ProgressValue, 100);
}

TEST(Progress, ResetAndFullLeaveProgressValueAlone) {
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    mm.ProgressValue = 40;
    mm.ProgressReset();
    EXPECT_EQ(rig.progress.value, 0);
    EXPECT_EQ(mm.ProgressValue, 40);
    mm.ProgressFull();
    EXPECT_EQ(rig.progress.value, 100);
    EXPECT_EQ(mm.ProgressValue, 40);
    mm.ProgressAdd(0);  // shows the value again
    EXPECT_EQ(rig.progress.value, 40);
}

TEST(Progress, LanSetFlagChk) {
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    for (int n : {0, 1, 2, 3, 4, 5, -1}) EXPECT_EQ(mm.LanSetFlagChk(n), kFalse) << n;
    rig.state.LanSetFlag2 = kTrue;
    EXPECT_EQ(mm.LanSetFlagChk(1), kFalse);
    EXPECT_EQ(mm.LanSetFlagChk(2), kTrue);
    EXPECT_EQ(mm.LanSetFlagChk(3), kFalse);
    EXPECT_EQ(mm.LanSetFlagChk(4), kTrue);
    EXPECT_EQ(mm.LanSetFlagChk(5), kFalse);
    // Only -1 counts as due.
    rig.state.LanSetFlag2 = 1;
    EXPECT_EQ(mm.LanSetFlagChk(2), kFalse);
    EXPECT_EQ(mm.LanSetFlagChk(4), kFalse);
}

}  // namespace
}  // namespace tabsend
