#pragma once
// Timer1 on Qt: a precise periodic QTimer of the user-interface thread. Its ticks arrive
// only while the thread is idle in its event loop or inside EventPump::yieldOnce(); a tick
// missed while the thread was busy is not made up later.

#include <functional>
#include <memory>

#include "shell/Seams.h"

namespace tabsend {

class QtTickTimer final : public TickTimer {
  public:
    QtTickTimer();
    ~QtTickTimer() override;
    QtTickTimer(const QtTickTimer&) = delete;
    QtTickTimer& operator=(const QtTickTimer&) = delete;

    void start(int intervalMs, std::function<void()> onTick) override;
    void stop() override;
    bool isActive() const override;
    int intervalMs() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabsend
