// The master engine: state sequences of whole exchanges, the event rule, the records.
#include "link/ModBusMaster.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "link/ModBusCall.h"
#include "tests/support/LinkRig.h"

namespace tabsend::testkit {
namespace {

using Bytes = std::vector<std::uint8_t>;
using States = std::vector<int>;

const std::array<std::uint8_t, 1> kConnect{0x01};

struct SequenceCase {
    const char* name;
    std::function<void(LinkRig&)> plan;
    std::uint8_t result;
    States states;
};

class ExchangeStates : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(ExchangeStates, EngineRunsThroughTheStatesOfItsOutcome) {
    const auto& c = GetParam();
    LinkRig rig;
    rig.link.driver.SetResponseTimeout(20);
    States seen{rig.link.master.MasterState()};
    rig.link.master.OnStateChange = [&](std::uint8_t, std::uint8_t to) { seen.push_back(to); };
    c.plan(rig);
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    std::array<std::uint8_t, 257> data{};
    EXPECT_EQ(rig.link.call.WaitResponse(f, data, n, a), c.result);
    EXPECT_EQ(rig.link.master.MasterState(), StDone);
    rig.link.master.MasterStep();  // the first step of the next exchange collects
    EXPECT_EQ(seen, c.states);
    EXPECT_EQ(rig.link.master.MasterError, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ExchangeStates,
    ::testing::Values(
        SequenceCase{"good_reply", [](LinkRig& r) { r.device.answerFrame(0x21, 0x7E, {0x02}); }, 0,
                     States{0, 1, 2, 3, 6, 0}},
        SequenceCase{"no_reply", [](LinkRig& r) { r.device.silent(); }, 32,
                     States{0, 1, 2, 4, 6, 0}},
        SequenceCase{"damaged_reply",
                     [](LinkRig& r) {
                         r.device.answer({0x21, 0x7E, 0x02, 0x00, 0x00});
                     },
                     33, States{0, 1, 2, 3, 4, 6, 0}},
        SequenceCase{"port_gone", [](LinkRig& r) { r.port.vanish(); }, 32, States{0, 1, 4, 6, 0}}),
    [](const auto& p) { return std::string(p.param.name); });

struct EventCase {
    const char* name;
    std::vector<std::uint8_t ModBusMaster::*> raised;
    std::uint8_t start;
    std::uint8_t next;
};

class EventRule : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventRule, TheEventLastInTableOrderDecidesAndAllAreCleared) {
    const auto& c = GetParam();
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    m.EngineState = c.start;
    for (auto ev : c.raised) m.*ev = 1;
    EXPECT_EQ(m.UpdateState(), c.next);
    EXPECT_EQ(m.MasterState(), c.next);
    EXPECT_FALSE(m.EventPending());
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, EventRule,
    ::testing::Values(
        EventCase{
            "sent_and_received", {&ModBusMaster::EvSent, &ModBusMaster::EvReceived}, 1, StReplyIn},
        // The order in which they were raised does not matter, only the table's.
        EventCase{
            "received_then_sent", {&ModBusMaster::EvReceived, &ModBusMaster::EvSent}, 1, StReplyIn},
        EventCase{"framed_and_collected",
                  {&ModBusMaster::EvFramed, &ModBusMaster::EvCollected},
                  6,
                  StIdle},
        EventCase{"no_reply_and_good_frame",
                  {&ModBusMaster::EvNoReply, &ModBusMaster::EvGoodFrame},
                  2,
                  StDone},
        EventCase{"bad_frame_and_turnaround_over",
                  {&ModBusMaster::EvBadFrame, &ModBusMaster::EvTurnaroundOver},
                  3,
                  StFailed},
        // The current state is not consulted.
        EventCase{"received_in_idle", {&ModBusMaster::EvReceived}, 0, StReplyIn},
        EventCase{"nothing_raised", {}, 4, StFailed}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ModBusMasterTest, BuildRequestFrameBeforeAnyLoadRequestGivesFalseAndRaisesNothing) {
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    const Bytes txBefore = rig.link.dll.TxFrame.Data;
    EXPECT_EQ(m.BuildRequestFrame(), kFalse);
    EXPECT_FALSE(m.EventPending());
    EXPECT_EQ(rig.link.dll.TxFrame.Data, txBefore);
    EXPECT_EQ(rig.link.dll.TxFrame.Length, 0);
}

TEST(ModBusMasterTest, LoadRequestSizesTheRecordToTheCountAndBuildKeepsItReady) {
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    const Bytes data{9, 8, 7, 6};
    m.LoadRequest(0x5A, 33, data, 3);
    EXPECT_EQ(m.ReqMsg.Data, (Bytes{9, 8, 7}));
    EXPECT_EQ(m.ReqMsg.Length, 3);
    EXPECT_EQ(m.ReqMsg.FuncCode, 0x5A);
    EXPECT_EQ(m.ReqMsg.Address, 33);
    EXPECT_EQ(m.ReqMsg.Ready, kTrue);
    EXPECT_EQ(m.BuildRequestFrame(), kTrue);
    EXPECT_EQ(m.EvFramed, 1);
    EXPECT_EQ(m.ReqMsg.Ready, kTrue);
    EXPECT_EQ(rig.link.dll.TxFrame.Data, buildFrame(33, 0x5A, Bytes{9, 8, 7}));
}

TEST(ModBusMasterTest, MasterInitGivesEmptyRecordsStateIdleAndNoEvents) {
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);  // left in state 1 with EvSent
    m.EvBadFrame = 1;
    m.MasterError = 33;
    rig.link.driver.SetResponseTimeout(6);

    m.MasterInit();
    for (const ModBusMsg* r : {&m.ReqMsg, &m.RspMsg}) {
        EXPECT_EQ(r->Data.size(), kRecordBytes);
        EXPECT_EQ(r->Length, 0);
        EXPECT_EQ(r->Ready, kFalse);
    }
    EXPECT_EQ(m.MasterState(), StIdle);
    EXPECT_EQ(m.MasterError, 0);
    EXPECT_FALSE(m.EventPending());
    EXPECT_EQ(rig.link.driver.ResponseTimeout, 1400);
    EXPECT_EQ(rig.link.dll.RxFrame.Data.size(), kRecordBytes);
    EXPECT_EQ(rig.link.dll.TxFrame.Length, 0);
}

TEST(ModBusMasterTest, FetchResponseOfAFailureResetsTheErrorAndLeavesTheOutArguments) {
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    m.MasterError = 33;
    m.RspMsg.Ready = kTrue;
    m.RspMsg.Length = 4;
    std::uint8_t f = 0xAA, a = 0xBB;
    std::int32_t n = 77;
    std::array<std::uint8_t, 4> data{1, 2, 3, 4};
    EXPECT_EQ(m.FetchResponse(f, data, n, a), 33);
    EXPECT_EQ(m.MasterError, 0);
    EXPECT_EQ(m.RspMsg.Ready, kFalse);
    EXPECT_EQ(m.RspMsg.Length, 0);
    EXPECT_EQ(m.EvCollected, 1);
    EXPECT_EQ(f, 0xAA);
    EXPECT_EQ(a, 0xBB);
    EXPECT_EQ(n, 77);
    EXPECT_EQ(data, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
}

TEST(ModBusMasterTest, FetchResponseWritesNoMoreThanTheCallersBufferHolds) {
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    m.RspMsg.FuncCode = 0x5B;
    m.RspMsg.Address = 0x21;
    m.RspMsg.Length = 10;
    for (std::size_t i = 0; i < 10; ++i) m.RspMsg.Data[i] = static_cast<std::uint8_t>(0x10 + i);
    std::array<std::uint8_t, 6> buffer{};  // the caller passes the first 4 only
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    EXPECT_EQ(m.FetchResponse(f, std::span(buffer).first(4), n, a), 0);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0x10, 0x11, 0x12, 0x13, 0, 0}));
    EXPECT_EQ(n, 10);  // the reply's own length
    EXPECT_EQ(f, 0x5B);
    EXPECT_EQ(a, 0x21);
}

TEST(ModBusMasterTest, ADamagedReplyLeavesZerosInTheReplyRecord) {
    LinkRig rig;
    ModBusMaster& m = rig.link.master;
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    rig.device.answer({0x21, 0x7E, 0x02, 0x12, 0x34});
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    std::array<std::uint8_t, 257> data{};
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    ASSERT_EQ(rig.link.call.WaitResponse(f, data, n, a), 0);
    EXPECT_EQ(m.RspMsg.FuncCode, 0x7E);
    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    // Step up to the outcome without collecting it.
    while (m.MasterState() != StDone) m.MasterStep();
    EXPECT_EQ(m.MasterError, 33);
    EXPECT_EQ(m.RspMsg.FuncCode, 0);
    EXPECT_EQ(m.RspMsg.Address, 0);
    EXPECT_EQ(m.RspMsg.Length, 0);
    EXPECT_EQ(m.RspMsg.Ready, kTrue);
}

TEST(ModBusMasterTest, ABroadcastGetsNoReplyAndTheNextRequestWaitsOutTheQuietTime) {
    LinkRig rig;
    rig.device.silent();  // the broadcast
    rig.device.answerFrame(0x21, 0x7E, {0x02});
    std::vector<int> seen;
    rig.link.master.OnStateChange = [&](std::uint8_t, std::uint8_t to) { seen.push_back(to); };

    rig.link.call.SendRequest(0x7E, 0, kConnect, 1);
    const std::int64_t sent = rig.clock.ticks();
    std::uint8_t f = 0, a = 0;
    std::int32_t n = 0;
    std::array<std::uint8_t, 257> data{};
    EXPECT_EQ(rig.link.call.WaitResponse(f, data, n, a), ErrTimeout);
    EXPECT_EQ(rig.clock.ticks(), sent);  // nothing to wait for

    rig.link.call.SendRequest(0x7E, 33, kConnect, 1);
    ASSERT_EQ(rig.device.requests().size(), 2u);
    EXPECT_EQ(rig.device.requests()[0].frame[0], 0);
    const std::int64_t quiet = rig.port.written()[1].startUs - rig.port.written()[0].endUs;
    EXPECT_GE(quiet, 1000 * VirtualClock::kTickUs);
    EXPECT_LT(quiet, 1002 * VirtualClock::kTickUs);
    EXPECT_EQ(rig.link.call.WaitResponse(f, data, n, a), 0);
    EXPECT_EQ(data[0], 0x02);
    EXPECT_EQ(seen, (std::vector<int>{1, 5, 0, 1, 2, 3, 6}));
}

}  // namespace
}  // namespace tabsend::testkit
