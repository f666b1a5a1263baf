// The dexio-sim command line.

#include <gtest/gtest.h>

#include "tools/sim/SimOptions.h"

namespace dexsim {
namespace {

SimOptions parse(std::vector<std::string> args) {
    auto r = parseSimOptions(args);
    EXPECT_TRUE(r.options) << r.error;
    return r.options.value_or(SimOptions{});
}

TEST(SimOptions, Defaults) {
    const SimOptions o = parse({});
    EXPECT_EQ(o.device.line, (tabsend::LineSettings{19200, tabsend::Parity::Even, 8, 1}));
    EXPECT_EQ(o.device.address, 33);
    EXPECT_EQ(o.device.turnaroundUs, 2'000);
    EXPECT_EQ(o.device.eraseUs, 1'500'000);
    EXPECT_TRUE(o.pace);
    EXPECT_FALSE(o.log);
    EXPECT_TRUE(o.dumpDir.empty());
    EXPECT_FALSE(o.device.faults.drop.enabled());
    EXPECT_FALSE(o.device.faults.stopAfter);
    for (const auto& s : o.device.slots) EXPECT_EQ(s.state, SlotState::Empty);
}

TEST(SimOptions, EveryOptionReachesTheConfiguration) {
    const SimOptions o = parse({"--settings",
                                "9600,n,8,2",
                                "--turnaround-ms=0.5",
                                "--erase-ms",
                                "20",
                                "--no-pace",
                                "--seed",
                                "77",
                                "--drop",
                                "0.1",
                                "--drop-nth",
                                "3,9",
                                "--corrupt",
                                "0.2",
                                "--exception",
                                "0.3",
                                "--exception-code",
                                "6",
                                "--wrong-echo",
                                "0.4",
                                "--split",
                                "0.5",
                                "--split-gap-ms",
                                "25",
                                "--late-ms",
                                "90",
                                "--late",
                                "0.6",
                                "--late-nth",
                                "4",
                                "--stop-after",
                                "40",
                                "--refuse",
                                "erase",
                                "--refuse",
                                "0x5A:8",
                                "--ignore",
                                "toggle",
                                "--dump-dir",
                                "/tmp/d",
                                "--slot2",
                                "out-of-service",
                                "--slot3",
                                "0xEF,8,300",
                                "--log",
                                "--require-connect",
                                "--address",
                                "7"});
    const DexioConfig& d = o.device;
    EXPECT_EQ(d.line, (tabsend::LineSettings{9600, tabsend::Parity::None, 8, 2}));
    EXPECT_EQ(d.turnaroundUs, 500);
    EXPECT_EQ(d.eraseUs, 20'000);
    EXPECT_FALSE(o.pace);
    EXPECT_EQ(d.seed, 77u);
    EXPECT_DOUBLE_EQ(d.faults.drop.probability, 0.1);
    EXPECT_EQ(d.faults.drop.nth, (std::vector<std::uint64_t>{3, 9}));
    EXPECT_DOUBLE_EQ(d.faults.corrupt.probability, 0.2);
    EXPECT_DOUBLE_EQ(d.faults.exception.probability, 0.3);
    EXPECT_EQ(d.faults.exceptionCode, 6);
    EXPECT_DOUBLE_EQ(d.faults.wrongEcho.probability, 0.4);
    EXPECT_DOUBLE_EQ(d.faults.split.probability, 0.5);
    EXPECT_EQ(d.faults.splitGapUs, 25'000);
    EXPECT_EQ(d.faults.lateUs, 90'000);
    EXPECT_DOUBLE_EQ(d.faults.late.probability, 0.6);
    EXPECT_EQ(d.faults.late.nth, (std::vector<std::uint64_t>{4}));
    EXPECT_EQ(d.faults.stopAfter, 40u);
    ASSERT_EQ(d.faults.refuse.size(), 2u);
    EXPECT_EQ(d.faults.refuse[0].kind, MessageKind::Erase);
    EXPECT_EQ(d.faults.refuse[1].funcCode, 0x5A);
    EXPECT_EQ(d.faults.refuse[1].firstByte, 8);
    ASSERT_EQ(d.faults.ignore.size(), 1u);
    EXPECT_EQ(d.faults.ignore[0].kind, MessageKind::Toggle);
    EXPECT_EQ(o.dumpDir, "/tmp/d");
    EXPECT_EQ(d.slots[0].state, SlotState::Empty);
    EXPECT_EQ(d.slots[1].state, SlotState::OutOfOperation);
    EXPECT_EQ(d.slots[2].rawStatus, 0xEF);
    EXPECT_EQ(d.slots[2].languageCode, 8);
    EXPECT_EQ(d.slots[2].version, 300u);
    EXPECT_TRUE(o.log);
    EXPECT_TRUE(d.requireConnect);
    EXPECT_EQ(d.address, 7);
}

TEST(SimOptions, HelpIsAFlag) {
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_NE(simUsage().find("--stop-after"), std::string::npos);
}

TEST(SimOptions, MalformedCommandLinesAreRefusedWithTheReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--settings"}, "needs a value"},
        {{"--settings", "19200,x,8,1"}, "bad value for --settings"},
        {{"--drop", "1.5"}, "bad value for --drop"},
        {{"--drop", "-0.1"}, "bad value for --drop"},
        {{"--drop-nth", "0"}, "bad value for --drop-nth"},
        {{"--drop-nth", "3,,4"}, "bad value for --drop-nth"},
        {{"--erase-ms", "soon"}, "bad value for --erase-ms"},
        {{"--slot1", "half-full"}, "bad value for --slot1"},
        {{"--slot1", "0x100"}, "bad value for --slot1"},
        {{"--refuse", "everything"}, "bad value for --refuse"},
        {{"--seed", "-1"}, "bad value for --seed"},
        {{"--log=yes"}, "takes no value"},
    };
    for (const auto& [args, reason] : cases) {
        const auto r = parseSimOptions(args);
        EXPECT_FALSE(r.options) << args[0];
        EXPECT_NE(r.error.find(reason), std::string::npos) << r.error;
    }
}

TEST(SimOptions, SlotPresets) {
    struct Case {
        const char* text;
        SlotState state;
        std::optional<std::uint8_t> raw;
    };
    for (const Case& c :
         {Case{"empty", SlotState::Empty, {}}, Case{"in-service", SlotState::InOperation, {}},
          Case{"in-operation", SlotState::InOperation, {}},
          Case{"out-of-service", SlotState::OutOfOperation, {}},
          Case{"locked", SlotState::NotSwitchable, {}},
          Case{"not-switchable", SlotState::NotSwitchable, {}},
          Case{"239", SlotState::Empty, 239}}) {
        const auto p = parseSlotPreset(c.text);
        ASSERT_TRUE(p) << c.text;
        EXPECT_EQ(p->state, c.state) << c.text;
        EXPECT_EQ(p->rawStatus, c.raw) << c.text;
    }
    EXPECT_FALSE(parseSlotPreset("in-service,1,2,3"));
    EXPECT_FALSE(parseSlotPreset("in-service,70000"));
}

TEST(MessageFilters, ParseAndFormat) {
    for (const char* text : {"erase", "read-status", "package", "0x7D", "0x5A:8"}) {
        const auto f = parseMessageFilter(text);
        ASSERT_TRUE(f) << text;
        EXPECT_EQ(formatMessageFilter(*f), text);
    }
    EXPECT_FALSE(parseMessageFilter("0x5A:"));
    EXPECT_FALSE(parseMessageFilter("0x100"));
    EXPECT_FALSE(parseMessageFilter(""));
    EXPECT_EQ(parseMessageFilter("90")->funcCode, 90);
}

}  // namespace
}  // namespace dexsim
