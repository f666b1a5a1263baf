#include "link/CommDriver.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tabsend {

namespace {
// Shown before the serial layer's own description when a request cannot be sent.
const char* const kSendErrorText = "data send error！  ";
const char* const kStalledText = "The output does not drain";
// Shown before the serial layer's own description when the line is lost during a wait.
const char* const kReceiveErrorText = "data receive error！  ";
const char* const kNotOpenText = "The port is not open";
}  // namespace

// ---- Software timers ----

void SoftTimer::Set(std::int32_t ticks, bool run) {
    if (run) {
        TicksLeft = ticks;
        Done = kFalse;
    } else {
        TicksLeft = 10000;
        Done = kTrue;
    }
}

void SoftTimer::Tick() {
    if (isTrue(Done)) return;
    TicksLeft = TicksLeft - 1;
    if (TicksLeft <= 0) {
        // A timer armed with no ticks at all runs out here too, instead of counting on.
        TicksLeft = 0;
        Done = kTrue;
    }
}

Flag16 SoftTimer::Expired() const {
    return toFlag(TicksLeft == 0 && isTrue(Done));
}

// ---- Driver ----

CommDriver::CommDriver(ModBusDll& dll, SerialPort& port, EventPump& pump, TickTimer& timer1,
                       MessageSink& messages)
    : dll_(dll), port_(port), pump_(pump), timer1_(timer1), messages_(messages) {}

CommDriver::~CommDriver() {
    if (timerStarted_) timer1_.stop();
}

void CommDriver::LineRestored() {
    lineLost_ = false;
    sendFailed_ = false;
    lostText_.clear();
    earlier_ = {};
}

bool CommDriver::endsTheLine(const CommError& e) const {
    return e.number == CommErrorNumber::ReadFailed || e.number == CommErrorNumber::WriteFailed ||
           e.number == CommErrorNumber::PortNotOpen || !port_.isOpen();
}

void CommDriver::noteLineLost(const CommError& e) {
    lineLost_ = true;
    lostText_ = e.description.empty() ? std::string(kNotOpenText) : e.description;
}

void CommDriver::ResumeWait() {
    const std::int64_t left = ResponseTimeout - (tickCount_ - responseArmedTick_);
    ResponseTimerSet(static_cast<std::int32_t>(std::max<std::int64_t>(left, 0)), true);
    GapTimerSet(kStoppedTicks, false);
}

void CommDriver::DriverInit() {
    LineRestored();
    dll_.TxFrame.Ready = kFalse;
    dll_.TxFrame.Length = 0;
    dll_.RxFrame.Ready = kFalse;
    dll_.RxFrame.Length = 0;
    TimerInit();
}

void CommDriver::TimerInit() {
    timer1_.stop();
    timer1_.start(kTickMs, [this] { TimerTick(); });
    timerStarted_ = true;
    SetResponseTimeout(kStartResponseTimeout);
    ResponseTimerSet(kStoppedTicks, false);
    GapTimerSet(kStoppedTicks, false);
    TurnaroundTimerSet(kStoppedTicks, false);
    DelayTimerSet(kStoppedTicks, false);
}

void CommDriver::TimerTick() {
    ++tickCount_;
    ResponseTimerTick();
    GapTimerTick();
    TurnaroundTimerTick();
    DelayTimerTick();
}

bool CommDriver::SendFrame() {
    // A lost line stays lost until the port is opened again: the user has been told once,
    // and nothing is put on a line that is not there.
    if (lineLost_) {
        sendFailed_ = true;
        return false;
    }
    sendFailed_ = false;
    // An error the port went into while nobody was sending does not end this send by
    // itself; but when the send then fails, it is the better explanation of the two.
    CommError earlier = port_.takeError();
    if (earlier.ok()) earlier = std::exchange(earlier_, CommError{});
    earlier_ = {};

    const auto length = static_cast<std::size_t>(std::clamp<std::int32_t>(
        dll_.TxFrame.Length, 0, static_cast<std::int32_t>(dll_.TxFrame.Data.size())));
    const std::vector<std::uint8_t> frame(dll_.TxFrame.Data.begin(),
                                          dll_.TxFrame.Data.begin() + static_cast<long>(length));
    const bool broadcast = !frame.empty() && frame[0] == 0;

    auto fail = [this](const CommError& e) {
        sendFailed_ = true;
        if (endsTheLine(e)) noteLineLost(e);
        messages_.showMessage(std::string(kSendErrorText) + e.description);
        return false;
    };

    // Stale input goes before the request goes out.
    port_.discardInput();
    if (CommError e = port_.output(frame); !e.ok()) return fail(earlier.ok() ? e : earlier);
    if (CommError e = port_.takeError(); !e.ok()) return fail(e);

    // The response timeout runs from the moment the output has left the wire.
    int left = port_.outBufferCount();
    std::int64_t lastProgressTick = tickCount_;
    while (left > 0) {
        pump_.yieldOnce();
        if (CommError e = port_.takeError(); !e.ok()) return fail(e);
        const int now = port_.outBufferCount();
        if (now < left) lastProgressTick = tickCount_;
        left = now;
        if (left > 0 && tickCount_ - lastProgressTick >= kSendStallTicks) {
            return fail(CommError{CommErrorNumber::WriteFailed, kStalledText});
        }
    }

    if (!broadcast) {
        ResponseTimerSet(ResponseTimeout, true);
        responseArmedTick_ = tickCount_;
        if (events_ != nullptr) events_->RaiseEvSent();
    } else {
        TurnaroundTimerSet(kTurnaroundTicks, true);
        if (events_ != nullptr) events_->RaiseEvBroadcastSent();
    }
    return true;
}

std::uint8_t CommDriver::ReceiveFrame() {
    dll_.RxFrame.Length = 0;
    for (;;) {
        pump_.yieldOnce();
        // A line lost during the wait ends it at once: no reply can come any more.
        CommError e = port_.takeError();
        if (!e.ok() && !endsTheLine(e)) {
            earlier_ = std::move(e);
            e = {};
        }
        if (e.ok() && !port_.isOpen()) e = {CommErrorNumber::PortNotOpen, kNotOpenText};
        if (!e.ok()) {
            ResponseTimerSet(kStoppedTicks, false);
            GapTimerSet(kStoppedTicks, false);
            if (!lineLost_) {
                noteLineLost(e);
                messages_.showMessage(std::string(kReceiveErrorText) + lostText_);
            }
            return kLineLost;
        }
        const int waiting = port_.inBufferCount();
        // A byte waiting stops the response timer before it is tested, so a reply that
        // began in the same tick as the timeout is still taken in.
        if (waiting > 0) ResponseTimerSet(kStoppedTicks, false);
        if (isTrue(ResponseTimerExpired())) return kNoReply;
        // A reply ends after kGapTicks without a new byte, or when the input buffer is full.
        const bool full = waiting >= kInBufferSize;
        if (isTrue(GapTimerExpired()) || full) {
            GapTimerSet(kStoppedTicks, false);
            if (full && waiting > dll_.RxFrame.Length) dll_.RxFrame.Length = waiting;
            dll_.RxFrame.Data = port_.input();
            dll_.RxFrame.Ready = kTrue;
            port_.discardInput();
            return kFrameIn;
        }
        if (waiting > dll_.RxFrame.Length) {
            GapTimerSet(kGapTicks, true);
            dll_.RxFrame.Length = waiting;
        }
    }
}

}  // namespace tabsend
