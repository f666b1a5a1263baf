// The dexio-sim program itself on a pseudo-terminal: first line, line settings seen through
// the master, replies, pacing, dump, clean exit on SIGTERM/SIGINT.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/ModBusDll.h"

#ifndef DEXIO_SIM_PATH
#error "DEXIO_SIM_PATH must name the built dexio-sim program"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

class SimProcess {
  public:
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // Starts the program; gives its first output line ("" when none came within 5 s).
    std::string start(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return {};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDERR_FILENO);
            std::vector<char*> argv;
            std::string prog = DEXIO_SIM_PATH;
            argv.push_back(prog.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(prog.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
        std::string line;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char c;
            if (::read(out_, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return {};
    }

    pid_t pid() const { return pid_; }

    // Sends `sig` and waits up to 3 s; gives the exit code, or -1 if it did not exit normally.
    int stop(int sig) {
        ::kill(pid_, sig);
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (Clock::now() < deadline) {
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                const pid_t gone = pid_;
                pid_ = -1;
                // Reaped: nothing of it is left.
                EXPECT_EQ(::kill(gone, 0), -1);
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return -1;
    }

    // Waits for the program to end by itself (e.g. a bad option); exit code or -1.
    int wait() {
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// The client side of the pseudo-terminal, as a serial port layer would set it up.
class Terminal {
  public:
    explicit Terminal(const std::string& path) { fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY); }
    ~Terminal() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    // Raw, 8 data bits, given speed and stop bits (parity cannot be set on a pty).
    bool setLine(speed_t speed, int stopBits) {
        termios t{};
        if (::tcgetattr(fd_, &t) != 0) return false;
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        if (stopBits == 2)
            t.c_cflag |= CSTOPB;
        else
            t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        return ::tcsetattr(fd_, TCSANOW, &t) == 0;
    }

    // Sends a frame and collects the reply: bytes until 50 ms of quiet after the first one,
    // or nothing after `waitMs`.
    Bytes exchange(const Bytes& frame, int waitMs = 500, double* lastByteMs = nullptr) {
        const auto sent = Clock::now();
        if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            return {};
        Bytes reply;
        int timeout = waitMs;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeout) <= 0) break;
            std::uint8_t buf[300];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            reply.insert(reply.end(), buf, buf + n);
            if (lastByteMs)
                *lastByteMs =
                    std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
            timeout = 50;
        }
        return reply;
    }

  private:
    int fd_ = -1;
};

Bytes frame(std::uint8_t func, const Bytes& data) {
    return tabsend::buildFrame(0x21, func, data);
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(DexioSimProgram, ConnectsAtItsSettingThenAtTheDownloadSettingAndExitsOnSigterm) {
    SimProcess sim;
    const std::string path = sim.start({"--settings", "19200,n,8,2"});
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "first line: '" << path << "'";
    Terminal term(path);
    ASSERT_TRUE(term.ok());

    // 19200 with one stop bit is 19200,e,8,1 to the unit: not its setting.
    ASSERT_TRUE(term.setLine(B19200, 1));
    EXPECT_TRUE(term.exchange(frame(0x7E, {1}), 150).empty());

    ASSERT_TRUE(term.setLine(B19200, 2));
    EXPECT_EQ(term.exchange(frame(0x7E, {1})), frame(0x7E, {2}));

    ASSERT_TRUE(term.setLine(B57600, 1));
    EXPECT_EQ(term.exchange(frame(0x5B, {101, 4})), frame(0x5B, {101, 4, 0xFF}));

    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(DexioSimProgram, ServesAClientThatClosesAndReopensTheLine) {
    SimProcess sim;
    const std::string path = sim.start({});
    ASSERT_FALSE(path.empty());
    {
        Terminal first(path);
        ASSERT_TRUE(first.setLine(B19200, 1));
        EXPECT_EQ(first.exchange(frame(0x7E, {1})), frame(0x7E, {2}));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Terminal second(path);
    ASSERT_TRUE(second.setLine(B57600, 1));
    EXPECT_EQ(second.exchange(frame(0x7E, {0})), frame(0x7E, {0}));
    EXPECT_EQ(sim.stop(SIGINT), 0);
}

TEST(DexioSimProgram, RepliesTakeTheirWireTime) {
    SimProcess sim;
    const std::string path = sim.start({"--settings", "9600,e,8,1"});
    ASSERT_FALSE(path.empty());
    Terminal term(path);
    ASSERT_TRUE(term.setLine(B9600, 1));
    double lastMs = 0;
    const Bytes reply = term.exchange(frame(0x2B, {0x0E, 5, 0}), 500, &lastMs);
    ASSERT_GE(reply.size(), 18u);
    EXPECT_EQ(reply[1], 0x2B);
    // 11 bits per byte at 9600 baud.
    EXPECT_GE(lastMs, static_cast<double>(reply.size()) * 11.0 * 1000.0 / 9600.0 * 0.95);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(DexioSimProgram, DumpsAfterTheCompleteSignalAndAtExit) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("dexsim-proc-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    SimProcess sim;
    const std::string path = sim.start({"--erase-ms", "5", "--dump-dir", dir.string()});
    ASSERT_FALSE(path.empty());
    Terminal term(path);
    ASSERT_TRUE(term.setLine(B19200, 1));
    ASSERT_EQ(term.exchange(frame(0x7E, {1})), frame(0x7E, {2}));
    ASSERT_TRUE(term.setLine(B57600, 1));
    ASSERT_EQ(term.exchange(frame(0x7D, {1})), frame(0x7D, {1}));
    ASSERT_EQ(term.exchange(frame(0x5A, {4, 100, 0, 0, 7, 1, 0, 4, 0, 4, 0, 0}))[1], 0x5A);
    ASSERT_EQ(term.exchange(frame(0x5A, {7, 0, 0, 0, 4, 0, 0, 4, 0xDE, 0xAD, 0xBE, 0xEF}))[1],
              0x5A);
    EXPECT_FALSE(std::filesystem::exists(dir / "memory.bin"));
    ASSERT_EQ(term.exchange(frame(0x5A, {10})), frame(0x5A, {10}));

    // The dump is written before the reply goes out.
    const std::string image = slurp(dir / "memory.bin");
    ASSERT_EQ(image.size(), 3u * 0x80000u);
    EXPECT_EQ(image.substr(0, 4), "\xDE\xAD\xBE\xEF");
    EXPECT_NE(slurp(dir / "index.txt").find("\n1 0 1 4 0x00040000 4\n"), std::string::npos);

    std::filesystem::remove_all(dir);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "memory.bin")) << "written again at exit";
    std::filesystem::remove_all(dir);
}

TEST(DexioSimProgram, ADumpDirThatIsAFileIsRefusedAtTheStart) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("dexio-sim-dump-file-" + std::to_string(::getpid()));
    { std::ofstream(file) << "x"; }
    SimProcess sim;
    EXPECT_EQ(sim.start({"--dump-dir", file.string()}), "");
    EXPECT_EQ(sim.wait(), 2);
    std::filesystem::remove(file);
}

TEST(DexioSimProgram, ADumpThatCannotBeWrittenAtExitIsTheExitStatus) {
    // A folder below a regular file can never be made.
    const auto file = std::filesystem::temp_directory_path() /
                      ("dexio-sim-dump-parent-" + std::to_string(::getpid()));
    { std::ofstream(file) << "x"; }
    SimProcess sim;
    ASSERT_NE(sim.start({"--dump-dir", (file / "dump").string()}), "");
    EXPECT_EQ(sim.stop(SIGTERM), 1);
    std::filesystem::remove(file);
}

TEST(DexioSimProgram, BadOptionEndsWithoutATerminal) {
    SimProcess sim;
    EXPECT_EQ(sim.start({"--drop", "2"}), "");
    EXPECT_EQ(sim.wait(), 2);
}

}  // namespace
