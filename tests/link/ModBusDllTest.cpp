#include "link/ModBusDll.h"

#include <gtest/gtest.h>

#include <vector>

namespace tabsend {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bit-by-bit CRC-16/MODBUS, independent of the tables.
CrcBytes bitwiseCrc(const Bytes& bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
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
    ::testing::Values(FrameCase{0x01, 0x03, {0x00, 0x00, 0x00, 0x01},
                                {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}},
                      FrameCase{0x21, 0x7E, {0x01}, {0x21, 0x7E, 0x01, 0xC1, 0xAA}},
                      FrameCase{0x21, 0x7E, {0x00}, {0x21, 0x7E, 0x00, 0x00, 0x6A}}));

}  // namespace
}  // namespace tabsend
