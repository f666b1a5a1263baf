#pragma once
// A serial port on a virtual wire, for tests: bytes take their real line time
// (bitsPerCharacter / baud per byte) in both directions, counted on a VirtualClock.
//
// Host to device: output() queues bytes; they leave one after the other at the line rate,
// back to back with whatever is still leaving. outBufferCount() counts the bytes whose
// last bit has not left at the clock's now(). When the last byte of a run of back-to-back
// bytes has left (the line goes quiet), the run is one frame: it is logged and handed to
// the device's onFrame() with the moment its last byte left.
//
// Device to host: the device's Reply is scheduled from the end of the request. The first
// chunk starts after its silence, its bytes arrive paced at the line rate (a byte counts
// as arrived when its last bit is in); each later chunk starts after its own silence,
// counted from the last byte of the chunk before. inBufferCount() counts arrived bytes not
// yet taken, input() takes them, discardInput() drops the arrived ones only: bytes still
// on the way arrive later, as on a real port. A second reply that overlaps the first
// waits until the device's line is free.
//
// The port moves itself forward to the clock's now() on every call and at every tick, so
// the result is the same whether the code looks before or after a yield.
//
// vanish() unplugs the device: the open handle is dead (output fails with WriteFailed,
// takeError() reports the loss once, nothing arrives, bytes that had not left stay counted
// by outBufferCount()); opening the device again fails with DeviceNotFound until
// reappear().

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "tests/support/VirtualClock.h"
#include "tools/sim/LineDevice.h"

namespace tabsend::testkit {

class FakeSerialPort : public SerialPort {
  public:
    // `device` may be null: nothing answers.
    explicit FakeSerialPort(VirtualClock& clock, dexsim::LineDevice* device = nullptr);
    FakeSerialPort(const FakeSerialPort&) = delete;
    FakeSerialPort& operator=(const FakeSerialPort&) = delete;
    ~FakeSerialPort() override;

    // --- SerialPort ---
    // Order of checks: already open (PortAlreadyOpen); malformed settings (BadSettings);
    // missing or vanished device (DeviceNotFound); busy device (PortBusy); refused
    // settings (BadSettings); the open check, if set. Success empties both directions.
    CommError open(const std::string& device, const std::string& settings) override;
    void close() override;  // drops everything on the wire in both directions
    bool isOpen() const override { return open_; }
    std::string settings() const override { return settingsText_; }  // as given at open
    int inBufferCount() override;
    void discardInput() override;
    void discardOutput() override;
    std::vector<std::uint8_t> input() override;
    CommError output(std::span<const std::uint8_t> bytes) override;
    int outBufferCount() override;
    CommError takeError() override;

    // --- Scenario ---
    void setDevice(dexsim::LineDevice* device) { device_ = device; }
    void setMissing(const std::string& device, bool missing = true);
    void setBusy(const std::string& device, bool busy = true);
    // Settings the device refuses at open (compared as parsed values, so "57600,E,8,1"
    // and "57600,e,8,1" are the same).
    void refuseSettings(const std::string& settingsText);
    // Any further check at open; gives an error to refuse, ok() to accept.
    using OpenCheck = std::function<CommError(const std::string& device, const LineSettings&)>;
    void setOpenCheck(OpenCheck check) { openCheck_ = std::move(check); }
    void vanish();
    void reappear();
    bool vanished() const { return deviceGone_; }
    // Bytes from the line that answer no request (noise, a late reply): scheduled from now
    // as a reply would be from the end of a request.
    void inject(const dexsim::Reply& reply);

    // --- Logs ---
    struct WrittenFrame {
        std::vector<std::uint8_t> bytes;
        std::int64_t startUs = 0;  // first bit on the wire
        std::int64_t endUs = 0;    // last bit off the wire
        LineSettings settings;
        bool delivered = false;  // handed to the device (false: still leaving, or cut off)
    };
    const std::vector<WrittenFrame>& written() const { return written_; }

    struct OpenAttempt {
        std::string device;
        std::string settings;  // the text as given
        std::int64_t atUs = 0;
        CommErrorNumber result = CommErrorNumber::None;
    };
    const std::vector<OpenAttempt>& opens() const { return opens_; }
    int closes() const { return closes_; }
    int inputDiscards() const { return inputDiscards_; }

    // Wire time of n characters at the settings in force (rounded up to whole µs).
    std::int64_t wireTimeUs(std::int64_t characters) const;

    // Moves the wire forward to `nowUs` (the clock does this at every tick).
    void advanceTo(std::int64_t nowUs);

  private:
    struct InFlight {
        std::int64_t arrivalUs;
        std::uint8_t byte;
    };
    void sync() { advanceTo(clock_.now()); }
    void schedule(const dexsim::Reply& reply, std::int64_t fromUs);
    void dropWire();

    VirtualClock& clock_;
    dexsim::LineDevice* device_;
    int lineId_ = 0;

    bool open_ = false;
    bool deadHandle_ = false;  // the device vanished while this handle was open
    bool deviceGone_ = false;  // the device is unplugged
    std::string goneName_;     // the device that vanished ("" if none was open: all)
    std::string deviceName_;
    std::string settingsText_;
    LineSettings settings_;
    CommError pendingError_;

    // Output: the run of back-to-back bytes now leaving (one frame).
    std::vector<std::uint8_t> txRun_;
    std::int64_t txRunStartUs_ = 0;
    int frozenOut_ = 0;  // counted after the device vanished

    // Input.
    std::deque<InFlight> rxInFlight_;
    std::vector<std::uint8_t> inBuf_;
    std::int64_t rxLineFreeUs_ = 0;

    std::set<std::string> missing_;
    std::set<std::string> busy_;
    std::vector<LineSettings> refused_;
    OpenCheck openCheck_;

    std::vector<WrittenFrame> written_;
    std::vector<OpenAttempt> opens_;
    int closes_ = 0;
    int inputDiscards_ = 0;
};

}  // namespace tabsend::testkit
