// The call pair SendRequest / WaitResponse over the whole link on a fake line.
#include "link/ModBusCall.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/LinkRig.h"

namespace tabsend::testkit {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::array<std::uint8_t, 1> kConnect{0x01};

// The out-arguments of WaitResponse, filled with marks that show whether they were written.
struct Outs {
    std::uint8_t func = 0xA5;
    std::int32_t length = -99;
    std::uint8_t address = 0x5A;
    std::array<std::uint8_t, 257> data;
    Outs() { data.fill(0xC3); }
    bool untouched() const {
        Outs fresh;
        return func == fresh.func && length == fresh.length && address == fresh.address &&
               data == fresh.data;
    }
};

std::uint8_t exchange(LinkRig& rig, Outs& o, std::uint8_t func = 0x7E,
                      std::span<const std::uint8_t> data = kConnect) {
    EXPECT_EQ(rig.link.call.SendRequest(func, 33, data, static_cast<std::int32_t>(data.size())),
              kTrue);
    return rig.link.call.WaitResponse(o.func, o.data, o.length, o.address);
}

TEST(ModBusCallTest, ConnectRequestAndItsReply) {
    LinkRig rig;
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    Outs o;
    EXPECT_EQ(exchange(rig, o), 0);
    EXPECT_EQ(o.func, 0x7E);
    EXPECT_EQ(o.length, 1);
    EXPECT_EQ(o.data[0], 0x02);
    EXPECT_EQ(o.data[1], 0xC3);  // nothing past the reply's data
    EXPECT_EQ(o.address, 0x21);
    ASSERT_EQ(rig.port.written().size(), 1u);
    EXPECT_EQ(rig.port.written()[0].bytes, (Bytes{0x21, 0x7E, 0x01, 0xC1, 0xAA}));
    EXPECT_TRUE(rig.messages.shown.empty());
}

struct OutcomeCase {
    const char* name;
    std::function<void(ScriptedDevice&)> plan;
    std::uint8_t result;
};

class Outcomes : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcomes, FailuresLeaveTheOutArgumentsAsTheyWere) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    GetParam().plan(rig.device);
    Outs o;
    EXPECT_EQ(exchange(rig, o), GetParam().result);
    if (GetParam().result != 0) {
        EXPECT_TRUE(o.untouched());
    } else {
        EXPECT_EQ(o.func, 0xFE);
        EXPECT_EQ(o.data[0], 0x01);
    }
    // And the link is fit for the next exchange.
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    Outs next;
    EXPECT_EQ(exchange(rig, next), 0);
    EXPECT_EQ(next.data[0], 0x02);
}

Bytes withOneByteChanged(Bytes b, std::size_t at) {
    b[at] ^= 0x40;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Outcomes,
    ::testing::Values(
        OutcomeCase{"no_reply", [](ScriptedDevice& d) { d.silent(); }, 32},
        OutcomeCase{"one_byte_changed",
                    [](ScriptedDevice& d) {
                        d.answer(withOneByteChanged(buildFrame(0x21, 0x7E, Bytes{0x02}), 2));
                    },
                    33},
        OutcomeCase{"crc_swapped",
                    [](ScriptedDevice& d) {
                        d.answer({0x21, 0x7E, 0x01, 0xAA, 0xC1});
                    },
                    33},
        OutcomeCase{"single_byte", [](ScriptedDevice& d) { d.answer({0x21}); }, 33},
        OutcomeCase{"three_bytes_with_sound_crc",
                    [](ScriptedDevice& d) {
                        const CrcBytes c = crc16(Bytes{0x21});
                        d.answer({0x21, c.low, c.high});
                    },
                    33},
        OutcomeCase{"over_long_reply_272_data_bytes",
                    [](ScriptedDevice& d) { d.answerFrame(0x21, 0x5B, Bytes(272, 0x11)); }, 33},
        OutcomeCase{"exception_reply_is_passed_on",
                    [](ScriptedDevice& d) { d.answerFrame(0x21, 0xFE, {0x01}); }, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ModBusCallTest, TheLargestReplyIsCutToTheCallersBufferAndKeepsItsLength) {
    LinkRig rig;
    Bytes big(271);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    rig.device.answerFrame(0x21, 0x5B, big);
    std::array<std::uint8_t, 260> buffer;
    buffer.fill(0xC3);
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    rig.link.call.SendRequest(0x5B, 33, kConnect, 1);
    // The caller hands over 257 bytes of a larger array: the rest must stay as it was.
    EXPECT_EQ(rig.link.call.WaitResponse(f, std::span(buffer).first(257), n, a), 0);
    EXPECT_EQ(n, 271);
    EXPECT_EQ(buffer[256], 0);  // 256 & 0xFF
    EXPECT_EQ(buffer[255], 255);
    EXPECT_EQ(buffer[257], 0xC3);
    EXPECT_EQ(buffer[259], 0xC3);
}

TEST(ModBusCallTest, NoReplyGivesTimeoutTwentyTicksAfterTheLongRequestHasLeftTheWire) {
    LinkRig rig("9600,e,8,1");
    rig.link.driver.SetResponseTimeout(20);
    const Bytes data(263, 0x11);  // a 267-byte frame: about 31 ticks on the wire
    const std::int64_t start = rig.clock.ticks();
    rig.link.call.SendRequest(0x2B, 33, data, 263);
    const std::int64_t sent = rig.clock.ticks();
    EXPECT_EQ(sent - start, 31);
    EXPECT_EQ(rig.port.outBufferCount(), 0);
    Outs o;
    EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    EXPECT_EQ(rig.clock.ticks() - sent, 20);
    EXPECT_TRUE(o.untouched());
}

TEST(ModBusCallTest, TheResponseTimeoutStaysInForceAcrossRequests) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(6);
    for (int i = 0; i < 3; ++i) {
        rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
        const std::int64_t sent = rig.clock.ticks();
        Outs o;
        EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
        EXPECT_EQ(rig.clock.ticks() - sent, 6) << "request " << i;
    }
}

TEST(ModBusCallTest, SeveralExchangesInARowNeedNoReset) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    rig.device.answerFrame(0x21, 0x7E, {0x02})
        .silent()
        .answer({0x21, 0x7E, 0x02, 0x00, 0x00})
        .answerFrame(0x21, 0x2B, {0x2B, 0x01})
        .answerFrame(0x21, 0x7E, {0x00});
    const std::uint8_t expected[] = {0, 32, 33, 0, 0};
    const Bytes firstData[] = {{0x02}, {}, {}, {0x2B, 0x01}, {0x00}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        Outs o;
        ASSERT_EQ(exchange(rig, o), expected[i]) << "exchange " << i;
        if (expected[i] == 0) {
            EXPECT_EQ(o.length, static_cast<std::int32_t>(firstData[i].size()));
            EXPECT_EQ(Bytes(o.data.begin(), o.data.begin() + o.length), firstData[i]);
        }
    }
    EXPECT_EQ(rig.device.requests().size(), 5u);
    for (const auto& r : rig.device.requests()) {
        EXPECT_EQ(r.frame, (Bytes{0x21, 0x7E, 0x01, 0xC1, 0xAA}));
    }
}

TEST(ModBusCallTest, AReplySplitBySilenceIsTakenInTwoPiecesAndTheRestIsDiscardedByTheNextSend) {
    // A pause of exactly 2 ticks: the rest comes in the tick the gap runs out and is taken
    // with the first piece, uncounted. A longer pause: the rest is still waiting afterwards.
    struct Split {
        std::int64_t pauseUs;
        int leftWaiting;
    };
    for (auto [pauseUs, leftWaiting] : {Split{20'000, 0}, Split{45'000, 2}}) {
        LinkRig rig;
        const Bytes good = buildFrame(0x21, 0x7E, Bytes{0x02});
        // The first piece arrives while the receive is already looking (tick 2), so the
        // pause is measured from the tick in which its bytes were counted.
        rig.device.answerChunks({{12'000, Bytes(good.begin(), good.begin() + 3)},
                                 {pauseUs, Bytes(good.begin() + 3, good.end())}});
        rig.device.answerFrame(0x21, 0x7E, {0x02});
        Outs o;
        EXPECT_EQ(exchange(rig, o), ErrDataConflict) << pauseUs;
        rig.clock.advanceTicks(6);  // the caller's pause after a failed try; the rest arrives
        EXPECT_EQ(rig.port.inBufferCount(), leftWaiting) << pauseUs;
        Outs next;
        EXPECT_EQ(exchange(rig, next), 0) << pauseUs;
        EXPECT_EQ(next.data[0], 0x02);
    }
}

TEST(ModBusCallTest, AShortPauseInsideAReplyDoesNotSplitIt) {
    LinkRig rig;
    const Bytes good = buildFrame(0x21, 0x7E, Bytes{0x02});
    rig.device.answerChunks({{2'000, Bytes(good.begin(), good.begin() + 3)},
                             {5'000, Bytes(good.begin() + 3, good.end())}});
    Outs o;
    EXPECT_EQ(exchange(rig, o), 0);
    EXPECT_EQ(o.data[0], 0x02);
}

// Another unit's frame on a shared line is not the answer: it is ignored and the wait goes
// on, until the timeout counted from the request or until our unit's answer comes.
TEST(ModBusCallTest, AReplyFromAnotherAddressIsIgnoredAndTheWaitGoesOnToTheTimeout) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    rig.device.answerFrame(7, 0x7E, {0x02});
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    const std::int64_t sent = rig.clock.ticks();
    Outs o;
    EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    EXPECT_TRUE(o.untouched());
    EXPECT_GE(rig.clock.ticks() - sent, 20);
    EXPECT_LE(rig.clock.ticks() - sent, 22);
}

TEST(ModBusCallTest, OurUnitsAnswerAfterAForeignFrameIsTaken) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    const Bytes foreign = buildFrame(7, 0x7E, Bytes{0x05});
    const Bytes ours = buildFrame(0x21, 0x7E, Bytes{0x02});
    rig.device.answerChunks({{2'000, foreign}, {60'000, ours}});
    Outs o;
    EXPECT_EQ(exchange(rig, o), 0);
    EXPECT_EQ(o.address, 0x21);
    EXPECT_EQ(o.data[0], 0x02);
}

TEST(ModBusCallTest, APortThatVanishesWhileSendingGivesOneMessageAndTimeout) {
    LinkRig rig("9600,e,8,1");
    rig.link.driver.SetResponseTimeout(1400);
    rig.clock.atTick(5, [&] { rig.port.vanish(); });
    const Bytes data(200, 0x33);  // about 23 ticks on the wire
    rig.link.call.SendRequest(0x2B, 33, data, 200);
    Outs o;
    EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    EXPECT_TRUE(o.untouched());
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0], "data send error！  Input/output error");
    EXPECT_LE(rig.clock.ticks(), 6);  // not the 14 s response timeout
    EXPECT_TRUE(rig.link.driver.LineLost());
    // Further requests end at once as timeouts: no new message, nothing put on the line.
    const std::size_t writes = rig.port.written().size();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(exchange(rig, o), ErrTimeout);
    EXPECT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.port.written().size(), writes);
    EXPECT_LE(rig.clock.ticks(), 6);
}

TEST(ModBusCallTest, APortThatVanishesWhileAwaitingTheReplyEndsTheWaitAtOnceWithOneMessage) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(1400);
    rig.device.answerFrame(0x21, 0x7E, {0x02}, 5'000'000);
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    const std::int64_t sent = rig.clock.ticks();
    rig.clock.atTick(sent + 250, [&] { rig.port.vanish(); });
    Outs o;
    EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    // Noticed on the tick of the loss, not when the 14 s timeout runs out.
    EXPECT_LE(rig.clock.ticks(), sent + 251);
    EXPECT_EQ(rig.messages.shown,
              std::vector<std::string>{"data receive error！  Input/output error"});
    EXPECT_TRUE(rig.link.driver.LinkFailed());
    EXPECT_EQ(exchange(rig, o), ErrTimeout);
    EXPECT_EQ(rig.messages.shown.size(), 1u);
}

TEST(ModBusCallTest, AReopenedPortSendsAgainAfterALostLine) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    rig.port.vanish();
    Outs o;
    EXPECT_EQ(exchange(rig, o), ErrTimeout);
    EXPECT_EQ(rig.messages.shown.size(), 1u);
    rig.port.close();
    rig.port.reappear();
    ASSERT_TRUE(rig.port.open("COM1", "57600,e,8,1").ok());
    rig.link.driver.LineRestored();
    EXPECT_FALSE(rig.link.driver.LineLost());
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    EXPECT_EQ(exchange(rig, o), 0);
    EXPECT_EQ(o.data[0], 0x02);
    EXPECT_EQ(rig.messages.shown.size(), 1u);
}

// A port layer that closes itself when the line is lost and keeps the reason.
class SelfClosingPort : public FakeSerialPort {
  public:
    using FakeSerialPort::FakeSerialPort;
    void loseLine() {
        lost_ = {CommErrorNumber::ReadFailed, "The line was lost"};
        close();
    }
    CommError takeError() override {
        CommError e = lost_;
        lost_ = {};
        return e;
    }

  private:
    CommError lost_;
};

TEST(ModBusCallTest, ALineLostDuringTheWaitIsToldWithTheLayersReasonAndNotAgain) {
    VirtualClock clock;
    ScriptedDevice device;
    SelfClosingPort port(clock, &device);
    RecordingMessages messages;
    ModbusLink link(port, clock, clock.timer1(), messages);
    ASSERT_TRUE(port.open("COM1", "57600,e,8,1").ok());
    link.master.MasterInit();
    link.driver.SetResponseTimeout(20);
    link.call.SendRequest(0x7E, 33, kConnect, 1);
    const std::int64_t sent = clock.ticks();
    clock.atTick(sent + 3, [&] { port.loseLine(); });
    Outs o;
    EXPECT_EQ(link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    EXPECT_LE(clock.ticks(), sent + 4);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"data receive error！  The line was lost"});
    EXPECT_EQ(link.driver.LineLostText(), "The line was lost");
    link.call.SendRequest(0x7E, 33, kConnect, 1);
    EXPECT_EQ(link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST(ModBusCallTest, RequestsOnAClosedPortFailWithTheMessage) {
    LinkRig rig;
    rig.port.close();
    Outs o;
    EXPECT_EQ(exchange(rig, o), ErrTimeout);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0], "data send error！  The port is not open");
}

TEST(ModBusCallTest, WaitResponseWithoutARequestReturnsAtOnce) {
    LinkRig rig;
    Outs o;
    // Right after MasterInit.
    EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), ErrTimeout);
    EXPECT_TRUE(o.untouched());
    // After a collected exchange: the old reply must not be handed out again as new.
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    Outs first;
    ASSERT_EQ(exchange(rig, first), 0);
    const std::int64_t before = rig.clock.ticks();
    Outs again;
    EXPECT_EQ(rig.link.call.WaitResponse(again.func, again.data, again.length, again.address),
              ErrTimeout);
    EXPECT_TRUE(again.untouched());
    EXPECT_EQ(rig.clock.ticks(), before);
    // And the link still works.
    rig.device.answerFrame(0x21, 0x7E, {0x00});
    Outs next;
    EXPECT_EQ(exchange(rig, next), 0);
    EXPECT_EQ(next.data[0], 0x00);
}

TEST(ModBusCallTest, ASecondRequestBeforeTheWaitCompletesAndDropsTheFirst) {
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    rig.device.answerFrame(0x21, 0x7E, {0x02}).answerFrame(0x21, 0x7E, {0x00});
    const std::array<std::uint8_t, 1> disconnect{0x00};
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    rig.link.call.SendRequest(0x7E, 33, disconnect, 1);
    Outs o;
    EXPECT_EQ(rig.link.call.WaitResponse(o.func, o.data, o.length, o.address), 0);
    EXPECT_EQ(o.data[0], 0x00);
    ASSERT_EQ(rig.device.requests().size(), 2u);
    EXPECT_EQ(rig.device.requests()[1].frame, (Bytes{0x21, 0x7E, 0x00, 0x00, 0x6A}));
}

}  // namespace
}  // namespace tabsend::testkit
