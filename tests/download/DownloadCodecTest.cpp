// Byte conversions, the bitmap text parser, rounding, number reading and message layouts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "download/DownloadCodec.h"

namespace tabsend {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes vec(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

TEST(ByteConversion, LongToBytes4IsBigEndian) {
    EXPECT_EQ(vec(LongToBytes4(1000)), (Bytes{0x00, 0x00, 0x03, 0xE8}));
    EXPECT_EQ(vec(LongToBytes4(0)), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(vec(LongToBytes4(0x140000)), (Bytes{0x00, 0x14, 0x00, 0x00}));
    EXPECT_EQ(vec(LongToBytes4(2147483647)), (Bytes{0x7F, 0xFF, 0xFF, 0xFF}));
}

TEST(ByteConversion, LongToBytes2KeepsTheLow16Bits) {
    EXPECT_EQ(vec(LongToBytes2(24933)), (Bytes{0x61, 0x65}));
    EXPECT_EQ(vec(LongToBytes2(61556)), (Bytes{0xF0, 0x74}));
    EXPECT_EQ(vec(LongToBytes2(0x12345)), (Bytes{0x23, 0x45}));
    EXPECT_EQ(vec(LongToBytes2(300)), (Bytes{0x01, 0x2C}));
}

TEST(ByteConversion, IntToBytes2) {
    EXPECT_EQ(vec(IntToBytes2(1001)), (Bytes{0x03, 0xE9}));
    EXPECT_EQ(vec(IntToBytes2(32767)), (Bytes{0x7F, 0xFF}));
}

// ---- HexListToBytes ----

struct HexCase {
    const char* name;
    std::string text;
    Bytes expectedStart;  // the rest of the 1001 bytes must be 0
};

void PrintTo(const HexCase& c, std::ostream* os) {
    *os << c.name;
}

class HexListCases : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexListCases, ParsesIntoAZeroFilledBuffer) {
    const HexCase& c = GetParam();
    const BitmapBuffer b = HexListToBytes(c.text);
    ASSERT_EQ(b.size(), 1001u);
    for (std::size_t i = 0; i < b.size(); ++i) {
        const std::uint8_t want = i < c.expectedStart.size() ? c.expectedStart[i] : 0;
        ASSERT_EQ(b[i], want) << c.name << " at byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BitmapTexts, HexListCases,
    ::testing::Values(HexCase{"commas", "0x00,0x1F,0xA5", {0x00, 0x1F, 0xA5}},
                      HexCase{"trailing comma", "0x1F,0xA5,", {0x1F, 0xA5}},
                      HexCase{"blanks", "0x1F 0xA5 0x7e", {0x1F, 0xA5, 0x7E}},
                      HexCase{"without 0x", "ff,1,0A", {0xFF, 0x01, 0x0A}},
                      HexCase{"line breaks and tabs", "0x01,\r\n0x02,\t0x03", {0x01, 0x02, 0x03}},
                      HexCase{"blanks at both ends", "  0x10,0x20  ", {0x10, 0x20}},
                      HexCase{"empty", "", {}}, HexCase{"only separators", " , , ", {}},
                      // Choices for malformed text: doubled separators count as one ...
                      HexCase{"two separators in a row", "0x01,,0x02, ,0x03", {0x01, 0x02, 0x03}},
                      // ... and a piece that is not a byte value keeps its place as 0.
                      HexCase{"value above FF", "0x01,0x100,0x03", {0x01, 0x00, 0x03}},
                      HexCase{"not hexadecimal", "0x01,zz,0x03", {0x01, 0x00, 0x03}},
                      HexCase{"upper-case X is not removed", "0X41,0x42", {0x00, 0x42}}),
    [](const auto& param_info) {
        std::string n = param_info.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

std::string hexList(std::size_t count, int base = 0) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) {
        char piece[8];
        std::snprintf(piece, sizeof piece, "0x%02X", static_cast<unsigned>((base + i) & 0xFF));
        if (i) s += ',';
        s += piece;
    }
    return s;
}

TEST(HexListToBytes, FillsAll1001BytesAndIgnoresTheExcess) {
    const BitmapBuffer full = HexListToBytes(hexList(1001, 1));
    EXPECT_EQ(full[0], 0x01);
    EXPECT_EQ(full[1000], static_cast<std::uint8_t>((1 + 1000) & 0xFF));

    // 1500 values: the first 1001 land, the rest is dropped without writing past the buffer.
    const BitmapBuffer more = HexListToBytes(hexList(1500, 1));
    EXPECT_EQ(more, full);
}

// ---- rounding and numbers ----

TEST(DivideRoundHalfEven, HalvesGoToTheEvenInteger) {
    struct C {
        std::int64_t num, den, want;
    };
    for (const C& c : {C{3, 2, 2}, C{5, 2, 2}, C{7, 2, 4}, C{6, 3, 2}, C{3, 1, 3}, C{60, 3, 20},
                       C{500, 30, 17}, C{500, 60, 8}, C{15, 30, 0}, C{16, 30, 1}, C{45, 30, 2},
                       C{1, 2, 0}, C{0, 5, 0}, C{-3, 2, -2}}) {
        EXPECT_EQ(DivideRoundHalfEven(c.num, c.den), c.want) << c.num << "/" << c.den;
    }
}

TEST(DivideRoundHalfEven, HugeDivisorsAndNumeratorsDoNotOverflow) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t k2p62 = std::int64_t{1} << 62;
    struct C {
        std::int64_t num, den, want;
    };
    for (const C& c :
         {C{kMax, kMax, 1}, C{kMax - 1, kMax, 1}, C{kMax / 2, kMax, 0}, C{kMax / 2 + 1, kMax, 1},
          C{k2p62 + 1, k2p62 + 2, 1}, C{3 * (k2p62 / 4), 3 * (k2p62 / 2), 0},
          C{-3 * (k2p62 / 4), 3 * (k2p62 / 2), 0}, C{kMin, 3 * (k2p62 / 2), -1}, C{kMin, kMax, -1},
          C{kMin, 1, kMin}, C{kMax, 1, kMax}, C{kMax, 2, std::int64_t{1} << 62}, C{-1, kMax, 0},
          C{kMin, 2, kMin / 2}}) {
        EXPECT_EQ(DivideRoundHalfEven(c.num, c.den), c.want) << c.num << "/" << c.den;
    }
}

TEST(DivideRoundHalfEven, ADivisorBelowOneGivesZero) {
    for (const std::int64_t den : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{-7},
                                   std::numeric_limits<std::int64_t>::min()}) {
        EXPECT_EQ(DivideRoundHalfEven(100, den), 0) << den;
        EXPECT_EQ(DivideRoundHalfEven(std::numeric_limits<std::int64_t>::min(), den), 0) << den;
    }
}

TEST(IniNumbers, ClampToTheFieldTheyAreSentIn) {
    struct C {
        const char* text;
        int byte;
        int int16;
        std::int64_t int32;
    };
    for (const C& c : {C{"3", 3, 3, 3}, C{"", 0, 0, 0}, C{"x", 0, 0, 0}, C{"  42abc", 42, 42, 42},
                       C{"256", 255, 256, 256}, C{"-1", 0, 0, 0}, C{"1001", 255, 1001, 1001},
                       C{"70000", 255, 32767, 70000}, C{"1310720", 255, 32767, 1310720},
                       C{"5000000000", 255, 32767, 2147483647}, C{"12.5", 12, 12, 12},
                       C{"13.5", 14, 14, 14}, C{"1e999", 255, 32767, 2147483647}}) {
        EXPECT_EQ(IniByte(c.text), c.byte) << c.text;
        EXPECT_EQ(IniInt16(c.text), c.int16) << c.text;
        EXPECT_EQ(IniInt32(c.text), c.int32) << c.text;
    }
}

TEST(CountSetBits, CountsBitsZeroToSeven) {
    struct C {
        std::uint8_t v;
        std::uint8_t k;
    };
    for (const C& c : {C{0x00, 0}, C{0x01, 1}, C{0x80, 1}, C{0xFE, 7}, C{0xFC, 6}, C{0xEF, 7},
                       C{0xFF, 8}, C{0x55, 4}}) {
        EXPECT_EQ(CountSetBits(c.v), c.k) << int(c.v);
    }
}

// ---- message layouts ----

TEST(MessageLayout, ShortMessages) {
    EXPECT_EQ(DeviceIdRequest(), (Bytes{0x0E, 0x05, 0x00}));
    EXPECT_EQ(EraseRequest(2), (Bytes{2}));
    EXPECT_EQ(AssemblyInfoRequest(3), (Bytes{0, 1, 1, 3}));
    EXPECT_EQ(LanguageInfoLongRequest(1, 1, 800), (Bytes{1, 1, 4, 0x00, 0x00, 0x03, 0x20}));
    EXPECT_EQ(LanguageInfoLongRequest(3, 2, 0), (Bytes{3, 2, 4, 0, 0, 0, 0}));
    EXPECT_EQ(LanguageCodeRequest(2, 61556), (Bytes{2, 3, 2, 0xF0, 0x74}));
    EXPECT_EQ(CompleteSignalRequest(1), (Bytes{10}));
    EXPECT_EQ(CompleteSignalRequest(3), (Bytes{12}));
    EXPECT_EQ(SlotReadRequest(2, ItemStatus), (Bytes{102, 4}));
    EXPECT_EQ(ToggleRequest(3), (Bytes{15, 4}));
    EXPECT_EQ(ConnectRequest(), (Bytes{1}));
    EXPECT_EQ(DisconnectRequest(), (Bytes{0}));
}

TEST(MessageLayout, StringIndexEntry) {
    EXPECT_EQ(StringIndexRequest(5, 300, 2, 510, 0xC0123),
              (Bytes{5, 100, 0x01, 0x2C, 7, 2, 0x01, 0xFE, 0x00, 0x0C, 0x01, 0x23}));
}

BitmapBuffer counting() {
    BitmapBuffer b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

TEST(MessageLayout, SingleBitmapCarriesLBytes) {
    const BitmapBuffer b = counting();
    const Bytes m = SingleBitmapRequest(8, 300, 0xC0000, b, 255);
    ASSERT_EQ(m.size(), 263u);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 8), (Bytes{8, 0x01, 0x2C, 0x00, 0x0C, 0x00, 0x00, 255}));
    EXPECT_TRUE(std::equal(m.begin() + 8, m.end(), b.begin()));

    EXPECT_EQ(SingleBitmapRequest(7, 0, 0x40000, b, 0),
              (Bytes{7, 0, 0, 0x00, 0x04, 0x00, 0x00, 0}));
}

TEST(MessageLayout, BitmapHeadSetsBit7OfTheNumber) {
    EXPECT_EQ(BitmapHeadRequest(9, 300, 0x140010, 2),
              (Bytes{9, 0x81, 0x2C, 0x00, 0x14, 0x00, 0x10, 2}));
}

TEST(MessageLayout, PackagesSplitAt255) {
    const BitmapBuffer b = counting();
    struct C {
        std::int32_t length;
        std::int32_t packages;
        std::vector<std::int32_t> sizes;
    };
    for (const C& c : {C{256, 2, {255, 1}}, C{510, 2, {255, 255}}, C{511, 3, {255, 255, 1}},
                       C{1001, 4, {255, 255, 255, 236}}}) {
        ASSERT_EQ(PackageCount(c.length), c.packages) << c.length;
        for (std::int32_t k = 1; k <= c.packages; ++k) {
            const Bytes m = BitmapPackageRequest(7, 300, static_cast<std::uint8_t>(k), b, c.length);
            const auto size = static_cast<std::size_t>(c.sizes[static_cast<std::size_t>(k - 1)]);
            ASSERT_EQ(m.size(), size + 5) << c.length << " package " << k;
            EXPECT_EQ(Bytes(m.begin(), m.begin() + 5),
                      (Bytes{7, 0x01, 0x2C, static_cast<std::uint8_t>(k),
                             static_cast<std::uint8_t>(size)}));
            const auto offset = static_cast<std::ptrdiff_t>(255 * (k - 1));
            EXPECT_TRUE(std::equal(m.begin() + 5, m.end(), b.begin() + offset));
        }
    }
    EXPECT_EQ(PackageCount(0), 0);
    EXPECT_EQ(PackageCount(255), 1);
}

TEST(MessageLayout, PackagesOutsideTheBitmapCarryNoBytes) {
    const BitmapBuffer b = counting();
    // Package 0 once read the 255 bytes before the buffer; packages past the end, and every
    // package of an empty or negative length, carry M = 0.
    struct C {
        std::uint8_t k;
        std::int32_t length;
    };
    for (const C& c : {C{0, 1001}, C{0, 0}, C{0, 255}, C{0, -5}, C{5, 1001}, C{255, 1001}, C{1, 0},
                       C{1, -1}, C{2, 255}}) {
        EXPECT_EQ(BitmapPackageRequest(7, 300, c.k, b, c.length), (Bytes{7, 0x01, 0x2C, c.k, 0}))
            << "package " << int{c.k} << " of " << c.length;
    }
    // A length beyond the buffer (no caller sends one) pads with zeros, never reads past it.
    const Bytes last = BitmapPackageRequest(7, 300, 4, b, 1020);
    ASSERT_EQ(last.size(), 5u + 255u);
    EXPECT_TRUE(std::equal(last.begin() + 5, last.begin() + 5 + 236, b.begin() + 765));
    EXPECT_TRUE(
        std::all_of(last.begin() + 5 + 236, last.end(), [](std::uint8_t v) { return v == 0; }));
}

}  // namespace
}  // namespace tabsend
