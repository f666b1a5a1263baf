#pragma once
// Serial driver of the link: sends TxFrame, collects one reply into RxFrame by silence,
// and keeps the four 10 ms software timers and the shared response timeout.

#include <cstdint>
#include <string>

#include "link/ModBusDll.h"
#include "link/SerialPort.h"
#include "shell/Seams.h"

namespace tabsend {

// One software timer counting ticks of Timer1.
struct SoftTimer {
    std::int32_t TicksLeft = 10000;  // ticks left
    Flag16 Done = kTrue;             // not counting (stopped or run out)

    // run true: count `ticks` from now; run false: stop (10000, done), ticks ignored.
    // A timer set to run for 0 or fewer ticks runs out at the next tick.
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
    static constexpr std::int32_t kTickMs = 10;  // period of Timer1
    static constexpr std::int32_t kStartResponseTimeout = 1400;
    static constexpr std::int32_t kGapTicks = 2;            // silence that ends a reply
    static constexpr std::int32_t kTurnaroundTicks = 1000;  // quiet time after a broadcast
    static constexpr std::int32_t kStoppedTicks = 10000;    // what a stopped timer holds
    // The input buffer the port is opened with: a reply is taken in once this many bytes
    // are waiting, even if the line has not gone quiet.
    static constexpr int kInBufferSize = 1024;
    // A send whose output count has not gone down for this many ticks is a send error
    // (the line moves a byte in far less than one tick at every speed the tool uses).
    static constexpr std::int32_t kSendStallTicks = 500;

    CommDriver(ModBusDll& dll, SerialPort& port, EventPump& pump, TickTimer& timer1,
               MessageSink& messages);
    // Stops Timer1 if this driver started it (its handler points here).
    ~CommDriver();
    CommDriver(const CommDriver&) = delete;
    CommDriver& operator=(const CommDriver&) = delete;

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
    // Timer1 ticks handled since this driver was made.
    std::int64_t TickCount() const { return tickCount_; }

    // Discards stale input, writes TxFrame, yields until the output has left the wire,
    // arms the response (or turnaround) timer and raises the engine's event. A serial
    // error (or output that stops draining) shows "data send error！  " + the layer's text
    // once and returns false without raising an event; the engine then ends the exchange.
    // Once the line is lost, nothing is sent and nothing more is shown until the port has
    // been opened again (LineRestored).
    bool SendFrame();
    // Results of ReceiveFrame.
    static constexpr std::uint8_t kFrameIn = 0;
    static constexpr std::uint8_t kNoReply = 1;
    static constexpr std::uint8_t kLineLost = 2;
    // Waits for a reply: 1 when none began within ResponseTimeout ticks, 0 when a frame
    // ended by 2 ticks of silence is in RxFrame (RxFrame.Length = the bytes counted).
    // The port is looked at on every tick: when the line is lost (the port closed, a read
    // or write failure), "data receive error！  " + the layer's text is shown once and
    // the wait ends at once with 2.
    std::uint8_t ReceiveFrame();

    // True from the moment the line was found lost until LineRestored.
    bool LineLost() const { return lineLost_; }
    // The layer's words for the loss ("" while the line is not lost).
    const std::string& LineLostText() const { return lostText_; }
    // True when the last send failed or the line was lost since it: the exchange ended
    // without the unit having had a chance to answer, and further tries are pointless.
    bool LinkFailed() const { return lineLost_ || sendFailed_; }
    // The port has been opened again: sends go out again. DriverInit does this too.
    void LineRestored();
    // Waits on for the reply to the request last sent, after a frame that was not its
    // answer: the response timer runs again with what is left of the ResponseTimeout
    // counted from the moment the request had left (at least until the next tick).
    void ResumeWait();

    SerialPort& port() { return port_; }
    EventPump& pump() { return pump_; }

  private:
    ModBusDll& dll_;
    SerialPort& port_;
    EventPump& pump_;
    TickTimer& timer1_;
    MessageSink& messages_;
    SendEvents* events_ = nullptr;
    bool timerStarted_ = false;
    std::int64_t tickCount_ = 0;
    std::int64_t responseArmedTick_ = 0;
    bool lineLost_ = false;
    bool sendFailed_ = false;
    std::string lostText_;
    // A port error seen while no send was running that did not end the line; a later
    // failing send names it as the better explanation.
    CommError earlier_;

    // Whether an error (or a closed port) means the line is gone.
    bool endsTheLine(const CommError& e) const;
    void noteLineLost(const CommError& e);
};

}  // namespace tabsend
