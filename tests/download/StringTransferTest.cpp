// String index and bitmap transfer: layouts on the wire, texts, packages, failures and the
// progress the two stages add.

#include <gtest/gtest.h>

#include <numeric>

#include "tests/download/DownloadRig.h"

namespace tabsend {
namespace {

using testkit::Bytes;
using testkit::DownloadRig;
using testkit::UnitAnswer;
using testkit::UnitRequest;

class StringTransfer : public ::testing::Test {
  protected:
    StringTransfer() { rig.link.driver.SetResponseTimeout(6); }

    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    SharedState& state = rig.state;
    const std::vector<UnitRequest>& reqs = rig.unit.requests;

    static std::function<std::int32_t(int)> allOf(std::int32_t len) {
        return [len](int) { return len; };
    }
    // Points added after string i, seen from the progress value at the next request.
    std::vector<int> pointsPerString(std::int16_t finalValue) const {
        std::vector<int> points;
        for (std::size_t i = 0; i < reqs.size(); ++i) {
            const int next = i + 1 < reqs.size() ? reqs[i + 1].progressValue : finalValue;
            points.push_back(next - reqs[i].progressValue);
        }
        return points;
    }
};

TEST_F(StringTransfer, IndexEntriesCarryTheTableValues) {
    rig.addSlot(3, 3, [](int i) { return 100 + i; });
    EXPECT_EQ(mm.SendStringIndex(3), kTrue);
    ASSERT_EQ(reqs.size(), 3u);
    // 0x140000, 0x140064 (+100), 0x1400C9 (+101)
    EXPECT_EQ(reqs[0].data, (Bytes{6, 100, 0, 0, 7, 1, 0, 100, 0x00, 0x14, 0x00, 0x00}));
    EXPECT_EQ(reqs[1].data, (Bytes{6, 100, 0, 1, 7, 1, 0, 101, 0x00, 0x14, 0x00, 0x64}));
    EXPECT_EQ(reqs[2].data, (Bytes{6, 100, 0, 2, 7, 1, 0, 102, 0x00, 0x14, 0x00, 0xC9}));
    for (const auto& r : reqs) {
        EXPECT_EQ(r.func, 0x5A);
        EXPECT_EQ(r.commBusy, kTrue);
    }
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(StringTransfer, MissingIndexValuesAreSentAsZero) {
    rig.ini.set("LanTable.ini", "Lan1Info", "TotalStrNum", "1");
    EXPECT_EQ(mm.SendStringIndex(1), kTrue);
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].data, (Bytes{4, 100, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(StringTransfer, IndexTextNamesEveryTry) {
    rig.addSlot(1, 26, allOf(4));
    rig.unit.script = [failed = false](const UnitRequest& r, std::size_t) mutable {
        // string 25 fails its first try
        if (r.data.size() > 3 && r.data[3] == 25 && !failed) {
            failed = true;
            return UnitAnswer::silent();
        }
        return UnitAnswer::normal();
    };
    EXPECT_EQ(mm.SendStringIndex(1), kTrue);
    const auto& infos = rig.progress.itemInfos;
    ASSERT_GE(infos.size(), 2u);
    EXPECT_EQ(infos[infos.size() - 2],
              "Try No.0,Language item 1,String code25,String code index information");
    EXPECT_EQ(infos.back(), "Try No.1,Language item 1,String code25,String code index information");
    EXPECT_EQ(infos.front(), "Try No.0,Language item 1,String code0,String code index information");
}

TEST_F(StringTransfer, BitmapTexts) {
    BitmapBuffer bytes{};
    mm.BitmapSlot = 1;
    EXPECT_EQ(mm.SendStringBitmap(bytes, 10, 7, 25, 0x40000), kTrue);
    EXPECT_EQ(rig.progress.lastItemInfo(), "Try No. 0,Language 1,string code 25bitmap data");

    rig.progress.itemInfos.clear();
    mm.BitmapSlot = 2;
    EXPECT_EQ(mm.SendStringBitmap(bytes, 600, 8, 40, 0xC0000), kTrue);
    EXPECT_EQ(rig.progress.itemInfos,
              (std::vector<std::string>{
                  "Try No. 0,Language 2,string code 40,bitmap data head",
                  "Try No. 0,Language 2,string code 40,package No.1 bitmap data head",
                  "Try No. 0,Language 2,string code 40,package No.2 bitmap data head",
                  "Try No. 0,Language 2,string code 40,package No.3 bitmap data head"}));
}

TEST_F(StringTransfer, BitmapsOf255And256And510Bytes) {
    rig.addSlot(2, 4, [](int i) { return std::array<std::int32_t, 4>{255, 256, 510, 0}[i]; });
    EXPECT_EQ(mm.SendBitmapData(2), kTrue);
    EXPECT_EQ(rig.progress.itemInfos.front(), "Download language2,String code bitmap data");

    struct Expect {
        std::size_t size;
        Bytes head;
    };
    const std::vector<Expect> want = {
        {263, {8, 0, 0, 0x00, 0x0C, 0x00, 0x00, 255}},  // single, string 0
        {8, {8, 0x80, 1, 0x00, 0x0C, 0x00, 0xFF, 2}},   // head, string 1
        {260, {8, 0, 1, 1, 255}},                       // package 1
        {6, {8, 0, 1, 2, 1}},                           // package 2
        {8, {8, 0x80, 2, 0x00, 0x0C, 0x01, 0xFF, 2}},   // head, string 2
        {260, {8, 0, 2, 1, 255}},                       //
        {260, {8, 0, 2, 2, 255}},                       //
        {8, {8, 0, 3, 0x00, 0x0C, 0x03, 0xFD, 0}},      // single, empty
    };
    ASSERT_EQ(reqs.size(), want.size());
    for (std::size_t n = 0; n < want.size(); ++n) {
        ASSERT_EQ(reqs[n].data.size(), want[n].size) << "message " << n;
        EXPECT_EQ(Bytes(reqs[n].data.begin(), reqs[n].data.begin() + want[n].head.size()),
                  want[n].head)
            << "message " << n;
    }
    // The bytes of string 1 (256) arrive in order: 255 in package 1, the last in package 2.
    Bytes sent(reqs[2].data.begin() + 5, reqs[2].data.end());
    sent.insert(sent.end(), reqs[3].data.begin() + 5, reqs[3].data.end());
    ASSERT_EQ(sent.size(), 256u);
    for (int j = 0; j < 256; ++j) ASSERT_EQ(sent[j], DownloadRig::bitmapByte(2, 1, j)) << j;
}

TEST_F(StringTransfer, A1001ByteBitmapWrittenWithPrefixesArrivesWhole) {
    // 1,001 values as 0xNN with commas are 5,004 characters; all of them go out.
    rig.addSlot(1, 1, [](int) { return 1001; });
    ASSERT_EQ(DownloadRig::bitmapText(1, 0, 1001).size(), 5004u);
    EXPECT_EQ(mm.SendBitmapData(1), kTrue);
    Bytes sent;
    for (const auto& r : reqs)
        if (r.data.size() > 5 && r.data[1] == 0)
            sent.insert(sent.end(), r.data.begin() + 5, r.data.end());
    ASSERT_EQ(sent.size(), 1001u);
    for (int j = 0; j < 1001; ++j) ASSERT_EQ(sent[j], DownloadRig::bitmapByte(1, 0, j)) << j;
}

TEST_F(StringTransfer, StringNumber300) {
    BitmapBuffer bytes{};
    mm.BitmapSlot = 1;
    EXPECT_EQ(mm.SendStringBitmap(bytes, 20, 7, 300, 0x40000), kTrue);
    EXPECT_EQ(mm.SendStringBitmap(bytes, 300, 7, 300, 0x40000), kTrue);
    ASSERT_EQ(reqs.size(), 4u);
    EXPECT_EQ(reqs[0].data[1], 0x01);
    EXPECT_EQ(reqs[0].data[2], 0x2C);
    EXPECT_EQ(reqs[1].data[1], 0x81);  // head
    EXPECT_EQ(reqs[1].data[2], 0x2C);
    EXPECT_EQ(reqs[2].data[1], 0x01);  // package
    EXPECT_EQ(reqs[2].data[2], 0x2C);
}

TEST_F(StringTransfer, AFailingPackageEndsTheStage) {
    rig.addSlot(1, 2, allOf(600));  // three packages each
    rig.unit.script = [](const UnitRequest& r, std::size_t) {
        // package 2 of string 0 never gets through
        if (r.data.size() > 3 && r.data[2] == 0 && r.data[1] == 0 && r.data[3] == 2 &&
            r.data.size() == 5 + 255)
            return UnitAnswer::silent();
        return UnitAnswer::normal();
    };
    EXPECT_EQ(mm.SendBitmapData(1), kFalse);
    ASSERT_EQ(reqs.size(), 1u + 1u + 6u);  // head, package 1, six tries of package 2
    EXPECT_EQ(reqs.back().data[3], 2);
    EXPECT_EQ(state.CommErrorCode, ErrTimeout);
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(StringTransfer, AFailingHeadSendsNoPackage) {
    BitmapBuffer bytes{};
    rig.unit.script = [](const UnitRequest&, std::size_t) { return UnitAnswer::raw(0x5A, {0}); };
    EXPECT_EQ(mm.SendStringBitmap(bytes, 300, 7, 5, 0x40000), kFalse);
    ASSERT_EQ(reqs.size(), 6u);
    for (const auto& r : reqs) EXPECT_EQ(r.data.size(), 8u);
    EXPECT_EQ(state.CommErrorCode, 0);
}

TEST_F(StringTransfer, MissingBitmapValuesAreSentAsZero) {
    rig.addSlot(1, 1, allOf(5));
    rig.ini.set("lang1.ini", "LanStrcodeBM", "Str0BMArray", "0x01,0x02");
    EXPECT_EQ(mm.SendBitmapData(1), kTrue);
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].data, (Bytes{7, 0, 0, 0x00, 0x04, 0x00, 0x00, 5, 1, 2, 0, 0, 0}));
}

TEST_F(StringTransfer, ABitmapLongerThanItsBufferIsCutTo1001Bytes) {
    rig.addSlot(1, 1, allOf(1001));
    rig.ini.set("lang1.ini", "LanStrcodeBM", "Str0BMLen", "5000");
    EXPECT_EQ(mm.SendBitmapData(1), kTrue);
    ASSERT_EQ(reqs.size(), 5u);
    EXPECT_EQ(reqs[0].data.back(), 4);  // head: four packages
    std::size_t total = 0;
    for (std::size_t n = 1; n < reqs.size(); ++n) total += reqs[n].data.size() - 5;
    EXPECT_EQ(total, 1001u);
}

TEST_F(StringTransfer, NoStringsSendNothing) {
    rig.addSlot(1, 0, allOf(0));
    EXPECT_EQ(mm.SendStringIndex(1), kTrue);
    EXPECT_EQ(mm.SendBitmapData(1), kTrue);
    EXPECT_TRUE(reqs.empty());
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(StringTransfer, SlotsBeyondTheStringNumberFieldAreRefused) {
    rig.ini.set("LanTable.ini", "Lan1Info", "TotalStrNum", "40000");
    state.CommErrorCode = 0;
    EXPECT_EQ(mm.SendStringIndex(1), kFalse);
    EXPECT_EQ(mm.SendBitmapData(1), kFalse);
    BitmapBuffer bytes{};
    EXPECT_EQ(mm.SendStringBitmap(bytes, 1, 7, 32768, 0x40000), kFalse);
    rig.clock.advanceTicks(3);
    EXPECT_TRUE(reqs.empty());
    EXPECT_EQ(state.CommBusy, kFalse);

    EXPECT_EQ(mm.SendStringBitmap(bytes, 1, 7, 32767, 0x40000), kTrue);
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].data[1], 0x7F);
}

// ---- progress of the two stages ----

TEST_F(StringTransfer, FiveHundredStringsIndexAddsAPointEvery17) {
    rig.addSlot(1, 500, allOf(1));
    mm.ProgressSharesInit();
    ASSERT_EQ(mm.ShareIndex1, 30);
    mm.ProgressValue = 0;
    EXPECT_EQ(mm.SendStringIndex(1), kTrue);
    ASSERT_EQ(reqs.size(), 500u);
    const std::vector<int> points = pointsPerString(mm.ProgressValue);
    std::vector<int> at;
    for (int i = 0; i < 500; ++i)
        if (points[i]) at.push_back(i);
    ASSERT_EQ(at.size(), 29u);
    EXPECT_EQ(at.front(), 16);
    EXPECT_EQ(at[1], 33);
    EXPECT_EQ(at.back(), 492);
    EXPECT_EQ(mm.ProgressValue, 29);
}

TEST_F(StringTransfer, FiveHundredStringsBitmapsAddMoreThanTheirShareAndStopAt100) {
    rig.addSlot(1, 500, allOf(1));
    mm.ProgressSharesInit();
    ASSERT_EQ(mm.ShareBitmap1, 60);
    mm.ProgressValue = 0;
    EXPECT_EQ(mm.SendBitmapData(1), kTrue);
    const std::vector<int> points = pointsPerString(mm.ProgressValue);
    EXPECT_EQ(std::accumulate(points.begin(), points.end(), 0), 62);
    EXPECT_EQ(points[7], 1);
    EXPECT_EQ(points[6], 0);
    EXPECT_EQ(points[495], 1);

    rig.unit.requests.clear();
    mm.ProgressValue = 45;
    EXPECT_EQ(mm.SendBitmapData(1), kTrue);
    EXPECT_EQ(mm.ProgressValue, 100);
    EXPECT_EQ(rig.progress.value, 100);
}

struct FewStrings {
    std::int32_t strings;
    std::int16_t share;
    int expectedPoints;
};

void PrintTo(const FewStrings& c, std::ostream* os) {
    *os << c.strings << " strings, share " << c.share;
}

class FewStringsProgress : public ::testing::TestWithParam<FewStrings> {};

// When the step rounds to 0 the share is spread over the strings: the stage carries on and
// adds its share.
TEST_P(FewStringsProgress, BothStagesCarryOnAndAddTheirShare) {
    const FewStrings& c = GetParam();
    DownloadRig rig;
    rig.link.driver.SetResponseTimeout(6);
    rig.addSlot(2, c.strings, [](int) { return 3; });
    rig.mm.ShareIndex2 = c.share;
    rig.mm.ShareBitmap2 = c.share;

    rig.mm.ProgressValue = 0;
    EXPECT_EQ(rig.mm.SendStringIndex(2), kTrue);
    EXPECT_EQ(rig.mm.ProgressValue, c.expectedPoints);

    rig.mm.ProgressValue = 0;
    EXPECT_EQ(rig.mm.SendBitmapData(2), kTrue);
    EXPECT_EQ(rig.mm.ProgressValue, c.expectedPoints);
    EXPECT_EQ(rig.unit.requests.size(), static_cast<std::size_t>(2 * c.strings));
}

INSTANTIATE_TEST_SUITE_P(StepRoundsToZero, FewStringsProgress,
                         ::testing::Values(FewStrings{1, 30, 30}, FewStrings{5, 30, 30},
                                           FewStrings{15, 30, 30},  // 0.5 rounds to 0
                                           FewStrings{7, 15, 15}, FewStrings{30, 60, 60},
                                           FewStrings{16, 30, 16},  // step 1
                                           FewStrings{4, 0, 0}));   // no share: no points

}  // namespace
}  // namespace tabsend
