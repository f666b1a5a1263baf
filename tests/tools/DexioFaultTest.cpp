// Faults on purpose: each kind does what it says, and every random choice comes again from
// the same seed.

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"

namespace dexsim::test {
namespace {

FaultRule& ruleOf(FaultConfig& f, FaultKind kind) {
    switch (kind) {
        case FaultKind::Drop:
            return f.drop;
        case FaultKind::Corrupt:
            return f.corrupt;
        case FaultKind::Exception:
            return f.exception;
        case FaultKind::WrongEcho:
            return f.wrongEcho;
        case FaultKind::Split:
            return f.split;
        case FaultKind::Late:
            return f.late;
        default:
            break;
    }
    throw std::logic_error("no rule for this kind");
}

// The faults the unit applied to each of `n` status reads of slot 1.
std::vector<std::vector<FaultKind>> faultsOverRun(const FaultConfig& faults, std::uint32_t seed,
                                                  int n, bool noiseBetween = false) {
    DexioConfig cfg;
    cfg.faults = faults;
    cfg.seed = seed;
    DexioModel model(cfg);
    std::vector<std::vector<FaultKind>> seen;
    model.setObserver([&](const Exchange& ex) {
        if (ex.number) seen.push_back(ex.faults);
    });
    Host host{model};
    for (int i = 0; i < n; ++i) {
        if (noiseBetween) host.ask(0x5B, {101, 4}, 0x22);  // for another unit: not counted
        host.read(1, 4);
    }
    return seen;
}

std::vector<bool> firedPattern(const std::vector<std::vector<FaultKind>>& run, FaultKind kind) {
    std::vector<bool> out;
    for (const auto& f : run) out.push_back(std::find(f.begin(), f.end(), kind) != f.end());
    return out;
}

class FaultSeedTest : public ::testing::TestWithParam<FaultKind> {};

TEST_P(FaultSeedTest, SameSeedSameFaultsOtherSeedOtherFaults) {
    FaultConfig f;
    ruleOf(f, GetParam()).probability = 0.3;
    const auto a = firedPattern(faultsOverRun(f, 7, 200), GetParam());
    const auto b = firedPattern(faultsOverRun(f, 7, 200), GetParam());
    const auto c = firedPattern(faultsOverRun(f, 8, 200), GetParam());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const auto fired = std::count(a.begin(), a.end(), true);
    EXPECT_GT(fired, 30);
    EXPECT_LT(fired, 90);
}

TEST_P(FaultSeedTest, DecisionsDoNotDependOnOtherFaultsOrIgnoredFrames) {
    FaultConfig alone;
    ruleOf(alone, GetParam()).probability = 0.25;
    FaultConfig together = alone;
    for (FaultKind other : {FaultKind::Drop, FaultKind::Corrupt, FaultKind::Exception,
                            FaultKind::WrongEcho, FaultKind::Split, FaultKind::Late}) {
        if (other != GetParam()) ruleOf(together, other).probability = 0.1;
    }
    const auto base = firedPattern(faultsOverRun(alone, 99, 120), GetParam());
    EXPECT_EQ(firedPattern(faultsOverRun(alone, 99, 120, true), GetParam()), base);
    // A dropped reply takes no later fault, so those kinds are compared where nothing was
    // dropped; the decision itself must not move.
    const auto mixed = faultsOverRun(together, 99, 120);
    ASSERT_EQ(mixed.size(), base.size());
    int compared = 0;
    for (std::size_t i = 0; i < base.size(); ++i) {
        const auto& f = mixed[i];
        const bool dropped = std::find(f.begin(), f.end(), FaultKind::Drop) != f.end();
        if (dropped && GetParam() != FaultKind::Drop && GetParam() != FaultKind::Exception)
            continue;
        ++compared;
        EXPECT_EQ(std::find(f.begin(), f.end(), GetParam()) != f.end(), base[i]) << "request " << i;
    }
    EXPECT_GT(compared, 80);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultSeedTest,
                         ::testing::Values(FaultKind::Drop, FaultKind::Corrupt,
                                           FaultKind::Exception, FaultKind::WrongEcho,
                                           FaultKind::Split, FaultKind::Late),
                         [](const auto& p) {
                             std::string s(faultKindName(p.param));
                             std::erase(s, '-');
                             return s;
                         });

// ---- What each fault does ---------------------------------------------------------------------

struct Faulted {
    Answer plain;  // the same request without faults
    Answer faulted;
    SlotInfo slotAfter;
};

// Toggles slot 1 (in operation) as request 2, with `faults`; request 1 is a status read.
Faulted toggleWith(const FaultConfig& faults) {
    auto run = [](const FaultConfig& f, SlotInfo& after) {
        DexioConfig cfg;
        cfg.slots[0] = {SlotState::InOperation, {}, 1, 1};
        cfg.faults = f;
        DexioModel model(cfg);
        Host host{model};
        host.read(1, 4);
        Answer a = host.write({13, 4});
        after = model.slot(1);
        return a;
    };
    Faulted r;
    SlotInfo ignored;
    r.plain = run(FaultConfig{}, ignored);
    r.faulted = run(faults, r.slotAfter);
    return r;
}

TEST(Faults, DropCarriesTheRequestOutAndLosesTheReply) {
    FaultConfig f;
    f.drop.nth = {2};
    const Faulted r = toggleWith(f);
    EXPECT_FALSE(r.faulted.replied);
    EXPECT_FALSE(r.slotAfter.inOperation) << "the toggle was done";
}

TEST(Faults, CorruptDamagesOnlyTheCrc) {
    FaultConfig f;
    f.corrupt.nth = {2};
    const Faulted r = toggleWith(f);
    ASSERT_EQ(r.faulted.raw.size(), r.plain.raw.size());
    EXPECT_FALSE(r.faulted.crcOk);
    EXPECT_TRUE(std::equal(r.plain.raw.begin(), r.plain.raw.end() - 2, r.faulted.raw.begin()));
    EXPECT_FALSE(r.slotAfter.inOperation);
}

TEST(Faults, ExceptionRefusesTheRequest) {
    FaultConfig f;
    f.exception.nth = {2};
    f.exceptionCode = 0x06;
    const Faulted r = toggleWith(f);
    ASSERT_TRUE(r.faulted.crcOk);
    EXPECT_EQ(r.faulted.func, 0xDA);
    EXPECT_EQ(r.faulted.data, Bytes{0x06});
    EXPECT_TRUE(r.slotAfter.inOperation) << "not done";
}

TEST(Faults, WrongEchoAltersTheFirstDataByte) {
    FaultConfig f;
    f.wrongEcho.nth = {2};
    const Faulted r = toggleWith(f);
    ASSERT_TRUE(r.faulted.crcOk);
    EXPECT_EQ(r.faulted.func, 0x5A);
    ASSERT_EQ(r.faulted.data.size(), r.plain.data.size());
    EXPECT_NE(r.faulted.data[0], r.plain.data[0]);
    EXPECT_TRUE(
        std::equal(r.plain.data.begin() + 1, r.plain.data.end(), r.faulted.data.begin() + 1));
}

TEST(Faults, ForeignSendsTheReplyFromAnotherAddressAndCarriesTheRequestOut) {
    FaultConfig f;
    f.foreign.nth = {2};
    f.foreignAddress = 9;
    const Faulted r = toggleWith(f);
    ASSERT_TRUE(r.faulted.crcOk);
    EXPECT_EQ(r.plain.address, 33);
    EXPECT_EQ(r.faulted.address, 9);
    EXPECT_EQ(r.faulted.data, r.plain.data);
    EXPECT_FALSE(r.slotAfter.inOperation) << "done";
}

TEST(Faults, ShortCutsAReadReplyToItsEchoWithASoundCrc) {
    for (const bool faulty : {false, true}) {
        DexioConfig cfg;
        cfg.slots[0] = {SlotState::InOperation, {}, 0x01020304, 1};
        if (faulty) cfg.faults.shortReply.nth = {1, 2};
        DexioModel model(cfg);
        Host host{model};
        for (const std::uint8_t item : {std::uint8_t{4}, std::uint8_t{2}}) {
            const Answer a = host.read(1, item);
            ASSERT_TRUE(a.crcOk);
            EXPECT_EQ(a.func, 0x5B);
            EXPECT_EQ(a.data.size(), faulty ? 1u : (item == 4 ? 3u : 6u)) << int(item);
            EXPECT_EQ(a.data.at(0), 101);
        }
    }
}

TEST(Faults, SplitCutsTheReplyWithASilenceLongerThanTheFrameGap) {
    FaultConfig f;
    f.split.nth = {2};
    const Faulted r = toggleWith(f);
    ASSERT_EQ(r.faulted.plan.chunks.size(), 2u);
    EXPECT_GT(r.faulted.plan.chunks[1].silenceUs, 20'000);
    EXPECT_FALSE(r.faulted.plan.chunks[0].bytes.empty());
    EXPECT_FALSE(r.faulted.plan.chunks[1].bytes.empty());
    EXPECT_EQ(r.faulted.raw, r.plain.raw);
    EXPECT_EQ(r.faulted.plan.chunks[0].silenceUs, r.plain.plan.chunks[0].silenceUs);
}

TEST(Faults, LateAddsTheDelayToTheTurnaround) {
    FaultConfig f;
    f.late.nth = {2};
    f.lateUs = 123'000;
    const Faulted r = toggleWith(f);
    ASSERT_EQ(r.faulted.plan.chunks.size(), 1u);
    EXPECT_EQ(r.faulted.plan.chunks[0].silenceUs, 2'000 + 123'000);
    EXPECT_EQ(r.faulted.raw, r.plain.raw);
}

TEST(Faults, NthCountsAcceptedRequestsOnly) {
    DexioConfig cfg;
    cfg.faults.drop.nth = {3, 5};
    DexioModel model(cfg);
    Host host{model};
    std::vector<bool> replied;
    for (int i = 0; i < 6; ++i) {
        host.ask(0x7E, {1}, 0x22);  // another unit's frame between: not counted
        replied.push_back(host.read(1, 4).replied);
    }
    EXPECT_EQ(replied, (std::vector<bool>{true, true, false, true, false, true}));
}

TEST(Faults, StopAfterAnswersTheFirstKRequestsThenNothing) {
    DexioConfig cfg;
    cfg.faults.stopAfter = 3;
    DexioModel model(cfg);
    Host host{model};
    EXPECT_TRUE(host.connect());
    EXPECT_TRUE(host.read(1, 4).replied);
    EXPECT_TRUE(host.read(2, 4).replied);
    EXPECT_FALSE(host.write({10}).replied);
    EXPECT_FALSE(model.slot(1).present) << "a silent unit does nothing";
    EXPECT_FALSE(host.ask(0x7E, {0}).replied);
    EXPECT_TRUE(model.connected());
}

struct FilterCase {
    const char* name;
    const char* filter;
    bool refuse;            // else ignore
    std::vector<bool> hit;  // for: erase 2, complete 11, bitmap slot 2, bitmap slot 1, read
};

class MessageFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(MessageFilterTest, OnlyTheChosenKindIsRefusedOrIgnored) {
    const FilterCase& c = GetParam();
    DexioConfig cfg;
    cfg.eraseUs = 1'000;
    auto filter = parseMessageFilter(c.filter);
    ASSERT_TRUE(filter);
    (c.refuse ? cfg.faults.refuse : cfg.faults.ignore).push_back(*filter);
    DexioModel model(cfg);
    Host host{model};
    const std::vector<std::pair<std::uint8_t, Bytes>> requests = {
        {0x7D, {2}},
        {0x5A, {11}},
        {0x5A, singleBitmap(2, 0, 0xC0000, {1, 2})},
        {0x5A, singleBitmap(1, 0, 0x40000, {1, 2})},
        {0x5B, {101, 4}},
    };
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Answer a = host.ask(requests[i].first, requests[i].second);
        if (!c.hit[i]) {
            EXPECT_EQ(a.func, requests[i].first) << i;
        } else if (c.refuse) {
            EXPECT_EQ(a.func, requests[i].first | 0x80) << i;
            EXPECT_EQ(a.data, Bytes{0x04});
        } else {
            EXPECT_FALSE(a.replied) << i;
        }
    }
    // A refused or ignored request is not carried out.
    EXPECT_EQ(model.slot(2).erases, c.hit[0] ? 0 : 1);
    EXPECT_EQ(model.slot(2).present, !c.hit[1]);
    EXPECT_EQ(model.bitmapsReceived(2).contains(0), !c.hit[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageFilterTest,
    ::testing::Values(
        FilterCase{"refuseErase", "erase", true, {true, false, false, false, false}},
        FilterCase{"refuseEraseByCode", "0x7D", true, {true, false, false, false, false}},
        FilterCase{"refuseSlot2Bitmaps", "0x5A:8", true, {false, false, true, false, false}},
        FilterCase{"ignoreComplete", "complete", false, {false, true, false, false, false}},
        FilterCase{"ignoreAllWrites", "0x5A", false, {false, true, true, true, false}},
        FilterCase{"ignoreStatusReads", "read-status", false, {false, false, false, false, true}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Faults, SetFaultsRestartsTheSequence) {
    FaultConfig f;
    f.corrupt.probability = 0.5;
    const auto expected = firedPattern(faultsOverRun(f, 3, 40), FaultKind::Corrupt);
    DexioModel model;
    std::vector<bool> seen;
    model.setObserver([&](const Exchange& ex) {
        if (ex.number)
            seen.push_back(std::find(ex.faults.begin(), ex.faults.end(), FaultKind::Corrupt) !=
                           ex.faults.end());
    });
    Host host{model};
    for (int i = 0; i < 5; ++i) host.read(1, 4);
    seen.clear();
    model.setFaults(f, 3);
    for (int i = 0; i < 40; ++i) host.read(1, 4);
    EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace dexsim::test
