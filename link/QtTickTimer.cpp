#include "link/QtTickTimer.h"

#include <QTimer>
#include <utility>

namespace tabsend {

struct QtTickTimer::Impl {
    QTimer timer;
    std::function<void()> onTick;
};

QtTickTimer::QtTickTimer() : impl_(std::make_unique<Impl>()) {
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout, &impl_->timer, [impl = impl_.get()] {
        // A copy, so that a handler that restarts or stops the timer does not destroy the
        // function it is running in.
        auto tick = impl->onTick;
        if (tick) tick();
    });
}

QtTickTimer::~QtTickTimer() = default;

void QtTickTimer::start(int intervalMs, std::function<void()> onTick) {
    impl_->timer.stop();
    impl_->onTick = std::move(onTick);
    impl_->timer.start(intervalMs < 0 ? 0 : intervalMs);
}

void QtTickTimer::stop() {
    impl_->timer.stop();
}

bool QtTickTimer::isActive() const {
    return impl_->timer.isActive();
}

int QtTickTimer::intervalMs() const {
    return impl_->timer.interval();
}

}  // namespace tabsend
