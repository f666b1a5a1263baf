// The 17-step download: which stages run, the response timeouts, the bar, the result
// message and what the window is told to do.

#include <gtest/gtest.h>

#include <set>

#include "tests/download/DownloadRig.h"

namespace tabsend {
namespace {

using testkit::Bytes;
using testkit::DownloadRig;
using testkit::RecordingHost;
using testkit::UnitAnswer;
using testkit::UnitRequest;

using Calls = std::vector<std::string>;

class DownloadSequence : public ::testing::Test {
  protected:
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    SharedState& state = rig.state;
    RecordingHost host;
    const std::vector<UnitRequest>& reqs = rig.unit.requests;

    std::set<int> stepsWithRequests() const {
        std::set<int> steps;
        for (const auto& r : reqs) steps.insert(r.downloadStep);
        return steps;
    }
    // The unit answers the requests that `fails` picks with `answer`.
    void failWhen(std::function<bool(const UnitRequest&)> fails, UnitAnswer answer) {
        rig.unit.script = [fails, answer](const UnitRequest& r, std::size_t) {
            return fails(r) ? answer : UnitAnswer::normal();
        };
    }
};

TEST_F(DownloadSequence, OnlySlot2Due) {
    rig.addSlot(2, 3, [](int) { return 20; });
    rig.link.driver.SetResponseTimeout(999);
    state.CommErrorCode = 33;  // left from an earlier download

    mm.DownloadSequence(host);

    EXPECT_EQ(stepsWithRequests(), (std::set<int>{1, 3, 5, 7, 10, 14, 15}));
    for (const auto& r : reqs) {
        // 1400 ticks from step 2 on (slot 1's erase does not run), 6 again from step 5.
        const int want = r.downloadStep >= 2 && r.downloadStep <= 4 ? 1400 : 6;
        EXPECT_EQ(r.responseTimeout, want) << "step " << int(r.downloadStep);
        EXPECT_EQ(r.commBusy, kTrue);
    }
    ASSERT_FALSE(reqs.empty());
    EXPECT_EQ(reqs.front().func, 0x2B);
    EXPECT_EQ(rig.unit.with(0x7D).size(), 1u);
    EXPECT_EQ(rig.unit.with(0x7D)[0].data, Bytes{2});
    EXPECT_EQ(rig.unit.with(0x5A, 0).at(0).data, (Bytes{0, 1, 1, 1}));
    EXPECT_EQ(rig.unit.with(0x5A, 11).size(), 1u);  // complete signal of slot 2

    EXPECT_EQ(state.DownloadStep, 18);
    EXPECT_EQ(state.CommErrorCode, 0);
    EXPECT_EQ(rig.messages.shown, (Calls{"Download complete!"}));
    EXPECT_EQ(rig.messages.barAtShow, (std::vector<int>{100}));
    EXPECT_EQ(rig.progress.value, 0);
    EXPECT_EQ(mm.ProgressValue, 0);
    EXPECT_EQ(host.calls, (Calls{"lock", "PortProcess", "unlock", "compare+"}));
    EXPECT_EQ(state.CommBusy, kFalse);
    // The bar only moves forward during the download.
    for (std::size_t i = 1; i < reqs.size(); ++i)
        EXPECT_GE(reqs[i].progressValue, reqs[i - 1].progressValue);
}

TEST_F(DownloadSequence, TheButtonRunsTheSequenceOnlyWithASlotDue) {
    mm.Downloadbtn_Click(host);
    EXPECT_TRUE(reqs.empty());
    EXPECT_EQ(rig.messages.shown, (Calls{"No language file selected!"}));
    EXPECT_TRUE(host.calls.empty());

    rig.addSlot(1, 2, [](int) { return 10; });
    state.CommBusy = kTrue;  // another exchange runs
    mm.Downloadbtn_Click(host);
    EXPECT_TRUE(reqs.empty());
    EXPECT_TRUE(host.calls.empty());

    state.CommBusy = kFalse;
    rig.messages.shown.clear();
    mm.Downloadbtn_Click(host);
    EXPECT_EQ(rig.messages.shown, (Calls{"Download complete!"}));
    ASSERT_GE(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0], "download-");
    EXPECT_EQ(host.calls[1], "compare-");
    EXPECT_EQ(host.calls[2], "lock");
}

TEST_F(DownloadSequence, TwoSlotsHold101PointsAt100) {
    rig.addSlot(1, 30, [](int) { return 2; });
    rig.addSlot(3, 30, [](int) { return 2; });
    mm.DownloadSequence(host);
    EXPECT_EQ(stepsWithRequests(), (std::set<int>{1, 2, 4, 5, 6, 8, 9, 11, 12, 13, 16, 17}));
    int highest = 0;
    for (int v : rig.progress.values) highest = std::max(highest, v);
    EXPECT_EQ(highest, 100);
    EXPECT_EQ(rig.messages.barAtShow, (std::vector<int>{100}));
    EXPECT_EQ(rig.messages.shown, (Calls{"Download complete!"}));
    // Before step 17's ProgressFull the points had already reached the top.
    EXPECT_EQ(rig.unit.with(0x5A, 12).at(0).progressValue, 100);
}

// 45 strings: the index adds 22 points (step 2), the bitmaps 45 (step 1), 77 in all; the
// bar is filled at step 17 all the same.
TEST_F(DownloadSequence, TheBarIsFullAtTheEndWhenThePointsFallShort) {
    rig.addSlot(1, 45, [](int) { return 2; });
    mm.DownloadSequence(host);
    EXPECT_EQ(rig.unit.with(0x5A, 10).at(0).progressValue, 77);
    EXPECT_EQ(rig.messages.barAtShow, (std::vector<int>{100}));
    EXPECT_EQ(rig.messages.shown, (Calls{"Download complete!"}));
}

TEST_F(DownloadSequence, NoAnswerToIdentificationDisconnects) {
    rig.addSlot(1, 2, [](int) { return 2; });
    rig.unit.script = [](const UnitRequest&, std::size_t) { return UnitAnswer::silent(); };
    const auto start = rig.clock.ticks();

    mm.DownloadSequence(host);

    ASSERT_EQ(reqs.size(), 6u);
    for (const auto& r : reqs) EXPECT_EQ(r.func, 0x2B);
    // six tries of 6 ticks, each followed by the 6-tick pause
    EXPECT_GE(rig.clock.ticks() - start, 6 * 12);
    EXPECT_LE(rig.clock.ticks() - start, 6 * 14);
    EXPECT_EQ(state.CommErrorCode, ErrTimeout);
    EXPECT_EQ(state.DownloadStep, 1);
    EXPECT_EQ(rig.messages.shown, (Calls{"Communication timeout!"}));
    EXPECT_EQ(host.calls, (Calls{"lock", "PortProcess", "unlock", "PortClose_Click", "compare-"}));
    EXPECT_EQ(rig.progress.value, 0);
}

// A port that goes away in the middle of a stage: while the request leaves, or while its
// reply is awaited. One message from the link, the remaining tries end at once, the
// outcome follows, and the disconnect puts nothing on the lost line.
struct LostPortCase {
    const char* name;
    bool duringSend;
    std::size_t step;  // the step that was running (and the requests the unit saw)
    const char* linkMessage;
};

class LostPort : public DownloadSequence, public ::testing::WithParamInterface<LostPortCase> {};

TEST_P(LostPort, OneMessageThenTheOutcomeAndNothingMoreIsSent) {
    const LostPortCase& c = GetParam();
    rig.addSlot(1, 2, [](int) { return 2; });
    // The erase of slot 1 (step 2) gets no answer; the port goes while it is on its way or
    // 250 ticks into its 1400-tick wait.
    rig.unit.script = [](const UnitRequest& r, std::size_t) {
        return r.func == 0x7D ? UnitAnswer::silent() : UnitAnswer::normal();
    };
    std::int64_t lostAt = -1;
    rig.unit.observe = [&](UnitRequest& r) {
        r.downloadStep = state.DownloadStep;
        if (r.func == 0x7D && lostAt < 0 && !c.duringSend) {
            lostAt = r.tick + 250;
            rig.clock.atTick(lostAt, [&] { rig.port.vanish(); });
        }
    };
    if (c.duringSend) {
        // The identification request is still draining from the port when it goes.
        rig.unit.script = [&](const UnitRequest& r, std::size_t) {
            if (r.func == 0x2B) {
                lostAt = r.tick + 1;
                rig.clock.atTick(lostAt, [&] { rig.port.vanish(); });
            }
            return UnitAnswer::normal();
        };
    }
    host.onPortClose = [&] { mm.DeviceDisconnect(); };

    mm.DownloadSequence(host);

    ASSERT_GE(lostAt, 0);
    EXPECT_EQ(rig.linkMessages.shown, (Calls{c.linkMessage}));
    EXPECT_EQ(rig.messages.shown, (Calls{"Communication timeout!"}));
    EXPECT_EQ(state.CommErrorCode, ErrTimeout);
    EXPECT_EQ(state.DownloadStep, c.step);
    // No further tries, no pauses, no disconnect request on the lost line.
    EXPECT_LE(rig.clock.ticks(), lostAt + 2);
    EXPECT_EQ(reqs.size(), c.step);
    EXPECT_TRUE(rig.unit.with(0x7E).empty());
    EXPECT_EQ(host.calls, (Calls{"lock", "PortProcess", "unlock", "PortClose_Click", "compare-"}));
    EXPECT_NE(rig.progress.lastItemInfo(), "Disconnect!");
    EXPECT_EQ(rig.progress.lastItemInfo(), "Input/output error");
}

INSTANTIATE_TEST_SUITE_P(Stage, LostPort,
                         ::testing::Values(LostPortCase{"while_sending", true, 1,
                                                        "data send error！  Input/output error"},
                                           LostPortCase{
                                               "while_waiting", false, 2,
                                               "data receive error！  Input/output error"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DownloadSequence, ExceptionReplyToEraseIsAnIllegalOperation) {
    rig.addSlot(1, 2, [](int) { return 2; });
    failWhen([](const UnitRequest& r) { return r.func == 0x7D; }, UnitAnswer::exception());

    mm.DownloadSequence(host);

    EXPECT_EQ(rig.unit.with(0x7D).size(), 2u);
    EXPECT_EQ(reqs.size(), 3u);  // identification and the two erase tries
    EXPECT_EQ(state.CommErrorCode, 0);
    EXPECT_EQ(state.DownloadStep, 2);
    EXPECT_EQ(rig.messages.shown,
              (Calls{"Illegal Language operation or DEXIO is in wrong state!"}));
    EXPECT_EQ(host.calls, (Calls{"lock", "PortProcess", "unlock", "compare+"}));
}

TEST_F(DownloadSequence, DamagedRepliesEndInADataConflict) {
    rig.addSlot(1, 2, [](int) { return 300; });
    // every package of string 1 comes back damaged
    failWhen(
        [](const UnitRequest& r) {
            return r.func == 0x5A && r.data.size() == 5 + 255 && r.data[2] == 1;
        },
        UnitAnswer::damaged());

    mm.DownloadSequence(host);

    EXPECT_EQ(state.CommErrorCode, ErrDataConflict);
    EXPECT_EQ(state.DownloadStep, 12);
    EXPECT_TRUE(rig.unit.with(0x5A, 10).empty()) << "no complete signal for the failing slot";
    EXPECT_EQ(rig.messages.shown, (Calls{"Communication Data conflict!"}));
    EXPECT_EQ(host.calls, (Calls{"lock", "PortProcess", "unlock", "compare+"}));
    EXPECT_EQ(rig.progress.value, 0);
}

TEST_F(DownloadSequence, ResultTextsComeFromTheChosenLanguage) {
    rig.addSlot(1, 1, [](int) { return 2; });
    rig.texts.MsgDownloadComplete = "Download abgeschlossen!";
    mm.DownloadSequence(host);
    EXPECT_EQ(rig.messages.shown, (Calls{"Download abgeschlossen!"}));
}

struct ResultCase {
    std::uint8_t code;
    std::uint8_t step;
    const char* text;
};

void PrintTo(const ResultCase& c, std::ostream* os) {
    *os << "code " << int(c.code) << ", step " << int(c.step);
}

class DownloadResult : public ::testing::TestWithParam<ResultCase> {};

TEST_P(DownloadResult, ChosenByCommErrorCodeThenStep) {
    DownloadRig rig;
    rig.state.CommErrorCode = GetParam().code;
    rig.state.DownloadStep = GetParam().step;
    EXPECT_EQ(rig.mm.DownloadResultMessage(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    ResultTable, DownloadResult,
    ::testing::Values(ResultCase{0, 18, "Download complete!"},
                      ResultCase{32, 18, "Communication timeout!"},
                      ResultCase{32, 3, "Communication timeout!"},
                      ResultCase{33, 9, "Communication Data conflict!"},
                      ResultCase{0, 5, "Illegal Language operation or DEXIO is in wrong state!"},
                      ResultCase{7, 18, "Illegal Language operation or DEXIO is in wrong state!"}));

}  // namespace
}  // namespace tabsend
