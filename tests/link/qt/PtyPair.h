#pragma once
// A pseudo-terminal for the real-port tests: the test holds the master side and plays the
// device; the code under test opens the slave path (/dev/pts/N) as its serial port.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace tabsend::qttest {

class PtyPair {
  public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0) return;
        const char* name = nullptr;
        termios tio{};
        if (::grantpt(master_) == 0 && ::unlockpt(master_) == 0) name = ::ptsname(master_);
        // Raw at once: otherwise the slave's line discipline echoes early bytes and turns
        // CR into LF before the port under test has set its own modes.
        if (name != nullptr && ::tcgetattr(master_, &tio) == 0) {
            ::cfmakeraw(&tio);
            if (::tcsetattr(master_, TCSANOW, &tio) == 0) {
                slave_ = name;
                return;
            }
        }
        closeMaster();
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& slavePath() const { return slave_; }
    int master() const { return master_; }

    // The other side vanishes: the slave sees a hang-up.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // The slave's line settings as the port under test left them (on Linux the master's
    // termios calls reach the slave's).
    termios slaveTermios() const {
        termios tio{};
        ::tcgetattr(master_, &tio);
        return tio;
    }

    // Reads what the slave wrote: waits until `want` bytes came or `timeoutMs` passed.
    std::vector<std::uint8_t> read(std::size_t want, int timeoutMs) const {
        std::vector<std::uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0 || (p.revents & POLLIN) == 0) break;
            std::uint8_t buf[4096];
            const ssize_t n = ::read(master_, buf, std::min(sizeof buf, want - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    // Everything the slave wrote that is waiting now, without waiting.
    std::vector<std::uint8_t> readWaiting() const {
        std::vector<std::uint8_t> got;
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0 || (p.revents & POLLIN) == 0) break;
            std::uint8_t buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }

    bool write(std::span<const std::uint8_t> bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

}  // namespace tabsend::qttest
