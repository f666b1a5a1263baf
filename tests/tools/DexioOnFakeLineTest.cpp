// The model behind the test kit's fake serial line, in virtual time: what a host on the line
// sees of turnaround, erase time and a split reply.

#include <gtest/gtest.h>

#include "link/ModBusDll.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/VirtualClock.h"
#include "tools/sim/DexioModel.h"

namespace dexsim {
namespace {

using tabsend::testkit::FakeSerialPort;
using tabsend::testkit::VirtualClock;
using Bytes = std::vector<std::uint8_t>;

// Ticks until `n` bytes are waiting (or the limit); gives the tick count.
long ticksUntil(VirtualClock& clock, FakeSerialPort& port, int n, long limit) {
    long t = 0;
    while (port.inBufferCount() < n && t < limit) {
        clock.yieldOnce();
        ++t;
    }
    return t;
}

TEST(DexioOnFakeLine, AnswersAtItsSettingAndTheEraseTakesItsTime) {
    VirtualClock clock;
    DexioConfig cfg;
    cfg.eraseUs = 800'000;
    DexioModel dexio(cfg);
    FakeSerialPort port(clock, &dexio);

    ASSERT_TRUE(port.open("/dev/ttyS0", "9600,e,8,1").ok());
    ASSERT_TRUE(port.output(tabsend::buildFrame(0x21, 0x7E, Bytes{1})).ok());
    ticksUntil(clock, port, 5, 20);
    EXPECT_EQ(port.inBufferCount(), 0) << "not its setting";
    port.close();

    ASSERT_TRUE(port.open("/dev/ttyS0", "19200,e,8,1").ok());
    ASSERT_TRUE(port.output(tabsend::buildFrame(0x21, 0x7E, Bytes{1})).ok());
    EXPECT_LE(ticksUntil(clock, port, 5, 20), 2);
    EXPECT_EQ(port.input(), tabsend::buildFrame(0x21, 0x7E, Bytes{2}));
    port.close();

    ASSERT_TRUE(port.open("/dev/ttyS0", "57600,e,8,1").ok());
    ASSERT_TRUE(port.output(tabsend::buildFrame(0x21, 0x7D, Bytes{2})).ok());
    const long ticks = ticksUntil(clock, port, 5, 300);
    EXPECT_GE(ticks, 80);
    EXPECT_LE(ticks, 82);
    EXPECT_EQ(port.input(), tabsend::buildFrame(0x21, 0x7D, Bytes{2}));
}

TEST(DexioOnFakeLine, SplitReplyArrivesInTwoPiecesWithALongSilence) {
    VirtualClock clock;
    DexioConfig cfg;
    cfg.faults.split.nth = {1};
    cfg.faults.splitGapUs = 40'000;
    DexioModel dexio(cfg);
    FakeSerialPort port(clock, &dexio);
    ASSERT_TRUE(port.open("/dev/ttyS0", "19200,e,8,1").ok());
    ASSERT_TRUE(port.output(tabsend::buildFrame(0x21, 0x5B, Bytes{101, 2})).ok());

    ticksUntil(clock, port, 1, 20);
    const int first = port.inBufferCount();
    ASSERT_GT(first, 0);
    Bytes got = port.input();
    clock.advanceTicks(2);  // 20 ms: still inside the gap
    EXPECT_EQ(port.inBufferCount(), 0);
    ticksUntil(clock, port, 10 - first, 20);
    const Bytes rest = port.input();
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, tabsend::buildFrame(0x21, 0x5B, Bytes{101, 2, 0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace dexsim
