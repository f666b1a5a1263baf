#include "tools/sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "tools/sim/PtyLineState.h"

namespace dexsim {

namespace {

std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

// How long to wait while no client holds the line open (the master reports a hang-up).
constexpr std::int64_t kHangUpRetryUs = 20'000;
// Frames are told apart by a silence of at least this long (and at least 3.5 characters).
constexpr std::int64_t kMinFrameGapUs = 2'000;

}  // namespace

PtyServer::PtyServer(DexioModel& model, bool pace)
    : model_(model), pace_(pace), startNs_(monotonicNs()) {}

PtyServer::~PtyServer() {
    if (master_ >= 0) ::close(master_);
}

std::int64_t PtyServer::nowUs() const {
    return (monotonicNs() - startNs_) / 1000;
}

bool PtyServer::open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    // Raw at once: otherwise the line discipline echoes early bytes and turns CR into LF.
    termios t{};
    if (tcgetattr(master_, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        tcsetattr(master_, TCSANOW, &t);
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("grantpt/unlockpt: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(master_);
    if (!name) {
        error = std::string("ptsname: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    return true;
}

HostLine PtyServer::hostLine() const {
    HostLine h;
    h.parityKnown = false;
    h.dataBitsKnown = false;
    PtyLineState st;
    if (readPtyLineState(master_, st)) {
        h.settings.baud = st.baud;
        h.settings.stopBits = st.stopBits;
    }
    h.settings.dataBits = 8;
    h.settings.parity = h.settings.stopBits == 2 ? tabsend::Parity::None : tabsend::Parity::Even;
    return h;
}

std::int64_t PtyServer::frameGapUs(const HostLine& host) const {
    if (host.settings.baud <= 0) return kMinFrameGapUs;
    const double charUs = 1e6 * bitsPerCharacter(host.settings) / host.settings.baud;
    return std::max(kMinFrameGapUs, static_cast<std::int64_t>(std::ceil(3.5 * charUs)));
}

void PtyServer::schedule(const Reply& reply, std::int64_t fromUs, const HostLine& host) {
    double charUs = 0;
    if (pace_ && host.settings.baud > 0)
        charUs = 1e6 * bitsPerCharacter(host.settings) / host.settings.baud;
    // The first chunk's silence runs from the end of the request; a reply never overlaps the
    // one before it on the line.
    double t = static_cast<double>(fromUs);
    bool first = true;
    for (const ReplyChunk& c : reply.chunks) {
        t += static_cast<double>(c.silenceUs);
        if (first) t = std::max(t, static_cast<double>(lineFreeUs_));
        first = false;
        for (std::uint8_t b : c.bytes) {
            t += charUs;  // a byte counts as arrived when its last bit is in
            out_.push_back({static_cast<std::int64_t>(std::llround(t)), b});
        }
    }
    lineFreeUs_ = static_cast<std::int64_t>(std::llround(t));
}

void PtyServer::writeDue(std::int64_t now) {
    std::uint8_t buf[512];
    std::size_t n = 0;
    while (n < out_.size() && n < sizeof buf && out_[n].dueUs <= now) {
        buf[n] = out_[n].byte;
        ++n;
    }
    if (n == 0) return;
    const ssize_t w = ::write(master_, buf, n);
    if (w > 0) {
        out_.erase(out_.begin(), out_.begin() + w);
    } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
        hangUp();
    }
}

void PtyServer::hangUp() {
    rx_.clear();
    out_.clear();
    lineFreeUs_ = 0;
    if (clientPresent_ && notice_) notice_("client closed the line");
    clientPresent_ = false;
}

void PtyServer::run(int controlFd, const std::function<bool()>& onControl) {
    bool hungUp = false;
    std::int64_t retryAtUs = 0;
    for (;;) {
        std::int64_t now = nowUs();
        writeDue(now);

        if (!rx_.empty() && now - lastRxUs_ >= frameGapUs(rxHost_)) {
            std::vector<std::uint8_t> frame;
            frame.swap(rx_);
            const Reply reply = model_.handleFrame(frame, rxHost_, lastRxUs_);
            schedule(reply, lastRxUs_, rxHost_);
            continue;
        }

        // Wake for the next byte due, the end of a frame, a control event, or input.
        std::int64_t waitUs = 1'000'000;
        if (!out_.empty()) waitUs = std::min(waitUs, out_.front().dueUs - now);
        if (!rx_.empty()) waitUs = std::min(waitUs, lastRxUs_ + frameGapUs(rxHost_) - now);
        if (hungUp) waitUs = std::min(waitUs, retryAtUs - now);
        waitUs = std::max<std::int64_t>(waitUs, 0);

        pollfd fds[2];
        nfds_t nfds = 0;
        int masterIdx = -1;
        int controlIdx = -1;
        if (!hungUp || now >= retryAtUs) {
            hungUp = false;
            masterIdx = static_cast<int>(nfds);
            fds[nfds++] = {master_, POLLIN, 0};
        }
        if (controlFd >= 0) {
            controlIdx = static_cast<int>(nfds);
            fds[nfds++] = {controlFd, POLLIN, 0};
        }
        timespec ts{static_cast<time_t>(waitUs / 1'000'000),
                    static_cast<long>((waitUs % 1'000'000) * 1000)};
        const int r = ppoll(fds, nfds, &ts, nullptr);
        if (r < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (controlIdx >= 0 && (fds[controlIdx].revents & POLLIN)) {
            if (!onControl()) return;
        }
        if (masterIdx < 0) continue;
        const short ev = fds[masterIdx].revents;
        if (ev & POLLIN) {
            std::uint8_t buf[1024];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                if (!clientPresent_ && notice_) notice_("client opened the line");
                clientPresent_ = true;
                if (rx_.empty()) rxHost_ = hostLine();
                rx_.insert(rx_.end(), buf, buf + n);
                lastRxUs_ = nowUs();
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        if (ev & (POLLHUP | POLLERR | POLLIN)) {
            // No client holds the slave open (read gives EIO): wait a little and look again.
            hangUp();
            hungUp = true;
            retryAtUs = nowUs() + kHangUpRetryUs;
        }
    }
}

}  // namespace dexsim
