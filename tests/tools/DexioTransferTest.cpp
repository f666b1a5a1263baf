// String index and bitmap transfer into the unit's memory image.

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"

namespace dexsim::test {
namespace {

Bytes memoryAt(const DexioModel& model, std::uint32_t addr, std::size_t n) {
    const auto m = model.memory(addr, n);
    return Bytes(m.begin(), m.end());
}

// Sends a bitmap as the tool does: one message up to 255 bytes, else head and packages.
// Gives false at the first message not acknowledged with the target echo.
bool sendBitmap(Host& host, int slot, std::uint16_t str, std::uint32_t addr, const Bytes& bm) {
    const auto target = static_cast<std::uint8_t>(6 + slot);
    auto acked = [&](const Answer& a) {
        return a.crcOk && a.func == 0x5A && !a.data.empty() && a.data[0] == target;
    };
    if (bm.size() <= 255) return acked(host.write(singleBitmap(slot, str, addr, bm)));
    const auto packages = static_cast<std::uint8_t>((bm.size() + 254) / 255);
    if (!acked(host.write(bitmapHead(slot, str, addr, packages)))) return false;
    for (std::uint8_t k = 1; k <= packages; ++k) {
        const std::size_t from = 255u * (k - 1u);
        const std::size_t n = std::min<std::size_t>(255, bm.size() - from);
        const Bytes part(bm.begin() + static_cast<std::ptrdiff_t>(from),
                         bm.begin() + static_cast<std::ptrdiff_t>(from + n));
        if (!acked(host.write(bitmapPackage(slot, str, k, part)))) return false;
    }
    return true;
}

TEST(Index, EntriesAreStoredPerSlotWithTheirEcho) {
    DexioModel model;
    Host host{model};
    const Answer a = host.write(indexEntry(2, 300, 3, 510, 0xC0100));
    ASSERT_TRUE(a.crcOk);
    EXPECT_EQ(a.func, 0x5A);
    EXPECT_EQ(a.data, (Bytes{5, 100, 0x01, 0x2C}));
    ASSERT_TRUE(host.write(indexEntry(2, 0, 1, 16, 0xC0000)).crcOk);
    ASSERT_TRUE(host.write(indexEntry(3, 0, 2, 8, 0x140000)).crcOk);

    const auto& idx = model.index(2);
    ASSERT_EQ(idx.size(), 2u);
    EXPECT_EQ(idx.at(300).dispLine, 3);
    EXPECT_EQ(idx.at(300).len, 510);
    EXPECT_EQ(idx.at(300).addr, 0xC0100u);
    EXPECT_EQ(model.index(3).at(0).dispLine, 2);
    EXPECT_TRUE(model.index(1).empty());
    // The same string again replaces its entry.
    ASSERT_TRUE(host.write(indexEntry(2, 300, 4, 20, 0xC0200)).crcOk);
    EXPECT_EQ(model.index(2).at(300).len, 20);
}

struct SizeCase {
    std::size_t length;
    std::size_t messages;  // single message, or head plus packages
};

class BitmapSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(BitmapSizeTest, BitmapLandsAtItsAddressByteForByte) {
    const SizeCase& c = GetParam();
    DexioModel model;
    Host host{model};
    const std::uint32_t addr = 0xC0000 + 0x123;
    const Bytes bm = pattern(c.length, 5);
    const std::uint64_t before = model.requestCount();
    ASSERT_TRUE(sendBitmap(host, 2, 300, addr, bm));
    EXPECT_EQ(model.requestCount() - before, c.messages);
    EXPECT_EQ(memoryAt(model, addr, bm.size()), bm);
    EXPECT_EQ(model.memory(addr - 1, 1)[0], 0xFF) << "nothing written before the bitmap";
    EXPECT_EQ(model.memory(addr + static_cast<std::uint32_t>(bm.size()), 1)[0], 0xFF)
        << "nothing written after it";
    EXPECT_EQ(model.bitmapsReceived(2).at(300), c.length);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BitmapSizeTest,
                         ::testing::Values(SizeCase{1, 1}, SizeCase{255, 1}, SizeCase{256, 3},
                                           SizeCase{510, 3}, SizeCase{511, 4}, SizeCase{1001, 5}),
                         [](const auto& p) { return std::to_string(p.param.length); });

TEST(Bitmap, HeadAndPackageEchoesForString300) {
    DexioModel model;
    Host host{model};
    const Answer head = host.write(bitmapHead(1, 300, 0x40000, 2));
    ASSERT_TRUE(head.crcOk);
    EXPECT_EQ(head.data, (Bytes{7, 0x81, 0x2C, 2}));
    const Answer p1 = host.write(bitmapPackage(1, 300, 1, pattern(255, 1)));
    EXPECT_EQ(p1.data, (Bytes{7, 0x01, 0x2C, 1}));
    const Answer p2 = host.write(bitmapPackage(1, 300, 2, pattern(1, 2)));
    EXPECT_EQ(p2.data, (Bytes{7, 0x01, 0x2C, 2}));
    const Answer single = host.write(singleBitmap(1, 301, 0x40100, pattern(3, 3)));
    EXPECT_EQ(single.data, (Bytes{7, 0x01, 0x2D}));
}

TEST(Bitmap, WholeSlotArrivesAsTheToolLaysItOut) {
    DexioModel model;
    Host host{model};
    const std::vector<std::size_t> lengths = {255, 256, 510, 0, 17};
    ASSERT_EQ(host.ask(0x7D, {3}).data, Bytes{3});
    ASSERT_TRUE(host.write(languageInfo(3, 1, static_cast<std::uint32_t>(lengths.size()))).crcOk);
    std::uint32_t addr = slotAreaBase(3);
    Bytes expected;
    std::vector<std::uint32_t> addrs;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        addrs.push_back(addr);
        ASSERT_TRUE(host.write(indexEntry(3, static_cast<std::uint16_t>(i), 1,
                                          static_cast<std::uint16_t>(lengths[i]), addr))
                        .crcOk);
        addr += static_cast<std::uint32_t>(lengths[i]);
    }
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const Bytes bm = pattern(lengths[i], static_cast<std::uint8_t>(i));
        expected.insert(expected.end(), bm.begin(), bm.end());
        ASSERT_TRUE(sendBitmap(host, 3, static_cast<std::uint16_t>(i), addrs[i], bm)) << i;
    }
    ASSERT_EQ(host.write({12}).data, Bytes{12});

    const auto area = model.slotArea(3);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
    EXPECT_EQ(area[expected.size()], 0xFF);
    EXPECT_EQ(model.index(3).size(), lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i)
        EXPECT_EQ(model.bitmapsReceived(3).at(static_cast<std::uint16_t>(i)), lengths[i]);
    EXPECT_EQ(host.status(3), 0xFE);
    EXPECT_TRUE(std::all_of(model.slotArea(1).begin(), model.slotArea(1).end(),
                            [](auto b) { return b == 0xFF; }));
}

// ---- Addresses outside the slot's area ----------------------------------------------------------

struct AreaCase {
    const char* name;
    Bytes data;
};

class OutsideAreaTest : public ::testing::TestWithParam<AreaCase> {};

TEST_P(OutsideAreaTest, RefusedWithIllegalAddressAndNothingWritten) {
    DexioModel model;
    Host host{model};
    const Answer a = host.write(GetParam().data);
    ASSERT_TRUE(a.crcOk);
    EXPECT_EQ(a.func, 0xDA);
    EXPECT_EQ(a.data, Bytes{0x02});
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(model.index(n).empty());
        const auto area = model.slotArea(n);
        EXPECT_TRUE(std::all_of(area.begin(), area.end(), [](auto b) { return b == 0xFF; }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutsideAreaTest,
    ::testing::Values(AreaCase{"indexInNextSlot", indexEntry(1, 0, 1, 4, 0xC0000)},
                      AreaCase{"indexBelowArea", indexEntry(2, 0, 1, 4, 0xBFFFF)},
                      AreaCase{"indexRunningOver", indexEntry(3, 0, 1, 2, 0x1BFFFF)},
                      AreaCase{"singleRunningOver", singleBitmap(1, 0, 0xBFFF8, pattern(9, 1))},
                      AreaCase{"singleInOtherSlot", singleBitmap(2, 0, 0x40000, pattern(4, 1))},
                      AreaCase{"headRunningOver", bitmapHead(1, 0, 0xBFF10, 2)}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Area, BitmapEndingExactlyAtTheAreaEndIsTaken) {
    DexioModel model;
    Host host{model};
    const Bytes bm = pattern(16, 9);
    const Answer a = host.write(singleBitmap(1, 0, 0xC0000 - 16, bm));
    EXPECT_EQ(a.func, 0x5A);
    EXPECT_EQ(memoryAt(model, 0xC0000 - 16, 16), bm);
}

// ---- Package sequence
// -----------------------------------------------------------------------------

struct SequenceCase {
    const char* name;
    std::vector<Bytes> before;  // accepted first
    Bytes wrong;
};

class PackageSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(PackageSequenceTest, OutOfSequencePackageGetsExceptionAndWritesNothing) {
    const SequenceCase& c = GetParam();
    DexioModel model;
    Host host{model};
    for (const Bytes& m : c.before) ASSERT_EQ(host.write(m).func, 0x5A) << hexBytes(m);
    const auto snapshot = Bytes(model.slotArea(1).begin(), model.slotArea(1).end());
    const auto received = model.bitmapsReceived(1);
    const Answer a = host.write(c.wrong);
    ASSERT_TRUE(a.crcOk);
    EXPECT_EQ(a.func, 0xDA);
    EXPECT_EQ(a.data, Bytes{0x03});
    EXPECT_EQ(Bytes(model.slotArea(1).begin(), model.slotArea(1).end()), snapshot);
    EXPECT_EQ(model.bitmapsReceived(1), received);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageSequenceTest,
    ::testing::Values(
        SequenceCase{"secondBeforeFirst",
                     {bitmapHead(1, 40, 0x40000, 3)},
                     bitmapPackage(1, 40, 2, pattern(255, 0))},
        SequenceCase{"skipsOne",
                     {bitmapHead(1, 40, 0x40000, 3), bitmapPackage(1, 40, 1, pattern(255, 0))},
                     bitmapPackage(1, 40, 3, pattern(10, 0))},
        SequenceCase{"beyondTheLast",
                     {bitmapHead(1, 40, 0x40000, 1), bitmapPackage(1, 40, 1, pattern(200, 0))},
                     bitmapPackage(1, 40, 2, pattern(10, 0))},
        SequenceCase{"packageZero",
                     {bitmapHead(1, 40, 0x40000, 2)},
                     bitmapPackage(1, 40, 0, pattern(255, 0))},
        SequenceCase{"shortPackageBeforeTheLast",
                     {bitmapHead(1, 40, 0x40000, 2)},
                     bitmapPackage(1, 40, 1, pattern(200, 0))},
        SequenceCase{"emptyLastPackage",
                     {bitmapHead(1, 40, 0x40000, 2), bitmapPackage(1, 40, 1, pattern(255, 0))},
                     bitmapPackage(1, 40, 2, {})},
        SequenceCase{"withoutHead", {}, bitmapPackage(1, 40, 1, pattern(255, 0))},
        SequenceCase{"headWithoutPackages", {}, bitmapHead(1, 40, 0x40000, 0)}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(PackageSequence, CountMismatchWithItsLengthByteIsRefused) {
    DexioModel model;
    Host host{model};
    ASSERT_EQ(host.write(bitmapHead(1, 40, 0x40000, 2)).func, 0x5A);
    Bytes pkg = bitmapPackage(1, 40, 1, pattern(255, 0));
    pkg.pop_back();  // says 255 bytes, carries 254
    EXPECT_EQ(host.write(pkg).data, Bytes{0x03});
}

TEST(PackageSequence, UnitKeepsWaitingForTheExpectedPackageAfterAnError) {
    DexioModel model;
    Host host{model};
    const Bytes bm = pattern(300, 4);
    ASSERT_EQ(host.write(bitmapHead(1, 40, 0x40000, 2)).func, 0x5A);
    EXPECT_EQ(host.write(bitmapPackage(1, 40, 2, Bytes(bm.begin() + 255, bm.end()))).func, 0xDA);
    EXPECT_EQ(host.write(bitmapPackage(1, 40, 1, Bytes(bm.begin(), bm.begin() + 255))).func, 0x5A);
    EXPECT_EQ(host.write(bitmapPackage(1, 40, 2, Bytes(bm.begin() + 255, bm.end()))).func, 0x5A);
    EXPECT_EQ(memoryAt(model, 0x40000, 300), bm);
}

TEST(PackageSequence, RepeatedPackageAfterALostReplyIsTakenAgain) {
    DexioModel model;
    Host host{model};
    const Bytes bm = pattern(400, 6);
    const Bytes p1 = bitmapPackage(2, 7, 1, Bytes(bm.begin(), bm.begin() + 255));
    const Bytes p2 = bitmapPackage(2, 7, 2, Bytes(bm.begin() + 255, bm.end()));
    ASSERT_EQ(host.write(bitmapHead(2, 7, 0xC0000, 2)).func, 0x5A);
    EXPECT_EQ(host.write(p1).data, (Bytes{8, 0, 7, 1}));
    EXPECT_EQ(host.write(p1).data, (Bytes{8, 0, 7, 1})) << "repeat of package 1";
    EXPECT_EQ(host.write(p2).data, (Bytes{8, 0, 7, 2}));
    EXPECT_EQ(host.write(p2).data, (Bytes{8, 0, 7, 2})) << "repeat of the last package";
    EXPECT_EQ(memoryAt(model, 0xC0000, 400), bm);
    EXPECT_EQ(model.bitmapsReceived(2).at(7), 400u);
    // A repeated head starts the string over.
    EXPECT_EQ(host.write(bitmapHead(2, 7, 0xC0000, 2)).func, 0x5A);
    EXPECT_FALSE(model.bitmapsReceived(2).contains(7));
    EXPECT_EQ(host.write(p2).func, 0xDA);
    EXPECT_EQ(host.write(p1).func, 0x5A);
}

TEST(PackageSequence, SequencesOfDifferentSlotsDoNotMix) {
    DexioModel model;
    Host host{model};
    ASSERT_EQ(host.write(bitmapHead(1, 5, 0x40000, 2)).func, 0x5A);
    ASSERT_EQ(host.write(bitmapHead(2, 5, 0xC0000, 2)).func, 0x5A);
    EXPECT_EQ(host.write(bitmapPackage(1, 5, 1, pattern(255, 1))).func, 0x5A);
    EXPECT_EQ(host.write(bitmapPackage(2, 5, 1, pattern(255, 2))).func, 0x5A);
    EXPECT_EQ(memoryAt(model, 0x40000, 255), pattern(255, 1));
    EXPECT_EQ(memoryAt(model, 0xC0000, 255), pattern(255, 2));
}

}  // namespace
}  // namespace dexsim::test
