#pragma once
// The pseudo-terminal front end of dexio-sim: owns the master side of a pty, frames the
// client's requests by silence, hands them to the device model with the line state the master
// can see, and plays the reply plan back with the line's timing.
//
// What the master side sees of the client's line: the baud rate and the stop bits, never the
// parity or the data bits (the pty driver drops them). The front end therefore passes parity
// and data bits as unknown, filled in for display as the automatic search pairs them: even
// parity with 1 stop bit, no parity with 2 stop bits, 8 data bits.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tools/sim/DexioModel.h"

namespace dexsim {

class PtyServer {
  public:
    PtyServer(DexioModel& model, bool pace);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (master in raw mode at once). False with a reason on error.
    bool open(std::string& error);
    const std::string& slavePath() const { return slavePath_; }

    // Serves until `onControl` gives false. `onControl` runs whenever `controlFd` is
    // readable (it must read what is there); -1: no control descriptor.
    void run(int controlFd, const std::function<bool()>& onControl);

    // Called with a short text when the client opens or closes the line.
    void setNotice(std::function<void(const std::string&)> notice) { notice_ = std::move(notice); }

    // Microseconds on the monotonic clock since the server was made (the model's time base).
    std::int64_t nowUs() const;

    // The host line as the master sees it now.
    HostLine hostLine() const;

  private:
    struct Out {
        std::int64_t dueUs;
        std::uint8_t byte;
    };
    void schedule(const Reply& reply, std::int64_t fromUs, const HostLine& host);
    void writeDue(std::int64_t now);
    void hangUp();
    std::int64_t frameGapUs(const HostLine& host) const;

    DexioModel& model_;
    bool pace_;
    int master_ = -1;
    std::string slavePath_;
    std::int64_t startNs_ = 0;
    std::function<void(const std::string&)> notice_;

    std::vector<std::uint8_t> rx_;
    std::int64_t lastRxUs_ = 0;
    HostLine rxHost_;
    std::deque<Out> out_;
    std::int64_t lineFreeUs_ = 0;
    bool clientPresent_ = false;
};

}  // namespace dexsim
