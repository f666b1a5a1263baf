#pragma once
// Serial driver of the link: sends TxFrame, collects one reply into RxFrame by silence,
// and keeps the four 10 ms software timers and the shared response timeout.

#include <cstdint>

#include "link/ModBusDll.h"
#include "link/SerialPort.h"
#include "shell/Seams.h"

namespace tabsend {

// One software timer counting ticks of Timer1.
struct SoftTimer {
    std::int32_t TicksLeft = 10000;  // ticks left
    Flag16 Done = kTrue;             // not counting (stopped or run out)

    // run true: count `ticks` from now; run false: stop (10000, done), ticks ignored.
    void Set(std::int32_t ticks, bool run);
    // One tick: counts down while running; reaching 0 marks it done.
    void Tick();
    // -1 exactly when it has run out (0 ticks left and done), else 0.
    Flag16 Expired() const;
};

// The engine's events that the driver raises after sending.
class SendEvents {
public:
    virtual ~SendEvents() = default;
    virtual void RaiseEvSent() = 0;           // sent to a unit address
    virtual void RaiseEvBroadcastSent() = 0;  // sent to address 0
};

class CommDriver {
public:
    CommDriver(ModBusDll& dll, SerialPort& port, EventPump& pump, TickTimer& timer1,
               MessageSink& messages);

    void SetEvents(SendEvents* events) { events_ = events; }

    std::int32_t ResponseTimeout = 1400;  // ticks allowed for the first reply byte
    void SetResponseTimeout(std::int32_t ticks) { ResponseTimeout = ticks; }

    SoftTimer ResponseTimer;
    SoftTimer GapTimer;
    SoftTimer TurnaroundTimer;
    SoftTimer DelayTimer;

    void ResponseTimerSet(std::int32_t ticks, bool run) { ResponseTimer.Set(ticks, run); }
    void ResponseTimerTick() { ResponseTimer.Tick(); }
    Flag16 ResponseTimerExpired() const { return ResponseTimer.Expired(); }
    void GapTimerSet(std::int32_t ticks, bool run) { GapTimer.Set(ticks, run); }
    void GapTimerTick() { GapTimer.Tick(); }
    Flag16 GapTimerExpired() const { return GapTimer.Expired(); }
    void TurnaroundTimerSet(std::int32_t ticks, bool run) { TurnaroundTimer.Set(ticks, run); }
    void TurnaroundTimerTick() { TurnaroundTimer.Tick(); }
    Flag16 TurnaroundTimerExpired() const { return TurnaroundTimer.Expired(); }
    void DelayTimerSet(std::int32_t ticks, bool run) { DelayTimer.Set(ticks, run); }
    void DelayTimerTick() { DelayTimer.Tick(); }
    Flag16 DelayTimerExpired() const { return DelayTimer.Expired(); }

    // Frame buffers reset, then TimerInit.
    void DriverInit();
    // Restarts Timer1 at 10 ms, ResponseTimeout 1400, all four timers stopped.
    void TimerInit();
    // Run by every Timer1 tick: ticks the four timers in order.
    void TimerTick();

    // Discards stale input, writes TxFrame, yields until the output has left the wire,
    // arms the response (or turnaround) timer and raises the engine's event. A serial
    // error shows "data send error！  " + the layer's text and returns false (no event).
    bool SendFrame();
    // Waits for a reply: 1 when none began within ResponseTimeout ticks, 0 when a frame
    // ended by 2 ticks of silence is in RxFrame.
    std::uint8_t ReceiveFrame();

    SerialPort& port() { return port_; }
    EventPump& pump() { return pump_; }

private:
    ModBusDll& dll_;
    SerialPort& port_;
    EventPump& pump_;
    TickTimer& timer1_;
    MessageSink& messages_;
    SendEvents* events_ = nullptr;
};

}  // namespace tabsend
