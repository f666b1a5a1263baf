#include "tests/support/VirtualClock.h"

#include <string>
#include <utility>

namespace tabsend::testkit {

class VirtualClock::Timer : public TickTimer {
  public:
    explicit Timer(VirtualClock& clock) : clock_(clock) {}

    void start(int intervalMs, std::function<void()> onTick) override {
        intervalUs_ = static_cast<std::int64_t>(intervalMs < 1 ? 1 : intervalMs) * 1000;
        onTick_ = std::move(onTick);
        nextDueUs_ = clock_.now() + intervalUs_;
        active_ = true;
        intervalMs_ = intervalMs;
        ++starts_;
    }
    void stop() override { active_ = false; }
    bool isActive() const override { return active_; }

    // Fires once for every interval that has passed up to now.
    void catchUp() {
        while (active_ && nextDueUs_ <= clock_.now()) {
            nextDueUs_ += intervalUs_;
            ++fires_;
            auto handler = onTick_;  // the handler may restart the timer
            if (handler) handler();
        }
    }

    int intervalMs_ = 0;
    int starts_ = 0;
    long fires_ = 0;

  private:
    VirtualClock& clock_;
    std::function<void()> onTick_;
    std::int64_t intervalUs_ = 10'000;
    std::int64_t nextDueUs_ = 0;
    bool active_ = false;
};

VirtualClock::VirtualClock() : timer_(std::make_unique<Timer>(*this)) {}
VirtualClock::~VirtualClock() = default;

void VirtualClock::yieldOnce() {
    if (budgetLeft_ <= 0) {
        throw YieldBudgetExceeded("virtual clock: yield budget spent after " +
                                  std::to_string(yields_) + " yields; a wait loop does not end");
    }
    --budgetLeft_;
    ++yields_;
    nowUs_ += kTickUs;

    // Ids are collected first: a hook may detach itself or others.
    std::vector<int> ids;
    for (const auto& [id, hook] : lines_) ids.push_back(id);
    for (int id : ids) {
        auto it = lines_.find(id);
        if (it != lines_.end()) {
            auto hook = it->second;
            hook(nowUs_);
        }
    }

    timer_->catchUp();

    const std::int64_t tick = ticks();
    while (!actions_.empty() && actions_.begin()->first <= tick) {
        auto action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        action();
    }

    ids.clear();
    for (const auto& [id, obs] : observers_) ids.push_back(id);
    for (int id : ids) {
        auto it = observers_.find(id);
        if (it != observers_.end()) {
            auto obs = it->second;
            obs(tick);
        }
    }
}

void VirtualClock::advanceTicks(long n) {
    for (long i = 0; i < n; ++i) yieldOnce();
}

TickTimer& VirtualClock::timer1() {
    return *timer_;
}
bool VirtualClock::timerActive() const {
    return timer_->isActive();
}
int VirtualClock::timerIntervalMs() const {
    return timer_->intervalMs_;
}
int VirtualClock::timerStarts() const {
    return timer_->starts_;
}
long VirtualClock::timerFires() const {
    return timer_->fires_;
}

int VirtualClock::attachLine(LineHook hook) {
    const int id = nextId_++;
    lines_.emplace(id, std::move(hook));
    return id;
}

int VirtualClock::addObserver(TickObserver observer) {
    const int id = nextId_++;
    observers_.emplace(id, std::move(observer));
    return id;
}

void VirtualClock::detach(int id) {
    lines_.erase(id);
    observers_.erase(id);
}

void VirtualClock::atTick(std::int64_t tick, std::function<void()> action) {
    actions_.emplace(tick, std::move(action));
}

void VirtualClock::setYieldBudget(long maxYields) {
    budgetLeft_ = maxYields;
}

}  // namespace tabsend::testkit
