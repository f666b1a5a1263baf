// Read-back of the three slots, the slot toggle and the Read and Operation handlers.

#include <gtest/gtest.h>

#include "tests/download/DownloadRig.h"

namespace tabsend {
namespace {

using testkit::Bytes;
using testkit::DownloadRig;
using testkit::RecordingHost;
using testkit::RecordingSlots;
using testkit::UnitAnswer;
using testkit::UnitRequest;

using Calls = std::vector<std::string>;

class ReadBack : public ::testing::Test {
  protected:
    ReadBack() {
        for (auto& s : rig.unit.slots) s.status = 0xFF;
        slots.onClick = [this](int n) { mm.Operation_Click(n, host, slots); };
    }
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    SharedState& state = rig.state;
    RecordingHost host;
    RecordingSlots slots;
    const std::vector<UnitRequest>& reqs = rig.unit.requests;

    // Reads of a slot's item (4 status, 2 version, 3 code).
    std::size_t readsOf(int slot, std::uint8_t item) const {
        std::size_t n = 0;
        for (const auto& r : rig.unit.with(0x5B, static_cast<std::uint8_t>(100 + slot)))
            n += r.data.at(1) == item;
        return n;
    }
    void silentFor(int slot, std::uint8_t item) {
        rig.unit.script = [slot, item](const UnitRequest& r, std::size_t) {
            return r.func == 0x5B && r.data[0] == 100 + slot && r.data[1] == item
                       ? UnitAnswer::silent()
                       : UnitAnswer::normal();
        };
    }
};

struct StatusCase {
    std::uint8_t status;
    bool enabled;
    bool ticked;
    std::uint32_t colour;
    bool valuesRead;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << "status " << int(c.status);
}

class SlotStatus : public ReadBack, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(SlotStatus, DecidesBoxColourAndTexts) {
    const StatusCase& c = GetParam();
    rig.unit.slots[1].status = c.status;
    rig.unit.slots[1].version = {0, 0, 0x01, 0x2C};
    rig.unit.slots[1].code = {0, 8};

    mm.ReadBackSlots(slots);

    const auto& s = slots.slot[2];
    EXPECT_EQ(s.enabled, c.enabled);
    EXPECT_EQ(s.ticked, c.ticked);
    EXPECT_EQ(s.colour, c.colour);
    EXPECT_EQ(s.version, c.valuesRead ? "300" : "");
    EXPECT_EQ(s.language, c.valuesRead ? "German" : "");
    EXPECT_EQ(readsOf(2, 2), c.valuesRead ? 1u : 0u);
    EXPECT_EQ(readsOf(2, 3), c.valuesRead ? 1u : 0u);
    // Every slot is read; no message for a unit that answered.
    EXPECT_EQ(readsOf(1, 4), 1u);
    EXPECT_EQ(readsOf(3, 4), 1u);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(state.OperationAutoSet, kFalse);
    EXPECT_EQ(state.CommBusy, kFalse);
}

INSTANTIATE_TEST_SUITE_P(
    StatusTable, SlotStatus,
    ::testing::Values(StatusCase{0xFE, true, true, 0x0000FF00, true},     // 7 bits: green
                      StatusCase{0xFC, true, false, 0x0000FFFF, true},    // 6 bits: yellow
                      StatusCase{0x00, false, false, 0x00FF8080, true},   // 0 bits: light blue
                      StatusCase{0xFF, false, false, 0x00FFFF00, false},  // 8 bits: cyan, empty
                      // A unit that really reports 0xEF (7 bits) is in operation, not a timeout.
                      StatusCase{0xEF, true, true, 0x0000FF00, true},
                      StatusCase{0x01, true, true, 0x0000FF00, true},
                      StatusCase{0x03, true, false, 0x0000FFFF, true}));

TEST_F(ReadBack, RequestsAndTimeout) {
    rig.unit.slots[0].status = 0xFE;
    rig.link.driver.SetResponseTimeout(6);
    mm.ReadBackSlots(slots);
    ASSERT_EQ(reqs.size(), 5u);
    EXPECT_EQ(reqs[0].data, (Bytes{101, 4}));
    EXPECT_EQ(reqs[1].data, (Bytes{101, 2}));
    EXPECT_EQ(reqs[2].data, (Bytes{101, 3}));
    EXPECT_EQ(reqs[3].data, (Bytes{102, 4}));
    EXPECT_EQ(reqs[4].data, (Bytes{103, 4}));
    for (const auto& r : reqs) {
        EXPECT_EQ(r.func, 0x5B);
        EXPECT_EQ(r.responseTimeout, 20);
        EXPECT_EQ(r.commBusy, kTrue);
    }
}

TEST_F(ReadBack, LanguageNamesAndVersionNumbers) {
    struct C {
        Bytes code;
        const char* language;
        Bytes version;
        const char* versionText;
    };
    const C cases[] = {
        {{0x00, 0x01}, "English", {0, 0, 0, 1}, "1"},
        {{0x65, 0x6E}, "25966", {0x00, 0x01, 0x00, 0x00}, "65536"},
        // a version with the top bit set is the unsigned number the unit sent
        {{0x00, 0x08}, "German", {0x80, 0x00, 0x00, 0x01}, "2147483649"},
        {{0xFF, 0xFF}, "65535", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
    };
    for (const C& c : cases) {
        rig.unit.slots[0] = {0xFE, c.version, c.code};
        mm.ReadBackSlots(slots);
        EXPECT_EQ(slots.slot[1].language, c.language);
        EXPECT_EQ(slots.slot[1].version, c.versionText);
    }
}

TEST_F(ReadBack, AFailedStatusReadStopsTheReadBack) {
    for (auto& s : rig.unit.slots) s.status = 0xFC;
    silentFor(2, 4);

    mm.ReadBackSlots(slots);

    EXPECT_EQ(slots.slot[1].colour, 0x0000FFFFu);
    EXPECT_EQ(slots.slot[1].version, "1");
    EXPECT_EQ(readsOf(2, 4), 6u);
    EXPECT_TRUE(rig.unit.with(0x5B, 103).empty()) << "slot 3 is not read";
    for (int s : {2, 3}) {
        EXPECT_EQ(slots.slot[s].version, "old");
        EXPECT_EQ(slots.slot[s].language, "old");
        EXPECT_EQ(slots.slot[s].colour, 0x12345678u);
    }
    EXPECT_EQ(rig.messages.shown, (Calls{"Communication timeout!"}));
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(ReadBack, AFailedVersionOrCodeReadLeavesItsBoxEmpty) {
    for (auto& s : rig.unit.slots) s.status = 0xFE;
    slots.slot[3].ticked = true;  // no change of slot 3's box: one read-back only
    silentFor(1, 2);
    mm.ReadBackSlots(slots);
    EXPECT_EQ(readsOf(1, 2), 6u);
    EXPECT_EQ(slots.slot[1].version, "");
    EXPECT_EQ(slots.slot[1].language, "English");
    EXPECT_EQ(slots.slot[1].colour, 0x0000FF00u);
    EXPECT_EQ(slots.slot[3].version, "1") << "the read-back goes on";
    EXPECT_TRUE(rig.messages.shown.empty());

    rig.unit.requests.clear();
    silentFor(2, 3);
    mm.ReadBackSlots(slots);
    EXPECT_EQ(slots.slot[2].version, "1");
    EXPECT_EQ(slots.slot[2].language, "");
    EXPECT_EQ(slots.slot[3].language, "English");
    EXPECT_TRUE(rig.messages.shown.empty());
}

// A unit that answers a read with fewer data bytes than the read takes from it (the echo
// byte alone, or the status without its value): the reply is damaged, tried again after the
// pause, and never shown as a value.
struct ShortReplyCase {
    const char* name;
    std::uint8_t item;
    std::size_t keep;  // data bytes of the normal answer that are sent
};

class ShortReply : public ReadBack, public ::testing::WithParamInterface<ShortReplyCase> {};

TEST_P(ShortReply, IsADamagedReplyAndGoesThroughTheTries) {
    const ShortReplyCase& c = GetParam();
    for (auto& s : rig.unit.slots) s.status = 0xFE;
    slots.slot[3].ticked = true;
    rig.unit.script = [&](const UnitRequest& r, std::size_t) {
        if (r.func != 0x5B || r.data[0] != 101 || r.data[1] != c.item) return UnitAnswer::normal();
        Bytes d = rig.unit.normalData(r);
        d.resize(c.keep);
        return UnitAnswer::raw(0x5B, d);
    };

    mm.ReadBackSlots(slots);

    EXPECT_EQ(readsOf(1, c.item), 6u);
    if (c.item == 4) {
        EXPECT_EQ(slots.slot[1].colour, 0x12345678u) << "no colour from a reply without status";
        EXPECT_EQ(rig.messages.shown, (Calls{"Communication timeout!"}));
    } else {
        EXPECT_EQ(c.item == 2 ? slots.slot[1].version : slots.slot[1].language, "");
        EXPECT_TRUE(rig.messages.shown.empty());
    }
    EXPECT_EQ(state.CommBusy, kFalse);
}

INSTANTIATE_TEST_SUITE_P(Reads, ShortReply,
                         ::testing::Values(ShortReplyCase{"status_echo_only", 4, 1},
                                           ShortReplyCase{"status_without_value", 4, 2},
                                           ShortReplyCase{"version_three_of_four", 2, 5},
                                           ShortReplyCase{"code_one_of_two", 3, 3}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ReadBack, AShortReplyThatComesRightOnALaterTryIsRead) {
    for (auto& s : rig.unit.slots) s.status = 0xFE;
    slots.slot[3].ticked = true;
    int shortOnes = 2;
    rig.unit.script = [&](const UnitRequest& r, std::size_t) {
        if (r.func == 0x5B && r.data[0] == 101 && r.data[1] == 2 && shortOnes-- > 0)
            return UnitAnswer::raw(0x5B, Bytes{101});
        return UnitAnswer::normal();
    };
    mm.ReadBackSlots(slots);
    EXPECT_EQ(readsOf(1, 2), 3u);
    EXPECT_EQ(slots.slot[1].version, "1");
}

TEST_F(ReadBack, SettingTheBoxesDoesNotToggle) {
    for (auto& s : rig.unit.slots) s.status = 0xFE;  // all three boxes change to ticked
    std::vector<Flag16> autoSetSeen;
    slots.onClick = [&](int n) {
        autoSetSeen.push_back(state.OperationAutoSet);
        if (n != 3) mm.Operation_Click(n, host, slots);
    };
    mm.ReadBackSlots(slots);
    EXPECT_EQ(autoSetSeen, (std::vector<Flag16>{kTrue, kTrue, kTrue}));
    EXPECT_TRUE(rig.unit.with(0x5A).empty()) << "no toggle sent";
    EXPECT_EQ(state.OperationAutoSet, kFalse);
}

TEST_F(ReadBack, ASlot3BoxChangeReadsAllSlotsTwice) {
    rig.unit.slots[2].status = 0xFE;  // slot 3's box goes from not ticked to ticked
    mm.ReadBackSlots(slots);
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(readsOf(s, 4), 2u) << "slot " << s;
    EXPECT_EQ(state.OperationAutoSet, kFalse);
    EXPECT_TRUE(slots.slot[3].ticked);

    // Unchanged now: one read each.
    rig.unit.requests.clear();
    mm.ReadBackSlots(slots);
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(readsOf(s, 4), 1u) << "slot " << s;
}

TEST_F(ReadBack, ASlot1BoxChangeReadsOnce) {
    rig.unit.slots[0].status = 0xFE;
    mm.ReadBackSlots(slots);
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(readsOf(s, 4), 1u) << "slot " << s;
    EXPECT_TRUE(slots.slot[1].ticked);
}

TEST_F(ReadBack, SlotColoursOnlyForKnownSlotsAndColours) {
    mm.InitSlotColors(slots);
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(slots.slot[s].colour, 0x00FFFF00u);
    mm.SetSlotColor(slots, 0, 0x0000FF00);
    mm.SetSlotColor(slots, 4, 0x0000FF00);
    mm.SetSlotColor(slots, 2, 0x00123456);
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(slots.slot[s].colour, 0x00FFFF00u);
    mm.SetSlotColor(slots, 2, 0x00FF8080);
    EXPECT_EQ(slots.slot[2].colour, 0x00FF8080u);
}

// ---- toggle and handlers ----

TEST_F(ReadBack, ToggleIsTriedTwentyTimes) {
    rig.unit.script = [](const UnitRequest&, std::size_t) { return UnitAnswer::silent(); };
    state.CommErrorCode = 33;
    const auto start = rig.clock.ticks();
    EXPECT_EQ(mm.ToggleSlotOperation(2), kFalse);
    ASSERT_EQ(reqs.size(), 20u);
    for (const auto& r : reqs) {
        EXPECT_EQ(r.func, 0x5A);
        EXPECT_EQ(r.data, (Bytes{14, 4}));
        EXPECT_EQ(r.responseTimeout, 20);
    }
    EXPECT_GE(rig.clock.ticks() - start, 20 * 26);
    EXPECT_LE(rig.clock.ticks() - start, 20 * 28);
    EXPECT_EQ(state.CommErrorCode, 33) << "left alone";
    EXPECT_EQ(state.CommBusy, kFalse);
}

TEST_F(ReadBack, ToggleAcceptsTheEchoedTarget) {
    rig.unit.script = [](const UnitRequest&, std::size_t n) {
        return n == 0 ? UnitAnswer::raw(0x5A, {14}) : UnitAnswer::normal();
    };
    EXPECT_EQ(mm.ToggleSlotOperation(3), kTrue);
    EXPECT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].data, (Bytes{15, 4}));
}

TEST_F(ReadBack, OperationClickTogglesAndReadsBack) {
    rig.unit.slots[0].status = 0xFC;
    slots.slot[1].ticked = true;  // the user's click ticked it
    mm.Operation_Click(1, host, slots);
    ASSERT_GE(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].func, 0x5A);
    EXPECT_EQ(reqs[0].data, (Bytes{13, 4}));
    EXPECT_EQ(reqs[1].data, (Bytes{101, 4}));
    EXPECT_FALSE(slots.slot[1].ticked) << "shows the unit's state";
    EXPECT_EQ(slots.slot[1].colour, 0x0000FFFFu);
    EXPECT_EQ(host.calls, (Calls{"disconnect-", "download-", "disconnect+", "download+"}));
}

TEST_F(ReadBack, AFailedToggleMarksEverySlotUnknown) {
    for (int s = 1; s <= 3; ++s) {
        slots.slot[s].enabled = true;
        slots.slot[s].colour = 0x0000FF00;
    }
    slots.slot[2].ticked = true;
    rig.unit.script = [](const UnitRequest&, std::size_t) { return UnitAnswer::exception(); };
    mm.Operation_Click(2, host, slots);
    EXPECT_EQ(reqs.size(), 20u);
    for (int s = 1; s <= 3; ++s) {
        EXPECT_FALSE(slots.slot[s].enabled);
        EXPECT_EQ(slots.slot[s].colour, 0x00FFFF00u);
    }
    EXPECT_TRUE(slots.slot[2].ticked) << "keeps the state the click gave it";
    EXPECT_EQ(rig.messages.shown, (Calls{"Communication timeout!"}));
    EXPECT_EQ(host.calls, (Calls{"disconnect-", "download-", "disconnect+", "download+"}));
}

TEST_F(ReadBack, HandlersDoNothingWhileAnExchangeRuns) {
    state.CommBusy = kTrue;
    mm.Operation_Click(1, host, slots);
    mm.CompareBtn_Click(host, slots);
    rig.clock.advanceTicks(3);
    EXPECT_TRUE(reqs.empty());
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ReadBack, ReadButtonLocksAndUnlocks) {
    mm.CompareBtn_Click(host, slots);
    EXPECT_EQ(reqs.size(), 3u);
    EXPECT_EQ(host.calls, (Calls{"download-", "disconnect-", "compare-", "compare+", "disconnect+",
                                 "download+"}));
}

}  // namespace
}  // namespace tabsend
