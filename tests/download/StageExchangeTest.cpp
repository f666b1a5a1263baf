// The short download stages: tries, pauses, CommErrorCode, CommBusy and their texts.

#include <gtest/gtest.h>

#include "tests/download/DownloadRig.h"

namespace tabsend {
namespace {

using testkit::Bytes;
using testkit::DownloadRig;
using testkit::UnitAnswer;
using testkit::UnitRequest;

// One exchange with a prompt reply (request out, turnaround, reply, 2 ticks of silence)
// takes at most this many ticks; a retry pause would add 6.
constexpr std::int64_t kPromptRoundTrip = 5;

class StageExchange : public ::testing::Test {
  protected:
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    SharedState& state = rig.state;

    void answerAll(UnitAnswer a) {
        rig.unit.script = [a](const UnitRequest&, std::size_t) { return a; };
    }
};

TEST_F(StageExchange, RetryPauseLastsSixTicks) {
    const auto before = rig.clock.ticks();
    mm.RetryPause();
    EXPECT_EQ(rig.clock.ticks() - before, 6);
    EXPECT_EQ(rig.link.driver.DelayTimerExpired(), kFalse);  // stopped again
}

TEST_F(StageExchange, DeviceIdWithoutAnswerTriesSixTimesWithPauses) {
    rig.link.driver.SetResponseTimeout(6);
    answerAll(UnitAnswer::silent());
    const auto start = rig.clock.ticks();

    EXPECT_EQ(mm.ReadDeviceId(), kFalse);

    const auto& reqs = rig.unit.requests;
    ASSERT_EQ(reqs.size(), 6u);
    for (const auto& r : reqs) {
        EXPECT_EQ(r.func, 0x2B);
        EXPECT_EQ(r.data, (Bytes{0x0E, 0x05, 0x00}));
        EXPECT_EQ(r.commBusy, kTrue);
    }
    // Between two tries: the 6-tick response timeout, then the 6-tick pause.
    for (std::size_t i = 1; i < reqs.size(); ++i) {
        const auto gap = reqs[i].tick - reqs[i - 1].tick;
        EXPECT_GE(gap, 12) << "try " << i;
        EXPECT_LE(gap, 14) << "try " << i;
    }
    // The last try is paused after, too.
    EXPECT_GE(rig.clock.ticks() - reqs.back().tick, 12);
    EXPECT_LE(rig.clock.ticks() - start, 6 * 14);
    EXPECT_EQ(state.CommErrorCode, ErrTimeout);
    EXPECT_EQ(state.CommBusy, kFalse);
    EXPECT_EQ(rig.progress.itemInfos, (std::vector<std::string>{"Read Device ID"}));
}

TEST_F(StageExchange, ExceptionReplyToEraseIsTriedTwiceWithoutPause) {
    rig.link.driver.SetResponseTimeout(1400);
    answerAll(UnitAnswer::exception());
    state.CommErrorCode = 77;

    EXPECT_EQ(mm.EraseLanguage(2), kFalse);

    const auto& reqs = rig.unit.requests;
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].func, 0x7D);
    EXPECT_EQ(reqs[0].data, Bytes{2});
    // No pause: the second try leaves as soon as the first reply is in (turnaround + wire).
    EXPECT_LE(reqs[1].tick - reqs[0].tick, kPromptRoundTrip);
    EXPECT_EQ(state.CommErrorCode, 0);
    EXPECT_EQ(state.CommBusy, kFalse);
    EXPECT_EQ(rig.progress.lastItemInfo(), "Erase language2");
}

TEST_F(StageExchange, OnlyTheLastTryCounts) {
    rig.link.driver.SetResponseTimeout(6);
    rig.unit.script = [](const UnitRequest&, std::size_t n) {
        return n < 5 ? UnitAnswer::silent() : UnitAnswer::damaged();
    };
    EXPECT_EQ(mm.SendCompleteSignal(1), kFalse);
    EXPECT_EQ(rig.unit.requests.size(), 6u);
    EXPECT_EQ(state.CommErrorCode, ErrDataConflict);

    // Timeouts after damaged replies end as a timeout.
    rig.unit.requests.clear();
    rig.unit.script = [](const UnitRequest&, std::size_t n) {
        return n < 5 ? UnitAnswer::damaged() : UnitAnswer::silent();
    };
    EXPECT_EQ(mm.SendCompleteSignal(1), kFalse);
    EXPECT_EQ(state.CommErrorCode, ErrTimeout);

    // An intact wrong reply as the last try after timeouts leaves 0.
    rig.unit.requests.clear();
    rig.unit.script = [](const UnitRequest&, std::size_t n) {
        return n < 5 ? UnitAnswer::silent() : UnitAnswer::raw(0x5A, {99});
    };
    EXPECT_EQ(mm.SendCompleteSignal(1), kFalse);
    EXPECT_EQ(state.CommErrorCode, 0);
}

TEST_F(StageExchange, WrongRepliesAreRetriedAtOnceAndASuccessLeavesTheErrorAlone) {
    rig.link.driver.SetResponseTimeout(6);
    // wrong echo, wrong function code, exception, then the right reply
    rig.unit.script = [](const UnitRequest&, std::size_t n) {
        switch (n) {
            case 0:
                return UnitAnswer::raw(0x5A, {11});
            case 1:
                return UnitAnswer::raw(0x5B, {10});
            case 2:
                return UnitAnswer::exception();
            default:
                return UnitAnswer::normal();
        }
    };
    state.CommErrorCode = 33;
    EXPECT_EQ(mm.SendCompleteSignal(1), kTrue);
    const auto& reqs = rig.unit.requests;
    ASSERT_EQ(reqs.size(), 4u);
    for (std::size_t i = 1; i < reqs.size(); ++i)
        EXPECT_LE(reqs[i].tick - reqs[i - 1].tick, kPromptRoundTrip);
    EXPECT_EQ(reqs[0].data, Bytes{10});
    EXPECT_EQ(state.CommErrorCode, 33);
    EXPECT_EQ(state.CommBusy, kFalse);
    EXPECT_EQ(rig.progress.itemInfos, (std::vector<std::string>{"send language1 complete signal"}));
}

TEST_F(StageExchange, DeviceIdAcceptsAnyIntactReplyWithItsFunctionCode) {
    rig.link.driver.SetResponseTimeout(6);
    answerAll(UnitAnswer::raw(0x2B, {0x99}));
    EXPECT_EQ(mm.ReadDeviceId(), kTrue);
    EXPECT_EQ(rig.unit.requests.size(), 1u);
}

TEST_F(StageExchange, AssemblyInformationCarriesLanTotalNum) {
    rig.link.driver.SetResponseTimeout(6);
    rig.ini.set("LanTable.ini", "LanAssInfo", "LanTotalNum", "3");
    EXPECT_EQ(mm.SendAssemblyInfo(), kTrue);
    ASSERT_EQ(rig.unit.requests.size(), 1u);
    EXPECT_EQ(rig.unit.requests[0].func, 0x5A);
    EXPECT_EQ(rig.unit.requests[0].data, (Bytes{0, 1, 1, 3}));
    EXPECT_EQ(rig.progress.lastItemInfo(), " download language assembly information ");
}

TEST_F(StageExchange, LanguageInformationSendsItsThreeItems) {
    rig.link.driver.SetResponseTimeout(6);
    rig.ini.set("LanTable.ini", "Lan2Info", "TotalStrNum", "0");
    rig.ini.set("LanTable.ini", "Lan2Info", "LanVer", "1000");
    rig.ini.set("LanTable.ini", "Lan2Info", "LanType", "61556");
    EXPECT_EQ(mm.SendLanguageInfo(2), kTrue);
    const auto& reqs = rig.unit.requests;
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_EQ(reqs[0].data, (Bytes{2, 1, 4, 0, 0, 0, 0}));
    EXPECT_EQ(reqs[1].data, (Bytes{2, 2, 4, 0x00, 0x00, 0x03, 0xE8}));
    EXPECT_EQ(reqs[2].data, (Bytes{2, 3, 2, 0xF0, 0x74}));
    EXPECT_EQ(rig.progress.itemInfos,
              (std::vector<std::string>{"Download language2,string code total number",
                                        "Download language2 version number",
                                        "Download language2,language code"}));
}

TEST_F(StageExchange, LanguageInformationStopsAtTheFirstFailingItem) {
    rig.link.driver.SetResponseTimeout(6);
    rig.ini.set("LanTable.ini", "Lan1Info", "TotalStrNum", "5");
    answerAll(UnitAnswer::raw(0x5A, {2}));  // wrong echo every time
    EXPECT_EQ(mm.SendLanguageInfo(1), kFalse);
    ASSERT_EQ(rig.unit.requests.size(), 6u);
    for (const auto& r : rig.unit.requests) EXPECT_EQ(r.data[1], 1) << "only item 1 goes out";
    EXPECT_EQ(state.CommErrorCode, 0);
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(StageExchange, SlotOutsideOneToThreeSendsNothing) {
    state.CommErrorCode = 55;
    for (int s : {0, 4, 255}) {
        const auto slot = static_cast<std::uint8_t>(s);
        EXPECT_EQ(mm.EraseLanguage(slot), kFalse);
        EXPECT_EQ(mm.SendLanguageInfo(slot), kFalse);
        EXPECT_EQ(mm.SendCompleteSignal(slot), kFalse);
        EXPECT_EQ(mm.SendStringIndex(slot), kFalse);
        EXPECT_EQ(mm.SendBitmapData(slot), kFalse);
    }
    rig.clock.advanceTicks(5);
    EXPECT_TRUE(rig.unit.requests.empty());
    EXPECT_EQ(state.CommErrorCode, 55);
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(StageExchange, IniValuesAreReadInFull) {
    rig.ini.set("f", "s", "k", std::string(6000, 'a'));
    EXPECT_EQ(mm.ReadIniValue("s", "k", "f").size(), 6000u);
    EXPECT_EQ(mm.ReadIniValue("s", "missing", "f"), "");
}

}  // namespace
}  // namespace tabsend
