#include "link/QtEventPump.h"
#include "link/QtTickTimer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <thread>

namespace tabsend {
namespace {

using Clock = std::chrono::steady_clock;

// Yields until `done` holds, at most `maxYields` times; gives the number of yields used.
template <class Pred>
int yieldUntil(EventPump& pump, Pred done, int maxYields) {
    int n = 0;
    while (!done() && n < maxYields) {
        pump.yieldOnce();
        ++n;
    }
    return n;
}

TEST(QtEventPump, RunsAPostedCallInOneYield) {
    QtEventPump pump;
    bool ran = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ran = true; }, Qt::QueuedConnection);
    EXPECT_FALSE(ran);
    pump.yieldOnce();
    EXPECT_TRUE(ran);
}

// Letting pending events through runs what is queued and never waits for more: a thousand
// calls with nothing pending take far less than one 10 ms wake-up each.
TEST(QtEventPump, ProcessPendingRunsQueuedWorkWithoutWaiting) {
    QtEventPump pump;
    bool ran = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ran = true; }, Qt::QueuedConnection);
    pump.processPending();
    EXPECT_TRUE(ran);
    const auto start = Clock::now();
    for (int i = 0; i < 1000; ++i) pump.processPending();
    // Waiting would take 10 s; a generous bound for a loaded machine.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

// With nothing running at all, a yield still comes back (its own wake-up), so a wait loop
// always gets to test its condition.
TEST(QtEventPump, ComesBackWithoutAnyTimerRunning) {
    QtEventPump pump;
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) pump.yieldOnce();
    // Five wake-ups of 10 ms; generous bound for a loaded machine.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
}

// A yield sleeps in the event loop: with no events, each one takes about the wake-up time.
// A pump that spun would run hundreds of thousands of yields in the same time.
TEST(QtEventPump, SleepsInsteadOfSpinning) {
    QtEventPump pump;
    const auto start = Clock::now();
    int yields = 0;
    while (Clock::now() - start < std::chrono::milliseconds(300)) {
        pump.yieldOnce();
        ++yields;
    }
    // About 30 at 10 ms each; 300 would mean a yield took under 1 ms.
    EXPECT_LT(yields, 300);
    EXPECT_GE(yields, 1);
}

// A long-running timer elsewhere does not keep a yield waiting: the wake-up ends it.
TEST(QtEventPump, WakeUpEndsAYieldWhileOnlyASlowTimerRuns) {
    QtEventPump pump;
    QTimer slow;
    slow.start(5000);
    const auto start = Clock::now();
    pump.yieldOnce();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(QtTickTimer, TicksWhileYieldingAndStopsWhenStopped) {
    QtEventPump pump;
    QtTickTimer timer;
    EXPECT_FALSE(timer.isActive());
    int ticks = 0;
    timer.start(10, [&ticks] { ++ticks; });
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.intervalMs(), 10);
    yieldUntil(
        pump, [&] { return ticks >= 3; }, 500);
    EXPECT_GE(ticks, 3);

    timer.stop();
    EXPECT_FALSE(timer.isActive());
    const int atStop = ticks;
    for (int i = 0; i < 10; ++i) pump.yieldOnce();
    EXPECT_EQ(ticks, atStop);
}

// Ticks arrive only while the thread is in its event loop, and a busy stretch does not
// deliver a burst of missed ticks afterwards.
TEST(QtTickTimer, TicksOnlyInTheEventLoopWithoutMakingUpMissedOnes) {
    QtEventPump pump;
    QtTickTimer timer;
    int ticks = 0;
    timer.start(10, [&ticks] { ++ticks; });
    std::this_thread::sleep_for(std::chrono::milliseconds(80));  // busy, not yielding
    EXPECT_EQ(ticks, 0);
    pump.yieldOnce();
    EXPECT_EQ(ticks, 1);
}

TEST(QtTickTimer, RestartReplacesTheHandlerAndInterval) {
    QtEventPump pump;
    QtTickTimer timer;
    int first = 0;
    int second = 0;
    timer.start(1000, [&first] { ++first; });
    timer.start(10, [&second] { ++second; });
    EXPECT_EQ(timer.intervalMs(), 10);
    yieldUntil(
        pump, [&] { return second >= 2; }, 500);
    EXPECT_GE(second, 2);
    EXPECT_EQ(first, 0);
}

TEST(QtTickTimer, HandlerMayStopOrRestartItsOwnTimer) {
    QtEventPump pump;
    QtTickTimer timer;
    int ticks = 0;
    timer.start(10, [&] {
        ++ticks;
        if (ticks == 1) {
            timer.start(10, [&] {  // replaces the running handler
                ++ticks;
                timer.stop();
            });
        }
    });
    yieldUntil(
        pump, [&] { return !timer.isActive(); }, 500);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(ticks, 2);
    for (int i = 0; i < 5; ++i) pump.yieldOnce();
    EXPECT_EQ(ticks, 2);
}

}  // namespace
}  // namespace tabsend
