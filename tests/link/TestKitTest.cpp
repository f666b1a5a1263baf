// The fake line and the virtual clock that the link tests stand on: if their timing is
// off, every timing test above them is off too.
#include <gtest/gtest.h>

#include <vector>

#include "link/ModBusDll.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/ScriptedDevice.h"
#include "tests/support/VirtualClock.h"

namespace tabsend::testkit {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(VirtualClockTest, EachYieldIsOneTickAndTimer1FiresOncePerTick) {
    VirtualClock clock;
    int fired = 0;
    clock.timer1().start(10, [&] { ++fired; });
    clock.advanceTicks(7);
    EXPECT_EQ(clock.now(), 70'000);
    EXPECT_EQ(clock.ticks(), 7);
    EXPECT_EQ(fired, 7);
    clock.timer1().stop();
    clock.advanceTicks(3);
    EXPECT_EQ(fired, 7);
}

TEST(VirtualClockTest, LinesMoveBeforeTimer1AndObserversRunAfter) {
    VirtualClock clock;
    std::vector<std::string> order;
    clock.attachLine([&](std::int64_t) { order.push_back("line"); });
    clock.addObserver([&](std::int64_t) { order.push_back("observer"); });
    clock.atTick(1, [&] { order.push_back("action"); });
    clock.timer1().start(10, [&] { order.push_back("timer"); });
    clock.yieldOnce();
    EXPECT_EQ(order, (std::vector<std::string>{"line", "timer", "action", "observer"}));
}

TEST(VirtualClockTest, SpentBudgetThrowsInsteadOfHanging) {
    VirtualClock clock;
    clock.setYieldBudget(5);
    clock.advanceTicks(5);
    EXPECT_THROW(clock.yieldOnce(), YieldBudgetExceeded);
}

struct LineFixture : ::testing::Test {
    VirtualClock clock;
    ScriptedDevice device;
    FakeSerialPort port{clock, &device};
};

TEST_F(LineFixture, OutputLeavesAtTheLineRate) {
    ASSERT_TRUE(port.open("COM1", "9600,e,8,1").ok());
    const Bytes frame(100, 0x55);  // 100 x 11 bits at 9600 baud: 114,584 us
    ASSERT_TRUE(port.output(frame).ok());
    EXPECT_EQ(port.outBufferCount(), 100);
    EXPECT_EQ(port.wireTimeUs(100), 114'584);
    clock.advanceTicks(11);  // 110 ms: 96 characters have left (96 x 1145.8 = 110,000)
    EXPECT_EQ(port.outBufferCount(), 4);
    EXPECT_TRUE(device.requests().empty());
    clock.yieldOnce();
    EXPECT_EQ(port.outBufferCount(), 0);
    ASSERT_EQ(device.requests().size(), 1u);
    EXPECT_EQ(device.requests()[0].frame, frame);
    EXPECT_EQ(device.requests()[0].atUs, 114'584);
    ASSERT_EQ(port.written().size(), 1u);
    EXPECT_EQ(port.written()[0].startUs, 0);
    EXPECT_EQ(port.written()[0].endUs, 114'584);
}

TEST_F(LineFixture, TwoWritesBackToBackAreOneFrame) {
    ASSERT_TRUE(port.open("COM1", "57600,e,8,1").ok());
    const Bytes a{1, 2, 3};
    const Bytes b{4, 5};
    port.output(a);
    port.output(b);
    clock.advanceTicks(1);
    ASSERT_EQ(device.requests().size(), 1u);
    EXPECT_EQ(device.requests()[0].frame, (Bytes{1, 2, 3, 4, 5}));
}

TEST_F(LineFixture, ReplyArrivesPacedAfterItsSilenceFromTheRequestEnd) {
    ASSERT_TRUE(port.open("COM1", "9600,n,8,2").ok());
    const Bytes req{0x21, 0x7E, 0x01, 0xC1, 0xAA};  // 5 x 1145.8 = 5,730 us
    device.answer(Bytes(20, 0xAB), 30'000);         // from 5,730 + 30,000; 20 bytes 22,917 us
    port.output(req);
    clock.advanceTicks(3);  // 30 ms: nothing yet
    EXPECT_EQ(port.inBufferCount(), 0);
    clock.advanceTicks(1);  // 40 ms: (40,000 - 35,730) / 1145.8 = 3 bytes
    EXPECT_EQ(port.inBufferCount(), 3);
    port.discardInput();  // drops the 3, the rest is still on the way
    EXPECT_EQ(port.inBufferCount(), 0);
    clock.advanceTicks(2);  // 60 ms: all in (58,647)
    EXPECT_EQ(port.inBufferCount(), 17);
    EXPECT_EQ(port.input(), Bytes(17, 0xAB));
    EXPECT_EQ(port.inBufferCount(), 0);
}

TEST_F(LineFixture, LaterChunksCountTheirSilenceFromTheChunkBefore) {
    ASSERT_TRUE(port.open("COM1", "57600,e,8,1").ok());
    // 5 bytes at 57600: 955 us; chunk 1 ends at 955 + 1000 + 955 = 2,910.
    device.answerChunks({{1000, Bytes(5, 1)}, {25'000, Bytes(2, 2)}});
    port.output(Bytes(5, 0));
    clock.yieldOnce();
    EXPECT_EQ(port.input(), Bytes(5, 1));
    clock.advanceTicks(1);  // 20 ms: second chunk starts at 27,910
    EXPECT_EQ(port.inBufferCount(), 0);
    clock.advanceTicks(1);
    EXPECT_EQ(port.input(), Bytes(2, 2));
}

TEST_F(LineFixture, OpenChecksAndLog) {
    port.setMissing("COM7");
    port.setBusy("COM8");
    port.refuseSettings("115200,e,8,1");
    struct Case {
        const char* device;
        const char* settings;
        CommErrorNumber result;
    };
    const Case cases[] = {
        {"COM1", "9600,x,8,1", CommErrorNumber::BadSettings},
        {"COM1", "", CommErrorNumber::BadSettings},
        {"COM7", "9600,e,8,1", CommErrorNumber::DeviceNotFound},
        {"COM8", "9600,e,8,1", CommErrorNumber::PortBusy},
        {"COM1", "115200,E,8,1", CommErrorNumber::BadSettings},
        {"COM1", "19200,E,8,1", CommErrorNumber::None},
        {"COM1", "19200,e,8,1", CommErrorNumber::PortAlreadyOpen},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(port.open(c.device, c.settings).number, c.result)
            << c.device << " " << c.settings;
    }
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.settings(), "19200,E,8,1");
    ASSERT_EQ(port.opens().size(), std::size(cases));
    EXPECT_EQ(port.opens()[5].settings, "19200,E,8,1");
    EXPECT_EQ(port.opens()[2].result, CommErrorNumber::DeviceNotFound);
}

TEST_F(LineFixture, VanishedDeviceFailsWritesKeepsOutputAndCannotBeReopened) {
    ASSERT_TRUE(port.open("COM1", "9600,e,8,1").ok());
    device.answer(Bytes{1, 2, 3}, 0);
    port.output(Bytes(50, 0));
    clock.advanceTicks(2);
    const int left = port.outBufferCount();
    ASSERT_GT(left, 0);
    port.vanish();
    EXPECT_EQ(port.takeError().number, CommErrorNumber::WriteFailed);
    EXPECT_TRUE(port.takeError().ok());  // reported once
    clock.advanceTicks(20);
    EXPECT_EQ(port.outBufferCount(), left);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(device.requests().empty());
    EXPECT_EQ(port.output(Bytes{1}).number, CommErrorNumber::WriteFailed);
    port.close();
    EXPECT_EQ(port.open("COM1", "9600,e,8,1").number, CommErrorNumber::DeviceNotFound);
    port.reappear();
    EXPECT_TRUE(port.open("COM1", "9600,e,8,1").ok());
}

TEST_F(LineFixture, NoDeviceMeansNoAnswerAndClosedPortRefusesOutput) {
    FakeSerialPort lonely(clock);
    EXPECT_EQ(lonely.output(Bytes{1}).number, CommErrorNumber::PortNotOpen);
    ASSERT_TRUE(lonely.open("COM2", "9600,e,8,1").ok());
    lonely.output(Bytes{1, 2, 3});
    clock.advanceTicks(10);
    EXPECT_EQ(lonely.inBufferCount(), 0);
    ASSERT_EQ(lonely.written().size(), 1u);
    EXPECT_TRUE(lonely.written()[0].delivered);
}

}  // namespace
}  // namespace tabsend::testkit
