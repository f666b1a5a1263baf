#pragma once
// Virtual time for tests: an event pump whose every yield is exactly one 10 ms tick of
// Timer1, so that waits and timeouts of the link run in virtual time without sleeping.
//
// What one yieldOnce() does, in this order:
//   1. now() advances by exactly kTickUs (10 ms).
//   2. Every attached line (FakeSerialPort) is moved forward to the new now(): bytes whose
//      last bit has left are off the output side, frames that have completely left are
//      handed to the device, reply bytes whose arrival time has come are waiting as input.
//   3. Timer1 fires if it is active and its interval has passed (with the 10 ms interval
//      the link uses: once per yield).
//   4. One-shot actions scheduled with atTick() for this tick run, then the tick observers.
// So a byte that arrives during a tick is already waiting when the Timer1 handler of the
// same tick runs, and when the code that yielded looks at the port after the yield.
//
// A wrong loop cannot hang a test: after the yield budget is spent, yieldOnce() throws
// YieldBudgetExceeded (the test then fails with that message).
//
// The clock must outlive every FakeSerialPort and every timer user bound to it.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "shell/Seams.h"

namespace tabsend::testkit {

struct YieldBudgetExceeded : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class VirtualClock : public EventPump {
  public:
    static constexpr std::int64_t kTickUs = 10'000;
    static constexpr long kDefaultYieldBudget = 1'000'000;

    VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;
    ~VirtualClock() override;

    // One 10 ms tick (see the order above).
    void yieldOnce() override;
    // Pending events only: virtual time does not move, nothing fires.
    void processPending() override { ++pendingRuns_; }
    long pendingRuns() const { return pendingRuns_; }
    // n ticks in a row.
    void advanceTicks(long n);

    // Virtual microseconds since the clock was made.
    std::int64_t now() const { return nowUs_; }
    // Whole ticks since the clock was made (one per yield).
    std::int64_t ticks() const { return nowUs_ / kTickUs; }
    long yields() const { return yields_; }

    // Timer1 as the code under test sees it.
    TickTimer& timer1();
    bool timerActive() const;
    int timerIntervalMs() const;
    int timerStarts() const;  // how often start() was called
    long timerFires() const;  // how often the handler ran

    // A line is moved forward to the new time at every tick, before Timer1 fires.
    using LineHook = std::function<void(std::int64_t nowUs)>;
    int attachLine(LineHook hook);
    // An observer runs at every tick after Timer1 and the one-shot actions; gets ticks().
    using TickObserver = std::function<void(std::int64_t tick)>;
    int addObserver(TickObserver observer);
    // Removes a line or an observer by the id its attach/add call gave.
    void detach(int id);
    // Runs `action` once, in the yield that reaches the given tick (after Timer1).
    // A tick already reached runs at the next yield.
    void atTick(std::int64_t tick, std::function<void()> action);

    // At most `maxYields` further yields; the next one throws YieldBudgetExceeded.
    void setYieldBudget(long maxYields);
    long yieldsLeft() const { return budgetLeft_; }

  private:
    long pendingRuns_ = 0;
    class Timer;
    std::int64_t nowUs_ = 0;
    long yields_ = 0;
    long budgetLeft_ = kDefaultYieldBudget;
    int nextId_ = 1;
    std::map<int, LineHook> lines_;
    std::map<int, TickObserver> observers_;
    std::multimap<std::int64_t, std::function<void()>> actions_;
    std::unique_ptr<Timer> timer_;
};

}  // namespace tabsend::testkit
