#include "link/PortControl.h"

#include <gtest/gtest.h>

#include "tests/support/FakeSerialPort.h"
#include "tests/support/RecordingSeams.h"
#include "tests/support/VirtualClock.h"

namespace tabsend {
namespace {

using testkit::FakeSerialPort;
using testkit::RecordingMessages;
using testkit::VirtualClock;

std::string deviceName(int n) {
    return "/dev/fake" + std::to_string(n);
}

struct PortFixture : ::testing::Test {
    VirtualClock clock;
    FakeSerialPort port{clock};
    RecordingMessages messages;
    PortControl control{port, messages, deviceName};

    void SetUp() override {
        control.InitCommCombos();
        control.SetAutoMode();
        control.AutoMode = kTrue;  // as the Connect button sets it in Automatic mode
    }
};

TEST(ManualSettings, StopBitsFollowTheParity) {
    struct Case {
        const char *baud, *parity, *data, *settings, *stop;
    };
    const Case cases[] = {
        {"9600", "None", "8", "9600,N,8,2", "2"},
        {"19200", "Even", "8", "19200,E,8,1", "1"},
        {" 19200 ", "Even", " 8", "19200,E,8,1", "1"},
        {"9600", "Odd", "8", "9600,O,8,2", "2"},  // anything but Even takes two stop bits
    };
    for (const auto& c : cases) {
        std::string stop;
        EXPECT_EQ(ManualSettingsText(c.baud, c.parity, c.data, &stop), c.settings) << c.parity;
        EXPECT_EQ(stop, c.stop);
    }
}

TEST_F(PortFixture, StartsAutomaticWithTheFixedSettingsShownAndLocked) {
    EXPECT_EQ(control.combos.Combo1, 0);
    EXPECT_EQ(control.combos.Combo2, "19200");
    EXPECT_EQ(control.combos.Combo3, "8");
    EXPECT_EQ(control.combos.Combo4, "Even");
    EXPECT_EQ(control.combos.Combo5, "1");
    EXPECT_TRUE(control.combos.enabled[0]);
    for (int i = 1; i < 5; ++i) EXPECT_FALSE(control.combos.enabled[static_cast<std::size_t>(i)]);
    EXPECT_EQ(CommCombos::PortItems().size(), 9u);
    EXPECT_EQ(CommCombos::PortItems().back(), "Com9");
}

TEST_F(PortFixture, AutomaticOpensEachTableEntryOnTheSelectedPort) {
    control.combos.Combo1 = 8;  // Com9
    for (std::uint8_t item = 1; item <= 8; ++item) {
        control.OpenPort(item);
        ASSERT_TRUE(isTrue(control.PortOpen)) << int(item);
        EXPECT_EQ(control.CurrentSettings, kAutoSettings[item - 1]);
        EXPECT_EQ(port.settings(), kAutoSettings[item - 1]);
    }
    ASSERT_EQ(port.opens().size(), 8u);
    EXPECT_EQ(port.opens()[4].settings, "38400,e,8,1");
    EXPECT_EQ(port.opens()[4].device, "/dev/fake9");
    // Each re-open closed the port first.
    EXPECT_EQ(port.closes(), 7);
}

TEST_F(PortFixture, AutomaticItemOutsideTheTableKeepsTheLastSettings) {
    control.OpenPort(3);
    control.OpenPort(0);
    EXPECT_TRUE(isTrue(control.PortOpen));
    EXPECT_EQ(port.settings(), "19200,e,8,1");
    EXPECT_EQ(control.CurrentSettings, "19200,e,8,1");
}

TEST_F(PortFixture, SettingsOfAFailedOpenStayForAnItemOutsideTheTable) {
    control.OpenPort(3);
    port.refuseSettings("38400,e,8,1");
    control.OpenPort(5);
    ASSERT_FALSE(isTrue(control.PortOpen));
    control.OpenPort(9);  // outside 1..8: the settings given last stay
    EXPECT_EQ(port.opens().back().settings, "38400,e,8,1");
}

TEST(PortControlStart, NoModeIsRecordedBeforeTheFirstConnect) {
    testkit::VirtualClock clock;
    FakeSerialPort port{clock};
    RecordingMessages messages;
    PortControl control{port, messages, deviceName};
    EXPECT_EQ(control.AutoMode, kFalse);
    EXPECT_EQ(control.PortOpen, kFalse);
    EXPECT_EQ(control.SelectedMode, 0);
}

TEST_F(PortFixture, ManualOpensWithTheListsAndReadsTheSettingsBack) {
    control.SetModeOpt_Click(1);
    control.AutoMode = kFalse;
    control.combos.Combo2 = "9600";
    control.combos.Combo4 = "None";
    control.OpenPort(1);
    ASSERT_TRUE(isTrue(control.PortOpen));
    EXPECT_EQ(control.combos.Combo5, "2");
    EXPECT_EQ(port.settings(), "9600,N,8,2");
    EXPECT_EQ(control.CurrentSettings, "9600,N,8,2");
}

TEST_F(PortFixture, RefusedSettingsShowTheCableMessageAndLeaveThePortClosed) {
    port.refuseSettings("9600,e,8,1");
    control.OpenPort(1);
    EXPECT_FALSE(isTrue(control.PortOpen));
    EXPECT_FALSE(port.isOpen());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0],
        "Internal COM port error(8015)!  Please re-connect the communication cable to the PC.");
}

TEST_F(PortFixture, MissingOrBusyPortFailsWithoutAMessageHere) {
    port.setMissing("/dev/fake1");
    control.OpenPort(1);
    EXPECT_FALSE(isTrue(control.PortOpen));
    EXPECT_EQ(control.lastOpenError().number, CommErrorNumber::DeviceNotFound);
    port.setMissing("/dev/fake1", false);
    port.setBusy("/dev/fake1");
    control.OpenPort(1);
    EXPECT_FALSE(isTrue(control.PortOpen));
    EXPECT_EQ(control.lastOpenError().number, CommErrorNumber::PortBusy);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PortFixture, DownloadSpeedReopensWithoutChangingCurrentSettings) {
    control.OpenPort(4);
    control.Download_Port_Open_57600();
    EXPECT_TRUE(isTrue(control.PortOpen));
    EXPECT_EQ(port.settings(), "57600,e,8,1");
    EXPECT_EQ(control.CurrentSettings, "19200,n,8,2");
    control.Download_Port_Open_115200();
    EXPECT_EQ(port.settings(), "115200,e,8,1");
    control.Download_Port_Open_38400();
    EXPECT_EQ(port.settings(), "38400,e,8,1");
}

TEST_F(PortFixture, DownloadSpeedFailureIsSilent) {
    control.OpenPort(1);
    port.refuseSettings("57600,e,8,1");
    control.Download_Port_Open_57600();
    EXPECT_FALSE(isTrue(control.PortOpen));
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PortFixture, ClosePortClosesAndClearsTheFlag) {
    control.OpenPort(1);
    control.ClosePort();
    EXPECT_FALSE(isTrue(control.PortOpen));
    EXPECT_FALSE(port.isOpen());
    control.ClosePort();  // closing twice is harmless
    EXPECT_EQ(port.closes(), 1);
}

TEST_F(PortFixture, ChoosingManualWhileOpenChangesNothing) {
    control.OpenPort(1);
    control.SetModeOpt_Click(1);
    for (int i = 1; i < 5; ++i) EXPECT_FALSE(control.combos.enabled[static_cast<std::size_t>(i)]);
    control.ClosePort();
    control.SetModeOpt_Click(1);
    for (bool e : control.combos.enabled) EXPECT_TRUE(e);
    control.combos.Combo2 = "9600";
    control.SetModeOpt_Click(0);  // Automatic always resets the shown settings
    EXPECT_EQ(control.combos.Combo2, "19200");
    EXPECT_FALSE(control.combos.enabled[1]);
}

}  // namespace
}  // namespace tabsend
