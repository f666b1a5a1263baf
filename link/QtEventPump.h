#pragma once
// The event pump of the user-interface thread on Qt: one yield runs what is pending and
// otherwise sleeps in the event loop until the next event arrives (a tick of Timer1, a byte
// on the serial line, a click). It never spins.

#include <memory>

#include "shell/Seams.h"

namespace tabsend {

class QtEventPump final : public EventPump {
  public:
    // The longest one yield sleeps when no other event comes: a wake-up of its own, so a
    // wait loop still gets to test its condition when no timer is running.
    static constexpr int kWakeUpMs = 10;

    QtEventPump();
    ~QtEventPump() override;
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;

    // Needs a QCoreApplication (or QApplication) on this thread.
    void yieldOnce() override;
    // Runs the events pending now; never waits.
    void processPending() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabsend
