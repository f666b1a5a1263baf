#include "shell/SharedState.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tabsend {
namespace {

TEST(InitLanParam, GivesTheDownloadValuesTheirStartValues) {
    SharedState s;
    s.DownloadStep = 18;
    s.SlaveAddress = 7;
    s.LanSetFlag2 = kTrue;
    s.LanSetPath3 = "/tmp/fr.ini";
    s.LanAreaBase1 = 0;
    s.DummyStrNum = 5;
    InitLanParam(s);
    EXPECT_EQ(s.DownloadStep, 0);
    EXPECT_EQ(s.SlaveAddress, 33);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(s.LanSetFlag(n), kFalse);
        EXPECT_TRUE(s.LanSetPath(n).empty());
    }
    EXPECT_EQ(s.LanAreaBase(1), 0x40000);
    EXPECT_EQ(s.LanAreaBase(2), 0xC0000);
    EXPECT_EQ(s.LanAreaBase(3), 0x140000);
    EXPECT_EQ(s.DummyStrNum, 800);
}

TEST(InitLanParam, LeavesTheOtherSharedValuesAlone) {
    SharedState s;
    s.CommBusy = kTrue;
    s.CommErrorCode = 32;
    s.LanTablePath = "/opt/tool/LanTable.ini";
    s.OperationAutoSet = kTrue;
    InitLanParam(s);
    InitLanParam(s);  // twice is the same as once
    EXPECT_EQ(s.CommBusy, kTrue);
    EXPECT_EQ(s.CommErrorCode, 32);
    EXPECT_EQ(s.LanTablePath, "/opt/tool/LanTable.ini");
    EXPECT_EQ(s.OperationAutoSet, kTrue);
    EXPECT_EQ(s.SlaveAddress, 33);
}

TEST(SharedState, SlotFamiliesMapToTheirNamedMembers) {
    SharedState s;
    s.LanSetFlag(2) = kTrue;
    s.LanSetPath(3) = "c.ini";
    EXPECT_EQ(s.LanSetFlag2, kTrue);
    EXPECT_EQ(s.LanSetFlag1, kFalse);
    EXPECT_EQ(s.LanSetPath3, "c.ini");
    EXPECT_THROW(s.LanSetFlag(0), std::out_of_range);
    EXPECT_THROW(s.LanSetPath(4), std::out_of_range);
    EXPECT_THROW((void)s.LanAreaBase(-1), std::out_of_range);
}

TEST(SharedState, TruthValuesAreMinusOneAndZero) {
    EXPECT_EQ(toFlag(true), -1);
    EXPECT_EQ(toFlag(false), 0);
    EXPECT_TRUE(isTrue(kTrue));
    EXPECT_FALSE(isTrue(kFalse));
    static_assert(sizeof(SharedState::CommBusy) == 2);
    static_assert(sizeof(SharedState::CommErrorCode) == 1);
    static_assert(sizeof(SharedState::DownloadStep) == 1);
    static_assert(sizeof(SharedState::LanAreaBase1) == 4);
}

}  // namespace
}  // namespace tabsend
