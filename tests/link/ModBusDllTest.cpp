#include "link/ModBusDll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabsend {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bit-by-bit CRC-16/MODBUS, independent of the tables.
CrcBytes bitwiseCrc(const Bytes& bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
}

TEST(Crc16, TablesStartAsTheStandardSays) {
    EXPECT_EQ((Bytes{kCrcHighTable.begin(), kCrcHighTable.begin() + 8}),
              (Bytes{0x00, 0xC1, 0x81, 0x40, 0x01, 0xC0, 0x80, 0x41}));
    EXPECT_EQ((Bytes{kCrcLowTable.begin(), kCrcLowTable.begin() + 8}),
              (Bytes{0x00, 0xC0, 0xC1, 0x01, 0xC3, 0x03, 0x02, 0xC2}));
}

TEST(Crc16, TableMethodAgreesWithBitwiseOnEveryByteAndPair) {
    for (int a = 0; a < 256; ++a) {
        Bytes one{static_cast<std::uint8_t>(a)};
        ASSERT_EQ(crc16(one), bitwiseCrc(one)) << a;
        Bytes two{static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(255 - a)};
        ASSERT_EQ(crc16(two), bitwiseCrc(two)) << a;
    }
}

struct FrameCase {
    std::uint8_t address;
    std::uint8_t func;
    Bytes data;
    Bytes wire;
};

class KnownFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(KnownFrames, BuildFrameGivesTheKnownBytes) {
    const auto& c = GetParam();
    EXPECT_EQ(buildFrame(c.address, c.func, c.data), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, KnownFrames,
    ::testing::Values(FrameCase{0x01,
                                0x03,
                                {0x00, 0x00, 0x00, 0x01},
                                {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}},
                      FrameCase{0x21, 0x7E, {0x01}, {0x21, 0x7E, 0x01, 0xC1, 0xAA}},
                      FrameCase{0x21, 0x7E, {0x00}, {0x21, 0x7E, 0x00, 0x00, 0x6A}}));

// ---- CheckFrame ----

// A frame layer whose RxFrame holds `bytes`, counted as the serial driver would count them.
ModBusDll withReceived(const Bytes& bytes, std::int32_t counted) {
    ModBusDll dll;
    dll.FrameBufInit();
    dll.RxFrame.Data = bytes;
    dll.RxFrame.Length = counted;
    dll.RxFrame.Ready = kTrue;
    return dll;
}

ModBusMsg replyRecord() {
    ModBusMsg m;
    m.Data.assign(kRecordBytes, 0xEE);
    return m;
}

Bytes withCrc(Bytes b) {
    const CrcBytes c = crc16(b);
    b.push_back(c.low);
    b.push_back(c.high);
    return b;
}

struct CheckCase {
    const char* name;
    Bytes received;
    std::int32_t counted;  // -1: all of `received`
    std::uint8_t result;
    std::uint8_t address;
    std::uint8_t func;
    Bytes data;
};

class CheckFrameCases : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckFrameCases, ResultFieldsAndTheBufferIsEmptiedAfterwards) {
    const auto& c = GetParam();
    ModBusDll dll = withReceived(
        c.received, c.counted < 0 ? static_cast<std::int32_t>(c.received.size()) : c.counted);
    ModBusMsg msg = replyRecord();
    std::uint8_t func = 0x55, addr = 0x55;
    std::int32_t len = -7;
    EXPECT_EQ(dll.CheckFrame(func, msg, len, addr), c.result);
    if (c.result == 0) {
        EXPECT_EQ(addr, c.address);
        EXPECT_EQ(func, c.func);
        EXPECT_EQ(len, static_cast<std::int32_t>(c.data.size()));
        EXPECT_EQ(Bytes(msg.Data.begin(), msg.Data.begin() + static_cast<long>(c.data.size())),
                  c.data);
        if (c.data.size() < kRecordBytes) {
            EXPECT_EQ(msg.Data[c.data.size()], 0xEE);  // nothing past the data
        }
    } else {
        // Nothing is written for a frame that fails.
        EXPECT_EQ(func, 0x55);
        EXPECT_EQ(addr, 0x55);
        EXPECT_EQ(len, -7);
        EXPECT_EQ(msg.Data, Bytes(kRecordBytes, 0xEE));
    }
    EXPECT_EQ(dll.RxFrame.Length, 0);
    EXPECT_EQ(dll.RxFrame.Ready, kFalse);
    EXPECT_EQ(msg.Data.size(), kRecordBytes);
}

const Bytes kConnectReply = withCrc({0x21, 0x7E, 0x02});

INSTANTIATE_TEST_SUITE_P(
    Frames, CheckFrameCases,
    ::testing::Values(
        CheckCase{"connect_request", {0x21, 0x7E, 0x01, 0xC1, 0xAA}, -1, 0, 0x21, 0x7E, {0x01}},
        CheckCase{"disconnect_request", {0x21, 0x7E, 0x00, 0x00, 0x6A}, -1, 0, 0x21, 0x7E, {0x00}},
        CheckCase{"standard_example",
                  {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A},
                  -1,
                  0,
                  0x01,
                  0x03,
                  {0x00, 0x00, 0x00, 0x01}},
        CheckCase{"exception_reply_passes", withCrc({0x21, 0xFE, 0x01}), -1, 0, 0x21, 0xFE, {0x01}},
        CheckCase{"crc_bytes_swapped", {0x21, 0x7E, 0x01, 0xAA, 0xC1}, -1, 33, 0, 0, {}},
        CheckCase{"one_data_byte_changed", {0x21, 0x7E, 0x03, 0xC1, 0xAA}, -1, 33, 0, 0, {}},
        CheckCase{"length_0", {0x21, 0x7E, 0x01, 0xC1, 0xAA}, 0, 33, 0, 0, {}},
        CheckCase{"length_1", {0x21, 0x7E, 0x01, 0xC1, 0xAA}, 1, 33, 0, 0, {}},
        // Two or three bytes can carry a correct CRC but no address and function code.
        CheckCase{"two_bytes_crc_of_nothing", withCrc({}), -1, 33, 0, 0, {}},
        CheckCase{"three_bytes_sound_crc", withCrc({0x21}), -1, 33, 0, 0, {}},
        CheckCase{"four_bytes_no_data", withCrc({0x21, 0x7E}), -1, 0, 0x21, 0x7E, {}},
        // Only the counted bytes are examined: bytes read after the count do not matter.
        CheckCase{"trailing_uncounted_bytes",
                  [] {
                      Bytes b = kConnectReply;
                      b.insert(b.end(), {0x99, 0x98});
                      return b;
                  }(),
                  5,
                  0,
                  0x21,
                  0x7E,
                  {0x02}},
        // A count larger than the bytes actually read is a damaged frame, not a read past them.
        CheckCase{"count_beyond_bytes_read", kConnectReply, 9, 33, 0, 0, {}},
        CheckCase{"largest_reply_271_data_bytes", withCrc([] {
                      Bytes b{0x21, 0x5B};
                      b.resize(273, 0x3C);
                      return b;
                  }()),
                  -1, 0, 0x21, 0x5B, Bytes(271, 0x3C)},
        CheckCase{"over_long_reply_272_data_bytes",
                  withCrc([] {
                      Bytes b{0x21, 0x5B};
                      b.resize(274, 0x3C);
                      return b;
                  }()),
                  -1,
                  33,
                  0,
                  0,
                  {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CheckFrame, AFrameIsExaminedOnlyOnce) {
    ModBusDll dll = withReceived(kConnectReply, 5);
    ModBusMsg msg = replyRecord();
    std::uint8_t func = 0, addr = 0;
    std::int32_t len = 0;
    ASSERT_EQ(dll.CheckFrame(func, msg, len, addr), 0);
    EXPECT_EQ(dll.CheckFrame(func, msg, len, addr), 33);
}

// ---- MakeFrame / Crc16 ----

TEST(MakeFrame, FunctionCodeComesFirstInTheCallAndSecondOnTheWire) {
    ModBusDll dll;
    dll.FrameBufInit();
    ModBusMsg msg;
    msg.Data = {0x01, 0x77, 0x77};  // only Count bytes are framed
    dll.MakeFrame(0x7E, 0x21, msg, 1);
    EXPECT_EQ(dll.TxFrame.Data, (Bytes{0x21, 0x7E, 0x01, 0xC1, 0xAA}));
    EXPECT_EQ(dll.TxFrame.Length, 5);
    EXPECT_EQ(dll.TxFrame.Ready, kTrue);
}

TEST(Crc16, CoversOnlyTheFirstCountBytesOfTheBuffer) {
    FrameBuf buf;
    buf.Data = {0x21, 0x7E, 0x01, 0xFF, 0xFF};
    EXPECT_EQ(ModBusDll::Crc16(buf, 3), (CrcBytes{0xC1, 0xAA}));
    EXPECT_EQ(ModBusDll::Crc16(buf, 0), (CrcBytes{0xFF, 0xFF}));
    EXPECT_EQ(ModBusDll::Crc16(buf, 100), crc16(buf.Data));  // clamped to the bytes present
}

}  // namespace
}  // namespace tabsend
