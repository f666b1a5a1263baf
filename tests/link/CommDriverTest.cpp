// The serial driver: software timers, sending with the response timer started when the
// output has left the wire, and receiving a reply framed by 2 ticks of silence.
#include "link/CommDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "link/ModBusCall.h"
#include "tests/support/LinkRig.h"

namespace tabsend::testkit {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Software timers ----

struct TimerOps {
    const char* name;
    void (CommDriver::*set)(std::int32_t, bool);
    void (CommDriver::*tick)();
    Flag16 (CommDriver::*expired)() const;
};

const TimerOps kTimers[] = {
    {"Response", &CommDriver::ResponseTimerSet, &CommDriver::ResponseTimerTick,
     &CommDriver::ResponseTimerExpired},
    {"Gap", &CommDriver::GapTimerSet, &CommDriver::GapTimerTick, &CommDriver::GapTimerExpired},
    {"Turnaround", &CommDriver::TurnaroundTimerSet, &CommDriver::TurnaroundTimerTick,
     &CommDriver::TurnaroundTimerExpired},
    {"Delay", &CommDriver::DelayTimerSet, &CommDriver::DelayTimerTick,
     &CommDriver::DelayTimerExpired},
};

class SoftTimers : public ::testing::TestWithParam<TimerOps> {
  protected:
    LinkRig rig{""};  // no port needed
    CommDriver& d = rig.link.driver;
    void set(std::int32_t n, bool run) { (d.*GetParam().set)(n, run); }
    void tick() { (d.*GetParam().tick)(); }
    Flag16 expired() const { return (d.*GetParam().expired)(); }
};

TEST_P(SoftTimers, ExpiresAfterExactlyNTicksAndNotBefore) {
    for (std::int32_t n : {1, 2, 6, 20, 1400}) {
        set(n, true);
        for (std::int32_t i = 1; i < n; ++i) {
            tick();
            ASSERT_EQ(expired(), kFalse) << "n=" << n << " after " << i << " ticks";
        }
        tick();
        EXPECT_EQ(expired(), kTrue) << "n=" << n;
        // It stays expired, however many ticks follow, until it is set again.
        for (int i = 0; i < 50; ++i) tick();
        EXPECT_EQ(expired(), kTrue) << "n=" << n;
    }
}

TEST_P(SoftTimers, AStoppedTimerNeverExpires) {
    set(3, true);
    set(3, false);
    for (int i = 0; i < 20000; ++i) tick();
    EXPECT_EQ(expired(), kFalse);
}

TEST_P(SoftTimers, StoppingAnExpiredTimerClearsTheExpiry) {
    set(2, true);
    tick();
    tick();
    ASSERT_EQ(expired(), kTrue);
    set(99, false);
    EXPECT_EQ(expired(), kFalse);
    tick();
    EXPECT_EQ(expired(), kFalse);
}

TEST_P(SoftTimers, SettingAgainRestartsTheCount) {
    set(3, true);
    tick();
    tick();
    set(3, true);
    tick();
    tick();
    EXPECT_EQ(expired(), kFalse);
    tick();
    EXPECT_EQ(expired(), kTrue);
}

TEST_P(SoftTimers, ATimerSetWithNoTicksRunsOutAtTheNextTick) {
    for (std::int32_t n : {0, -5}) {
        set(n, true);
        tick();
        EXPECT_EQ(expired(), kTrue) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Four, SoftTimers, ::testing::ValuesIn(kTimers),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(TimerTick, TicksAllFourTimersOnEveryEvent) {
    LinkRig rig("");
    CommDriver& d = rig.link.driver;
    d.ResponseTimerSet(3, true);
    d.GapTimerSet(2, true);
    d.TurnaroundTimerSet(4, true);
    d.DelayTimerSet(1, true);
    d.TimerTick();
    EXPECT_EQ(d.DelayTimerExpired(), kTrue);
    d.TimerTick();
    EXPECT_EQ(d.GapTimerExpired(), kTrue);
    EXPECT_EQ(d.ResponseTimerExpired(), kFalse);
    d.TimerTick();
    EXPECT_EQ(d.ResponseTimerExpired(), kTrue);
    EXPECT_EQ(d.TurnaroundTimerExpired(), kFalse);
    d.TimerTick();
    EXPECT_EQ(d.TurnaroundTimerExpired(), kTrue);
    // Ticking expired or stopped timers changes nothing.
    d.GapTimerSet(0, false);
    for (int i = 0; i < 5; ++i) d.TimerTick();
    EXPECT_EQ(d.DelayTimer.TicksLeft, 0);
    EXPECT_EQ(d.GapTimer.TicksLeft, 10000);
    EXPECT_EQ(d.GapTimer.Done, kTrue);
}

TEST(TimerInit, StartsTimer1At10MsAndStopsEveryTimerAndResetsTheTimeout) {
    LinkRig rig;  // MasterInit has run once
    CommDriver& d = rig.link.driver;
    EXPECT_TRUE(rig.clock.timerActive());
    EXPECT_EQ(rig.clock.timerIntervalMs(), 10);
    d.SetResponseTimeout(20);
    d.ResponseTimerSet(5, true);
    d.DelayTimerSet(1, true);
    d.TimerTick();
    ASSERT_EQ(d.DelayTimerExpired(), kTrue);

    d.TimerInit();
    EXPECT_EQ(d.ResponseTimeout, 1400);
    for (const SoftTimer* t : {&d.ResponseTimer, &d.GapTimer, &d.TurnaroundTimer, &d.DelayTimer}) {
        EXPECT_EQ(t->TicksLeft, 10000);
        EXPECT_EQ(t->Done, kTrue);
    }
    EXPECT_EQ(rig.clock.timerStarts(), 2);
    EXPECT_TRUE(rig.clock.timerActive());
}

TEST(TimerInit, Timer1DrivesTheTimersOnlyWhileTheCodeYields) {
    LinkRig rig;
    CommDriver& d = rig.link.driver;
    d.DelayTimerSet(6, true);
    rig.clock.advanceTicks(5);
    EXPECT_EQ(d.DelayTimerExpired(), kFalse);
    rig.clock.yieldOnce();
    EXPECT_EQ(d.DelayTimerExpired(), kTrue);
    EXPECT_EQ(d.TickCount(), 6);
}

TEST(TimerInit, ADriverThatGoesAwayStopsTimer1) {
    VirtualClock clock;
    FakeSerialPort port(clock);
    RecordingMessages messages;
    {
        ModbusLink link(port, clock, clock.timer1(), messages);
        link.master.MasterInit();
        ASSERT_TRUE(clock.timerActive());
    }
    EXPECT_FALSE(clock.timerActive());
    clock.advanceTicks(3);  // would call into the destroyed driver if the timer still ran
}

// ---- Sending and receiving ----

// Frames a request into TxFrame as the engine does.
void frameRequest(LinkRig& rig, std::uint8_t address, const Bytes& data) {
    rig.link.master.LoadRequest(0x2B, address, data, static_cast<std::int32_t>(data.size()));
    ASSERT_EQ(rig.link.master.BuildRequestFrame(), kTrue);
}

std::int64_t tickOf(std::int64_t us) {
    return (us + VirtualClock::kTickUs - 1) / VirtualClock::kTickUs;
}

TEST(ReceiveFrame, NoReplyTimesOutExactlyResponseTimeoutTicksAfterTheOutputHasLeft) {
    // 267 bytes at 9600 baud take about 306 ms on the wire: a timer started at the
    // hand-over instead of when the line went quiet would end 31 ticks early.
    LinkRig rig("9600,e,8,1");
    CommDriver& d = rig.link.driver;
    d.SetResponseTimeout(20);
    frameRequest(rig, 33, Bytes(263, 0x11));
    const std::int64_t start = rig.clock.ticks();
    ASSERT_TRUE(d.SendFrame());
    ASSERT_EQ(rig.port.written().size(), 1u);
    const auto& sent = rig.port.written()[0];
    ASSERT_EQ(sent.bytes.size(), 267u);
    EXPECT_EQ(sent.endUs - sent.startUs, 305'938);
    const std::int64_t drained = rig.clock.ticks();
    EXPECT_EQ(drained, start + tickOf(sent.endUs - sent.startUs));
    EXPECT_EQ(rig.port.outBufferCount(), 0);
    EXPECT_EQ(rig.link.master.EvSent, 1);

    EXPECT_EQ(d.ReceiveFrame(), 1);
    EXPECT_EQ(rig.clock.ticks() - drained, 20);
    EXPECT_EQ(d.GapTimer.Done, kTrue);  // a timed-out receive never armed it
    EXPECT_EQ(d.GapTimerExpired(), kFalse);
}

class BurstTiming : public ::testing::TestWithParam<std::int64_t> {};

TEST_P(BurstTiming, AFiveByteBurstIsTakenTwoTicksAfterItsLastByteArrived) {
    LinkRig rig;
    CommDriver& d = rig.link.driver;
    d.SetResponseTimeout(20);
    const Bytes reply = buildFrame(0x21, 0x7E, Bytes{0x02});
    rig.device.answer(reply, GetParam());
    frameRequest(rig, 33, {0x01});
    ASSERT_TRUE(d.SendFrame());
    const std::int64_t receiveStart = rig.clock.ticks();
    ASSERT_EQ(d.ReceiveFrame(), 0);
    ASSERT_EQ(rig.device.requests().size(), 1u);
    const std::int64_t lastByteUs =
        rig.device.requests()[0].atUs + GetParam() + rig.port.wireTimeUs(5);
    // Counted at the first look after it arrived: the receive looks once per tick.
    const std::int64_t countedTick = std::max(tickOf(lastByteUs), receiveStart + 1);
    EXPECT_EQ(rig.clock.ticks(), countedTick + 2);
    EXPECT_EQ(rig.link.dll.RxFrame.Length, 5);
    EXPECT_EQ(rig.link.dll.RxFrame.Ready, kTrue);
    EXPECT_EQ(Bytes(rig.link.dll.RxFrame.Data.begin(), rig.link.dll.RxFrame.Data.begin() + 5),
              reply);
    EXPECT_EQ(d.GapTimerExpired(), kFalse);  // stopped at the end of the frame
    EXPECT_EQ(rig.port.inBufferCount(), 0);
}

// Turnarounds that put the burst early in a tick, across a tick boundary and late.
INSTANTIATE_TEST_SUITE_P(Turnarounds, BurstTiming, ::testing::Values(1'000, 8'500, 25'000, 98'000));

struct RaceCase {
    const char* name;
    std::int64_t firstByteUs;  // arrival of the reply's first byte after the line went quiet
    std::uint8_t result;
};

class TimeoutRace : public ::testing::TestWithParam<RaceCase> {};

TEST_P(TimeoutRace, AByteWaitingWhenTheTimerIsTestedWinsOverItsExpiry) {
    LinkRig rig;  // the device stays silent; the reply is put on the line by hand
    CommDriver& d = rig.link.driver;
    d.SetResponseTimeout(5);
    frameRequest(rig, 33, {0x01});
    ASSERT_TRUE(d.SendFrame());
    // The timer now runs out in the 5th tick from here, 50 ms on.
    rig.port.inject(dexsim::Reply{
        {{GetParam().firstByteUs - rig.port.wireTimeUs(1), buildFrame(0x21, 0x7E, Bytes{0x02})}}});
    EXPECT_EQ(d.ReceiveFrame(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Edges, TimeoutRace,
                         ::testing::Values(RaceCase{"well_before", 30'000, 0},
                                           RaceCase{"early_in_the_tick_the_timer_runs_out", 40'200,
                                                    0},
                                           RaceCase{"at_the_end_of_that_tick", 50'000, 0},
                                           RaceCase{"just_after", 50'100, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ReceiveFrame, BytesArrivingInTheTickTheGapRunsOutAreTakenButNotCounted) {
    LinkRig rig;
    CommDriver& d = rig.link.driver;
    const Bytes good = buildFrame(0x21, 0x7E, Bytes{0x02});
    // The request leaves in 0.96 ms; the good frame's last byte arrives at 13.9 ms and is
    // counted in tick 2; the tail starts 20 ms later, in tick 4, the tick in which the gap
    // timer armed in tick 2 runs out.
    rig.device.answerChunks({{12'000, good}, {20'000, Bytes{0xDE, 0xAD}}});
    frameRequest(rig, 33, {0x01});
    ASSERT_TRUE(d.SendFrame());
    ASSERT_EQ(d.ReceiveFrame(), 0);
    EXPECT_EQ(rig.link.dll.RxFrame.Length, 5);
    EXPECT_GT(rig.link.dll.RxFrame.Data.size(), 5u);
    EXPECT_EQ(Bytes(rig.link.dll.RxFrame.Data.begin(), rig.link.dll.RxFrame.Data.begin() + 5),
              good);
}

TEST(ReceiveFrame, AnEndlessStreamEndsWhenTheInputBufferIsFull) {
    LinkRig rig;
    CommDriver& d = rig.link.driver;
    // 100,000 bytes without a pause: about 19 s at 57600 baud.
    rig.device.answer(Bytes(100'000, 0x55), 1'000);
    frameRequest(rig, 33, {0x01});
    ASSERT_TRUE(d.SendFrame());
    ASSERT_EQ(d.ReceiveFrame(), 0);
    EXPECT_GE(rig.link.dll.RxFrame.Length, CommDriver::kInBufferSize);
    EXPECT_LT(rig.clock.ticks(), 30);  // 1024 bytes take about 20 ticks
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    EXPECT_EQ(rig.link.dll.CheckFrame(f, rig.link.master.RspMsg, n, a), ErrDataConflict);
}

TEST(SendFrame, DiscardsStaleInputBeforeTheRequestGoesOut) {
    LinkRig rig;
    CommDriver& d = rig.link.driver;
    rig.port.inject(dexsim::Reply{{{0, Bytes{0x01, 0x02, 0x03}}}});
    rig.clock.advanceTicks(1);
    ASSERT_EQ(rig.port.inBufferCount(), 3);
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    frameRequest(rig, 33, {0x01});
    ASSERT_TRUE(d.SendFrame());
    ASSERT_EQ(d.ReceiveFrame(), 0);
    EXPECT_EQ(rig.link.dll.RxFrame.Length, 5);
    EXPECT_EQ(Bytes(rig.link.dll.RxFrame.Data.begin(), rig.link.dll.RxFrame.Data.begin() + 5),
              buildFrame(0x21, 0x7E, Bytes{0x02}));
}

TEST(SendFrame, ABroadcastArmsTheTurnaroundTimerInsteadOfTheResponseTimer) {
    LinkRig rig;
    CommDriver& d = rig.link.driver;
    frameRequest(rig, 0, {0x01});
    ASSERT_TRUE(d.SendFrame());
    EXPECT_EQ(rig.link.master.EvBroadcastSent, 1);
    EXPECT_EQ(rig.link.master.EvSent, 0);
    EXPECT_EQ(d.ResponseTimer.Done, kTrue);
    EXPECT_EQ(d.TurnaroundTimer.Done, kFalse);
    EXPECT_EQ(d.TurnaroundTimer.TicksLeft, 1000);
}

struct SendErrorCase {
    const char* name;
    const char* settings;
    std::int64_t vanishAtTick;  // -1: not at all; 0: before sending
    const char* description;
};

class SendErrors : public ::testing::TestWithParam<SendErrorCase> {};

TEST_P(SendErrors, ShowTheMessageOnceAndRaiseNoEvent) {
    const auto& c = GetParam();
    LinkRig rig(c.settings);
    CommDriver& d = rig.link.driver;
    if (c.vanishAtTick == 0) rig.port.vanish();
    if (c.vanishAtTick > 0) rig.clock.atTick(c.vanishAtTick, [&] { rig.port.vanish(); });
    frameRequest(rig, 33, Bytes(100, 0x22));
    EXPECT_FALSE(d.SendFrame());
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0], std::string("data send error！  ") + c.description);
    EXPECT_EQ(rig.link.master.EvSent, 0);
    EXPECT_EQ(rig.link.master.EvBroadcastSent, 0);
    EXPECT_EQ(d.ResponseTimer.Done, kTrue);
    EXPECT_LT(rig.clock.ticks(), 20);
}

INSTANTIATE_TEST_SUITE_P(
    Port, SendErrors,
    ::testing::Values(SendErrorCase{"port_closed", "", -1, "The port is not open"},
                      SendErrorCase{"device_gone_before", "57600,e,8,1", 0, "Input/output error"},
                      SendErrorCase{"device_gone_while_sending", "9600,e,8,1", 5,
                                    "Input/output error"}),
    [](const auto& p) { return std::string(p.param.name); });

// A port whose output never drains and that reports nothing.
class StuckPort : public SerialPort {
  public:
    CommError open(const std::string&, const std::string&) override { return {}; }
    void close() override {}
    bool isOpen() const override { return true; }
    std::string settings() const override { return "57600,e,8,1"; }
    int inBufferCount() override { return 0; }
    void discardInput() override {}
    void discardOutput() override {}
    std::vector<std::uint8_t> input() override { return {}; }
    CommError output(std::span<const std::uint8_t>) override { return {}; }
    int outBufferCount() override { return 3; }
    CommError takeError() override { return {}; }
};

TEST(SendFrame, OutputThatNeverDrainsEndsAsASendError) {
    VirtualClock clock;
    StuckPort port;
    RecordingMessages messages;
    ModbusLink link(port, clock, clock.timer1(), messages);
    link.master.MasterInit();
    link.call.SendRequest(0x7E, 33, std::array<std::uint8_t, 1>{0x01}, 1);
    EXPECT_EQ(clock.ticks(), CommDriver::kSendStallTicks);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "data send error！  The output does not drain");
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    std::array<std::uint8_t, 4> data{};
    EXPECT_EQ(link.call.WaitResponse(f, data, n, a), ErrTimeout);
}

}  // namespace
}  // namespace tabsend::testkit
