// The unit's answers at the line level and for the connection, identification, erase,
// information, read-back and toggle messages.

#include <gtest/gtest.h>

#include <bit>

#include "tests/tools/SimTestSupport.h"

namespace dexsim::test {
namespace {

using tabsend::LineSettings;
using tabsend::Parity;

// ---- Line settings ---------------------------------------------------------------------------

struct LineCase {
    const char* name;
    const char* configured;
    LineSettings host;
    bool connectFirst;  // connect at the configured setting before trying `host`
    bool answers;
};

class LineSettingsTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSettingsTest, ConnectAnsweredOnlyAtServedSettings) {
    const LineCase& c = GetParam();
    DexioConfig cfg;
    cfg.line = *tabsend::parseLineSettings(c.configured);
    DexioModel model(cfg);
    Host host{model, cfg.line};
    if (c.connectFirst) {
        ASSERT_TRUE(host.connect());
    }
    host.settings = c.host;
    const Answer a = host.ask(0x7E, {1});
    EXPECT_EQ(a.replied, c.answers);
    if (c.answers) {
        EXPECT_EQ(a.raw, tabsend::buildFrame(0x21, 0x7E, Bytes{2}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineSettingsTest,
    ::testing::Values(
        LineCase{"configured", "19200,e,8,1", {19200, Parity::Even, 8, 1}, false, true},
        LineCase{"otherBaud", "19200,e,8,1", {9600, Parity::Even, 8, 1}, false, false},
        LineCase{"otherStopBits", "19200,e,8,1", {19200, Parity::Even, 8, 2}, false, false},
        LineCase{"otherParity", "19200,e,8,1", {19200, Parity::None, 8, 1}, false, false},
        LineCase{"otherDataBits", "19200,e,8,1", {19200, Parity::Even, 7, 1}, false, false},
        LineCase{"downloadBeforeConnect", "19200,e,8,1", {57600, Parity::Even, 8, 1}, false, false},
        LineCase{"downloadAfterConnect", "19200,e,8,1", {57600, Parity::Even, 8, 1}, true, true},
        LineCase{
            "download8N2AfterConnect", "19200,e,8,1", {57600, Parity::None, 8, 2}, true, false},
        LineCase{"noParityTwoStop", "9600,n,8,2", {9600, Parity::None, 8, 2}, false, true},
        LineCase{
            "noParityTwoStopAskedEven", "9600,n,8,2", {9600, Parity::Even, 8, 1}, false, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LineSettings, DownloadSettingServedUntilDisconnect) {
    DexioModel model;
    Host host{model};
    ASSERT_TRUE(host.connect());
    host.settings = k57600e81;
    EXPECT_EQ(host.status(1), 0xFF);
    const Answer bye = host.ask(0x7E, {0});
    EXPECT_EQ(bye.raw, (Bytes{0x21, 0x7E, 0x00, 0x00, 0x6A}));
    EXPECT_FALSE(model.connected());
    EXPECT_FALSE(host.ask(0x7E, {1}).replied) << "57600 is no longer served";
    host.settings = k19200e81;
    EXPECT_TRUE(host.connect());
}

TEST(LineSettings, UnknownParityIsNotCompared) {
    // What a pseudo-terminal shows: baud and stop bits only.
    DexioConfig cfg;
    cfg.line = {19200, Parity::None, 8, 2};
    DexioModel model(cfg);
    HostLine twoStop{{19200, Parity::Even, 7, 2}, false, false};
    HostLine oneStop{{19200, Parity::None, 8, 1}, false, false};
    const Bytes connect = tabsend::buildFrame(0x21, 0x7E, Bytes{1});
    EXPECT_TRUE(takeApart(model.handleFrame(connect, twoStop, 0)).replied);
    EXPECT_FALSE(takeApart(model.handleFrame(connect, oneStop, 100'000)).replied);
    // Once connected, 57600 with one stop bit is the download setting whatever the parity.
    HostLine download{{57600, Parity::None, 8, 1}, false, false};
    EXPECT_TRUE(takeApart(model.handleFrame(connect, download, 200'000)).replied);
}

// ---- Frames that are not for the unit ----------------------------------------------------------

TEST(Addressing, OnlySoundFramesForUnit33AreAnswered) {
    DexioModel model;
    Host host{model};
    Bytes swapped = tabsend::buildFrame(0x21, 0x7E, Bytes{1});
    std::swap(swapped[3], swapped[4]);
    const std::vector<Bytes> foreign = {
        tabsend::buildFrame(0x22, 0x7E, Bytes{1}),  // another unit
        tabsend::buildFrame(0x00, 0x7E, Bytes{1}),  // broadcast
        swapped,                                    // CRC bytes swapped
        {0x21, 0x7E, 0x01},                         // cut short
        {},
    };
    for (const Bytes& f : foreign) {
        EXPECT_FALSE(host.frame(f).replied) << hexBytes(f);
    }
    EXPECT_FALSE(model.connected());
    EXPECT_EQ(model.counters().accepted, 0u);
    EXPECT_EQ(model.counters().ignored, foreign.size());
    EXPECT_TRUE(host.connect());
    EXPECT_EQ(model.requestCount(), 1u);
}

TEST(Addressing, ConfiguredAddressIsHonoured) {
    DexioConfig cfg;
    cfg.address = 5;
    DexioModel model(cfg);
    Host host{model};
    EXPECT_FALSE(host.ask(0x7E, {1}, 33).replied);
    const Answer a = host.ask(0x7E, {1}, 5);
    EXPECT_EQ(a.raw, tabsend::buildFrame(5, 0x7E, Bytes{2}));
}

// ---- Exception replies ------------------------------------------------------------------------

struct ExceptionCase {
    const char* name;
    std::uint8_t func;
    Bytes data;
    std::uint8_t code;
};

class ExceptionReplyTest : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(ExceptionReplyTest, AnsweredWithModbusException) {
    const ExceptionCase& c = GetParam();
    DexioModel model;
    Host host{model};
    const Answer a = host.ask(c.func, c.data);
    ASSERT_TRUE(a.crcOk);
    EXPECT_EQ(a.func, c.func | 0x80);
    EXPECT_EQ(a.data, Bytes{c.code});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExceptionReplyTest,
    ::testing::Values(
        ExceptionCase{"readHoldingRegisters", 0x03, {0, 0, 0, 1}, 0x01},
        ExceptionCase{"unknownVendorCode", 0x7F, {1}, 0x01},
        ExceptionCase{"connectionCode5", 0x7E, {5}, 0x03},
        ExceptionCase{"connectTwoBytes", 0x7E, {1, 0}, 0x03},
        ExceptionCase{"writeTarget16", 0x5A, {16, 1}, 0x02},
        ExceptionCase{"writeNoData", 0x5A, {}, 0x03},
        ExceptionCase{"readItem9", 0x5B, {101, 9}, 0x02},
        ExceptionCase{"readSlot4", 0x5B, {104, 4}, 0x02},
        ExceptionCase{"readTooLong", 0x5B, {101, 4, 0}, 0x03},
        ExceptionCase{"eraseSlot0", 0x7D, {0}, 0x03}, ExceptionCase{"eraseSlot4", 0x7D, {4}, 0x03},
        ExceptionCase{"meiType13", 0x2B, {0x0D, 5, 0}, 0x01},
        ExceptionCase{"deviceIdObject9", 0x2B, {0x0E, 5, 9}, 0x02},
        ExceptionCase{"assemblyItem2", 0x5A, {0, 2, 1, 3}, 0x02},
        ExceptionCase{"languageInfoItem4", 0x5A, {1, 4, 4, 0, 0, 0, 1}, 0x02},
        ExceptionCase{"languageInfoCodeInFourBytes", 0x5A, {2, 3, 4, 0, 0, 0, 1}, 0x03},
        ExceptionCase{"versionInTwoBytes", 0x5A, {2, 2, 2, 0, 1}, 0x03},
        ExceptionCase{"indexWithoutMarker", 0x5A, {4, 99, 0, 0, 7, 1, 0, 4, 0, 4, 0, 0}, 0x03},
        ExceptionCase{"toggleItem3", 0x5A, {13, 3}, 0x03}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Identification -----------------------------------------------------------------------------

TEST(DeviceId, ReadDeviceIdentificationReply) {
    DexioModel model;
    Host host{model};
    const Answer a = host.ask(0x2B, {0x0E, 5, 0});
    ASSERT_TRUE(a.crcOk);
    ASSERT_EQ(a.func, 0x2B);
    // MEI type, code, conformity level, more follows, next object, object count, object 0.
    const Bytes head{0x0E, 5, 0x81, 0x00, 0x00, 1, 0x00, 6};
    ASSERT_GE(a.data.size(), head.size());
    EXPECT_EQ(Bytes(a.data.begin(), a.data.begin() + 8), head);
    EXPECT_EQ(std::string(a.data.begin() + 8, a.data.end()), "Dexsim");

    // Stream access gives all three basic objects.
    const Answer all = host.ask(0x2B, {0x0E, 1, 0});
    ASSERT_EQ(all.func, 0x2B);
    EXPECT_EQ(all.data[5], 3);
    const std::string text(all.data.begin(), all.data.end());
    EXPECT_NE(text.find("DEXIO-SIM"), std::string::npos);
    EXPECT_NE(text.find("V1.0"), std::string::npos);
}

// ---- Status bytes
// --------------------------------------------------------------------------------

struct StatusCase {
    const char* name;
    SlotPreset preset;
    int status;
    int bitClass;  // 8 none, 1 odd, 2 even (2..6), 0 zero
};

class SlotStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(SlotStatusTest, PresetGivesStatusOfItsBitClass) {
    const StatusCase& c = GetParam();
    DexioConfig cfg;
    cfg.slots[1] = c.preset;
    DexioModel model(cfg);
    Host host{model};
    const int status = host.status(2);
    ASSERT_EQ(status, c.status);
    const int bits = std::popcount(static_cast<unsigned>(status));
    const int cls = bits == 8 ? 8 : bits == 0 ? 0 : bits % 2 ? 1 : 2;
    EXPECT_EQ(cls, c.bitClass);
    EXPECT_EQ(host.status(1), 0xFF) << "other slots stay empty";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SlotStatusTest,
    ::testing::Values(StatusCase{"empty", {SlotState::Empty, {}, 1, 1}, 0xFF, 8},
                      StatusCase{"inOperation", {SlotState::InOperation, {}, 1, 1}, 0xFE, 1},
                      StatusCase{"outOfOperation", {SlotState::OutOfOperation, {}, 1, 1}, 0xFC, 2},
                      StatusCase{"notSwitchable", {SlotState::NotSwitchable, {}, 1, 1}, 0x00, 0},
                      StatusCase{"raw0xEF", {SlotState::Empty, 0xEF, 1, 1}, 0xEF, 1},
                      StatusCase{"raw0x03", {SlotState::Empty, 0x03, 1, 1}, 0x03, 2}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Information and read-back
// --------------------------------------------------------------------

TEST(ReadBack, LanguageInformationIsStoredAndReadBackBigEndian) {
    DexioModel model;
    Host host{model};
    const Answer total = host.write(languageInfo(2, 1, 800));
    EXPECT_EQ(total.data, (Bytes{2, 1}));
    EXPECT_EQ(host.write(languageInfo(2, 2, 0x01020304)).data, (Bytes{2, 2}));
    EXPECT_EQ(host.write(languageInfo(2, 3, 0xF074)).data, (Bytes{2, 3}));

    const Answer version = host.read(2, 2);
    EXPECT_EQ(version.func, 0x5B);
    EXPECT_EQ(version.data, (Bytes{102, 2, 0x01, 0x02, 0x03, 0x04}));
    const Answer code = host.read(2, 3);
    EXPECT_EQ(code.data, (Bytes{102, 3, 0xF0, 0x74}));
    EXPECT_EQ(model.slot(2).totalStrings, 800u);
    EXPECT_FALSE(model.slot(1).versionSet);

    const Answer assembly = host.write({0, 1, 1, 3});
    EXPECT_EQ(assembly.data[0], 0);
    EXPECT_EQ(model.totalLanguages(), 3);
}

TEST(ReadBack, PresetSlotReportsItsCodeAndVersion) {
    DexioConfig cfg;
    cfg.slots[2] = {SlotState::OutOfOperation, {}, 70000, 8};
    DexioModel model(cfg);
    Host host{model};
    EXPECT_EQ(host.read(3, 2).data, (Bytes{103, 2, 0x00, 0x01, 0x11, 0x70}));
    EXPECT_EQ(host.read(3, 3).data, (Bytes{103, 3, 0x00, 0x08}));
}

// ---- Erase, complete, toggle
// -------------------------------------------------------------------------

TEST(Erase, TakesTheEraseTimeAndLeavesTheSlotEmpty) {
    DexioConfig cfg;
    cfg.eraseUs = 250'000;
    cfg.turnaroundUs = 3'000;
    cfg.slots[0] = {SlotState::InOperation, {}, 7, 1};
    DexioModel model(cfg);
    Host host{model};
    ASSERT_TRUE(host.write(indexEntry(1, 0, 1, 4, 0x40000)).crcOk);
    ASSERT_TRUE(host.write(singleBitmap(1, 0, 0x40000, {1, 2, 3, 4})).crcOk);
    ASSERT_TRUE(host.write(indexEntry(2, 0, 1, 2, 0xC0000)).crcOk);
    ASSERT_TRUE(host.write(singleBitmap(2, 0, 0xC0000, {9, 9})).crcOk);

    const std::int64_t sent = host.nowUs;
    const Reply plan = model.onFrame(tabsend::buildFrame(0x21, 0x7D, Bytes{1}), k19200e81, sent);
    const Answer a = takeApart(plan);
    EXPECT_EQ(a.data, Bytes{1});
    ASSERT_EQ(plan.chunks.size(), 1u);
    EXPECT_EQ(plan.chunks[0].silenceUs, 253'000);

    // Deaf while erasing, answering again once done.
    const Bytes status = tabsend::buildFrame(0x21, 0x5B, Bytes{101, 4});
    EXPECT_FALSE(takeApart(model.onFrame(status, k19200e81, sent + 200'000)).replied);
    const Answer after = takeApart(model.onFrame(status, k19200e81, sent + 260'000));
    EXPECT_EQ(after.data, (Bytes{101, 4, 0xFF}));

    const auto area = model.slotArea(1);
    EXPECT_TRUE(std::all_of(area.begin(), area.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(model.index(1).empty());
    EXPECT_FALSE(model.slot(1).versionSet);
    EXPECT_EQ(model.slot(1).erases, 1);
    // Slot 2 is untouched.
    EXPECT_EQ(model.index(2).size(), 1u);
    EXPECT_EQ(model.memory(0xC0000, 2)[0], 9);
}

TEST(Complete, MarksTheSlotPresentAndInOperation) {
    DexioModel model;
    Host host{model};
    EXPECT_EQ(host.status(3), 0xFF);
    const Answer a = host.write({12});
    EXPECT_EQ(a.func, 0x5A);
    EXPECT_EQ(a.data, Bytes{12});
    EXPECT_EQ(host.status(3), 0xFE);
    EXPECT_EQ(model.slot(3).completes, 1);
}

struct ToggleCase {
    const char* name;
    SlotPreset preset;
    bool accepted;
    std::vector<int> statusAfterEachToggle;
};

class ToggleTest : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(ToggleTest, SwitchesOnlyAPresentSwitchableSlot) {
    const ToggleCase& c = GetParam();
    DexioConfig cfg;
    cfg.slots[0] = c.preset;
    DexioModel model(cfg);
    Host host{model};
    const int before = host.status(1);
    for (int expected : c.statusAfterEachToggle) {
        const Answer a = host.write({13, 4});
        if (c.accepted) {
            EXPECT_EQ(a.func, 0x5A);
            EXPECT_EQ(a.data, (Bytes{13, 4}));
        } else {
            EXPECT_EQ(a.func, 0xDA);
            EXPECT_EQ(a.data, Bytes{0x03});
        }
        EXPECT_EQ(host.status(1), c.accepted ? expected : before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToggleTest,
    ::testing::Values(
        ToggleCase{"inOperation", {SlotState::InOperation, {}, 1, 1}, true, {0xFC, 0xFE, 0xFC}},
        ToggleCase{"outOfOperation", {SlotState::OutOfOperation, {}, 1, 1}, true, {0xFE, 0xFC}},
        ToggleCase{"raw0xEF", {SlotState::Empty, 0xEF, 1, 1}, true, {0xFC, 0xFE}},
        ToggleCase{"empty", {SlotState::Empty, {}, 1, 1}, false, {0}},
        ToggleCase{"notSwitchable", {SlotState::NotSwitchable, {}, 1, 1}, false, {0}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Session, RequireConnectRefusesOtherMessagesUntilConnected) {
    DexioConfig cfg;
    cfg.requireConnect = true;
    DexioModel model(cfg);
    Host host{model};
    const Answer early = host.read(1, 4);
    EXPECT_EQ(early.func, 0xDB);
    EXPECT_EQ(early.data, Bytes{0x04});
    ASSERT_TRUE(host.connect());
    EXPECT_EQ(host.status(1), 0xFF);
}

TEST(Session, TurnaroundIsTheFirstSilence) {
    DexioConfig cfg;
    cfg.turnaroundUs = 7'500;
    DexioModel model(cfg);
    const Reply plan =
        model.onFrame(tabsend::buildFrame(0x21, 0x7E, Bytes{1}), k19200e81, 5'000'000);
    ASSERT_EQ(plan.chunks.size(), 1u);
    EXPECT_EQ(plan.chunks[0].silenceUs, 7'500);
}

}  // namespace
}  // namespace dexsim::test
