#include "link/QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace tabsend {

struct QtEventPump::Impl {
    QTimer wakeUp;
};

QtEventPump::QtEventPump() : impl_(std::make_unique<Impl>()) {
    impl_->wakeUp.setSingleShot(true);
    impl_->wakeUp.setTimerType(Qt::PreciseTimer);
    impl_->wakeUp.setInterval(kWakeUpMs);
}

QtEventPump::~QtEventPump() = default;

void QtEventPump::yieldOnce() {
    // The wake-up stays armed across yields that end earlier; it only bounds the sleep.
    if (!impl_->wakeUp.isActive()) impl_->wakeUp.start();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtEventPump::processPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace tabsend
