// QtSerialPort on pseudo-terminals: the test holds the master side and plays the device.
#include "link/QtSerialPort.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "link/ModBusDll.h"
#include "link/QtEventPump.h"
#include "tests/link/qt/PtyPair.h"

namespace tabsend {
namespace {

using Bytes = std::vector<std::uint8_t>;
using qttest::PtyPair;

constexpr std::uint8_t kUnit = 0x21;
constexpr std::uint8_t kConnectCode = 0x7E;

// Yields until `done` holds, at most `maxYields` times; gives the number of yields used.
template <class Pred>
int yieldUntil(EventPump& pump, Pred done, int maxYields) {
    int n = 0;
    while (!done() && n < maxYields) {
        pump.yieldOnce();
        ++n;
    }
    return n;
}

class QtSerialPortOnPty : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()) << "no pseudo-terminal available"; }

    PtyPair pty;
    QtEventPump pump;
};

// The connect request as the link frames it, and the device's answer.
TEST_F(QtSerialPortOnPty, ConnectExchangeGoesBothWays) {
    const Bytes request = buildFrame(kUnit, kConnectCode, Bytes{0x01});
    ASSERT_EQ(request, (Bytes{0x21, 0x7E, 0x01, 0xC1, 0xAA}));
    const Bytes reply = buildFrame(kUnit, kConnectCode, Bytes{0x02});

    QtSerialPort port;
    const CommError opened = port.open(pty.slavePath(), "57600,e,8,1");
    ASSERT_TRUE(opened.ok()) << opened.description;
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.settings(), "57600,e,8,1");
    EXPECT_EQ(port.device(), pty.slavePath());

    // The device answers from its own thread, while the port sleeps in the event loop.
    Bytes seen;
    std::thread device([&] {
        seen = pty.read(request.size(), 3000);
        if (seen == request) pty.write(reply);
    });

    const CommError sent = port.output(request);
    ASSERT_TRUE(sent.ok()) << sent.description;
    yieldUntil(
        pump, [&] { return port.outBufferCount() == 0; }, 300);
    EXPECT_EQ(port.outBufferCount(), 0);
    yieldUntil(
        pump, [&] { return port.inBufferCount() >= static_cast<int>(reply.size()); }, 300);
    device.join();

    EXPECT_EQ(seen, request);
    EXPECT_EQ(port.inBufferCount(), static_cast<int>(reply.size()));
    EXPECT_EQ(port.input(), reply);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.takeError().ok());
}

// What the settings text does to the line, seen from the master side. A pseudo-terminal
// keeps the baud rate and the stop bits it is given, but has no parity and always 8 data
// bits: the even parity of "…,e,8,1" is dropped (PARENB never shows) and CSIZE reads CS8
// whatever was asked, so only the stop bits tell "…,e,8,1" from "…,n,8,2" there.
struct LineCase {
    const char* settings;
    speed_t speed;
    bool twoStopBits;
};

class SettingsOnTheLine : public QtSerialPortOnPty,
                          public ::testing::WithParamInterface<LineCase> {};

TEST_P(SettingsOnTheLine, ReachTheLine) {
    const LineCase& c = GetParam();
    QtSerialPort port;
    const CommError opened = port.open(pty.slavePath(), c.settings);
    ASSERT_TRUE(opened.ok()) << opened.description;
    EXPECT_EQ(port.settings(), c.settings);

    const termios tio = pty.slaveTermios();
    EXPECT_EQ(cfgetospeed(&tio), c.speed);
    EXPECT_EQ(cfgetispeed(&tio), c.speed);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStopBits);
    // No flow control, and raw bytes.
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    QtSerialPort, SettingsOnTheLine,
    ::testing::Values(LineCase{"57600,e,8,1", B57600, false}, LineCase{"19200,n,8,2", B19200, true},
                      LineCase{"9600,E,8,1", B9600, false}, LineCase{"9600,N,8,2", B9600, true},
                      LineCase{"38400,e,8,1", B38400, false}, LineCase{"38400,n,8,2", B38400, true},
                      LineCase{"115200,e,8,1", B115200, false},
                      LineCase{" 19200 , n , 7 , 2 ", B19200, true}));

TEST_F(QtSerialPortOnPty, ReopenAppliesTheNewSettings) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "9600,n,8,2").ok());
    const termios before = pty.slaveTermios();
    EXPECT_EQ(cfgetospeed(&before), B9600);
    // Open while open is refused and changes nothing.
    const CommError again = port.open(pty.slavePath(), "57600,e,8,1");
    EXPECT_EQ(again.number, CommErrorNumber::PortAlreadyOpen);
    EXPECT_EQ(port.settings(), "9600,n,8,2");
    port.close();
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    const termios tio = pty.slaveTermios();
    EXPECT_EQ(cfgetospeed(&tio), B57600);
    EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(port.settings(), "57600,e,8,1");
}

class MalformedSettings : public QtSerialPortOnPty,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(MalformedSettings, GiveError8015AndLeaveThePortClosed) {
    QtSerialPort port;
    const CommError e = port.open(pty.slavePath(), GetParam());
    EXPECT_EQ(e.number, CommErrorNumber::BadSettings);
    EXPECT_EQ(static_cast<int>(e.number), 8015);
    EXPECT_FALSE(e.description.empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.settings(), "");
    // The device was not opened: a second port gets it at once.
    QtSerialPort other;
    EXPECT_TRUE(other.open(pty.slavePath(), "9600,e,8,1").ok());
}

INSTANTIATE_TEST_SUITE_P(QtSerialPort, MalformedSettings,
                         ::testing::Values("", "57600", "57600,e,8", "57600,x,8,1", "57600,e,9,1",
                                           "57600,e,8,3", "0,e,8,1", "-9600,e,8,1", "fast,e,8,1",
                                           "57600,e,8,1,1", "57600,ee,8,1"));

TEST_F(QtSerialPortOnPty, MissingDeviceIsNotFound) {
    QtSerialPort port;
    const CommError e = port.open("/dev/tabsend-no-such-port", "57600,e,8,1");
    EXPECT_EQ(e.number, CommErrorNumber::DeviceNotFound) << e.description;
    EXPECT_NE(e.description.find("/dev/tabsend-no-such-port"), std::string::npos);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.open("", "57600,e,8,1").number, CommErrorNumber::DeviceNotFound);
}

// A device that is no serial port is refused, and not as a matter of line settings.
TEST_F(QtSerialPortOnPty, DeviceWithoutLineSettingsIsNoSerialPort) {
    QtSerialPort port;
    const CommError e = port.open("/dev/null", "57600,e,8,1");
    EXPECT_FALSE(e.ok());
    EXPECT_NE(e.number, CommErrorNumber::BadSettings) << e.description;
    EXPECT_FALSE(port.isOpen());
}

// Every kind of path that is no serial port is refused with its path and what it is, never
// as refused line settings (which would ask the user to re-connect the cable).
TEST_F(QtSerialPortOnPty, PathsThatAreNoSerialPortSayWhatTheyAre) {
    const std::string dir =
        ::testing::TempDir() + "tabsend-port-kinds-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/plain";
    { std::ofstream(file) << "x"; }
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        CommErrorNumber number;
        std::string says;
    };
    const Case cases[] = {
        {dir + "/missing", CommErrorNumber::DeviceNotFound, "does not exist"},
        {dir, CommErrorNumber::Other, "is a directory, not a serial device"},
        {file, CommErrorNumber::Other, "is a regular file, not a serial device"},
        {fifo, CommErrorNumber::Other, "is a FIFO, not a serial device"},
        {"/dev/null", CommErrorNumber::Other, "not a serial device"},
        {"/dev/urandom", CommErrorNumber::Other, "not a serial device"},
    };
    for (const Case& c : cases) {
        QtSerialPort port;
        const CommError e = port.open(c.path, "57600,e,8,1");
        EXPECT_EQ(e.number, c.number) << c.path << ": " << e.description;
        EXPECT_NE(e.description.find(c.path), std::string::npos) << e.description;
        EXPECT_NE(e.description.find(c.says), std::string::npos) << e.description;
        EXPECT_FALSE(port.isOpen());
    }
    std::filesystem::remove_all(dir);
}

TEST_F(QtSerialPortOnPty, SecondOpenOfTheSameDeviceIsBusy) {
    QtSerialPort first;
    ASSERT_TRUE(first.open(pty.slavePath(), "57600,e,8,1").ok());
    QtSerialPort second;
    const CommError e = second.open(pty.slavePath(), "57600,e,8,1");
    EXPECT_EQ(e.number, CommErrorNumber::PortBusy) << e.description;
    EXPECT_NE(e.description.find("in use"), std::string::npos) << e.description;
    EXPECT_FALSE(second.isOpen());
    EXPECT_TRUE(first.isOpen());
    // Released by the first, the device is free again.
    first.close();
    const CommError later = second.open(pty.slavePath(), "57600,e,8,1");
    EXPECT_TRUE(later.ok()) << later.description;
}

// The same seen from another program: the holder's process is named.
TEST_F(QtSerialPortOnPty, PortHeldByAnotherProgramIsBusy) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QtSerialPort holder;
        const char ok = holder.open(pty.slavePath(), "57600,e,8,1").ok() ? 'y' : 'n';
        if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
        char done = 0;
        if (::read(release[0], &done, 1) < 0) ::_exit(1);
        ::_exit(0);
    }
    char opened = 0;
    ASSERT_EQ(::read(ready[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y');
    QtSerialPort port;
    const CommError e = port.open(pty.slavePath(), "57600,e,8,1");
    const char done = 'x';
    EXPECT_EQ(::write(release[1], &done, 1), 1);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);

    EXPECT_EQ(e.number, CommErrorNumber::PortBusy) << e.description;
    EXPECT_NE(e.description.find("another program"), std::string::npos) << e.description;
    EXPECT_NE(e.description.find(std::to_string(child)), std::string::npos) << e.description;
    EXPECT_FALSE(port.isOpen());
    // The holder has ended: the lock it left behind is stale and the port opens.
    const CommError later = port.open(pty.slavePath(), "57600,e,8,1");
    EXPECT_TRUE(later.ok()) << later.description;
}

// A program that ends without closing leaves the pseudo-terminal at its settings; opening
// it again at the very same even-parity settings must still work.
TEST_F(QtSerialPortOnPty, PtyLeftOpenByAnEndedProgramOpensAgain) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QtSerialPort holder;
        ::_exit(holder.open(pty.slavePath(), "57600,e,8,1").ok() ? 0 : 1);  // no close
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    for (int round = 0; round < 2; ++round) {
        QtSerialPort port;
        const CommError e = port.open(pty.slavePath(), "57600,e,8,1");
        ASSERT_TRUE(e.ok()) << "round " << round << ": " << e.description;
        EXPECT_EQ(port.settings(), "57600,e,8,1");
        const termios tio = pty.slaveTermios();
        EXPECT_EQ(cfgetospeed(&tio), B57600);
        EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
        const Bytes request = buildFrame(kUnit, kConnectCode, Bytes{0x01});
        ASSERT_TRUE(port.output(request).ok());
        EXPECT_EQ(pty.read(request.size(), 2000), request);
    }
}

// A user without rights on the device is told so, not that the port is busy. As root the
// open runs in a child process that gives up root first.
TEST_F(QtSerialPortOnPty, DeviceWithoutRightsIsPermissionDenied) {
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), root ? 0600 : 0000), 0);
    auto attempt = [&] {
        QtSerialPort port;
        return port.open(pty.slavePath(), "57600,e,8,1");
    };
    if (!root) {
        const CommError e = attempt();
        EXPECT_EQ(e.number, CommErrorNumber::PermissionDenied) << e.description;
        return;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        const CommError e = attempt();
        ::_exit(e.number == CommErrorNumber::PermissionDenied ? 0
                : e.number == CommErrorNumber::PortBusy       ? 1
                                                              : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 100) << "could not give up root";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported busy, 2: another error";
}

// When the other side vanishes, the port closes itself on the first failed read instead of
// failing again on every pass of the event loop.
TEST_F(QtSerialPortOnPty, VanishedPeerClosesThePort) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    pty.closeMaster();
    const int yields = yieldUntil(
        pump, [&] { return !port.isOpen(); }, 100);
    EXPECT_FALSE(port.isOpen());
    std::printf("[ figures  ] port closed itself after %d yield(s)\n", yields);
    const CommError e = port.takeError();
    EXPECT_EQ(e.number, CommErrorNumber::ReadFailed) << e.description;
    EXPECT_FALSE(e.description.empty());
    EXPECT_TRUE(port.takeError().ok());  // reported once
    // What follows finds the port closed.
    EXPECT_EQ(port.output(Bytes{1, 2, 3}).number, CommErrorNumber::PortNotOpen);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_EQ(port.outBufferCount(), 0);
    EXPECT_TRUE(port.input().empty());
}

// A write into a line that has just vanished fails at once and closes the port too.
TEST_F(QtSerialPortOnPty, WriteIntoAVanishedLineFails) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    pty.closeMaster();
    const CommError sent = port.output(buildFrame(kUnit, kConnectCode, Bytes{0x01}));
    if (sent.ok()) {
        // The bytes were taken before the hang-up was seen: the next yields find it.
        yieldUntil(
            pump, [&] { return !port.isOpen(); }, 100);
        EXPECT_FALSE(port.takeError().ok());
    } else {
        EXPECT_EQ(sent.number, CommErrorNumber::WriteFailed) << sent.description;
    }
    EXPECT_FALSE(port.isOpen());
}

TEST_F(QtSerialPortOnPty, ErrorOfAnEarlierLineIsGoneAfterReopen) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    pty.closeMaster();
    yieldUntil(
        pump, [&] { return !port.isOpen(); }, 100);
    ASSERT_FALSE(port.isOpen());
    PtyPair fresh;
    ASSERT_TRUE(fresh.ok());
    ASSERT_TRUE(port.open(fresh.slavePath(), "57600,e,8,1").ok());
    EXPECT_TRUE(port.takeError().ok());
}

// 267 bytes: the largest request of the download (a bitmap block). Records how much of it
// the port still counts as unsent right after output() and after yields.
TEST_F(QtSerialPortOnPty, OutBufferCountOfAFullFrame) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    Bytes data(263);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes frame = buildFrame(kUnit, 0x5A, data);
    ASSERT_EQ(frame.size(), 267u);

    ASSERT_TRUE(port.output(frame).ok());
    const int layer = port.layerOutputCount();
    const int driver = port.driverOutputCount();
    const int total = port.outBufferCount();
    // output() hands the frame to the system at once: it is readable on the other side
    // before the program has yielded even once.
    EXPECT_EQ(pty.read(frame.size(), 2000), frame);
    const int yields = yieldUntil(
        pump, [&] { return port.outBufferCount() == 0; }, 300);
    EXPECT_EQ(port.outBufferCount(), 0);
    EXPECT_GE(total, 0);
    EXPECT_LE(total, 267);
    EXPECT_EQ(total, layer + driver);
    std::printf(
        "[ figures  ] 267-byte frame on a pty: right after output() layer=%d driver(TIOCOUTQ)=%d "
        "outBufferCount=%d; 0 after %d yield(s)\n",
        layer, driver, total, yields);
    RecordProperty("outBufferCountAfterOutput", total);
    RecordProperty("yieldsToEmpty", yields);
}

// Output the system cannot take yet (the other side reads nothing) stays counted, and the
// yields send it on as the other side takes it, in order and complete.
TEST_F(QtSerialPortOnPty, UnsentOutputStaysCountedUntilTheLineTakesIt) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    Bytes big(256 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    ASSERT_TRUE(port.output(big).ok());
    for (int i = 0; i < 5; ++i) pump.yieldOnce();
    const int stuck = port.outBufferCount();
    EXPECT_GT(stuck, 0);
    EXPECT_LT(stuck, static_cast<int>(big.size()) + 1);
    EXPECT_EQ(stuck, port.layerOutputCount() + port.driverOutputCount());
    std::printf("[ figures  ] 256 KiB written, nobody reading: %d bytes still counted (layer=%d)\n",
                stuck, port.layerOutputCount());

    Bytes received;
    int yields = 0;
    while ((port.outBufferCount() > 0 || received.size() < big.size()) && yields < 5000) {
        const Bytes got = pty.readWaiting();
        received.insert(received.end(), got.begin(), got.end());
        pump.yieldOnce();
        ++yields;
    }
    const Bytes rest = pty.read(big.size() - received.size(), 2000);
    received.insert(received.end(), rest.begin(), rest.end());
    EXPECT_EQ(port.outBufferCount(), 0);
    EXPECT_EQ(received.size(), big.size());
    EXPECT_TRUE(received == big);
    EXPECT_TRUE(port.takeError().ok());
}

TEST_F(QtSerialPortOnPty, DiscardInputDropsWhatCameIn) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    ASSERT_TRUE(pty.write(Bytes{1, 2, 3, 4}));
    yieldUntil(
        pump, [&] { return port.inBufferCount() == 4; }, 300);
    ASSERT_EQ(port.inBufferCount(), 4);
    port.discardInput();
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.input().empty());
    // What comes later is kept.
    ASSERT_TRUE(pty.write(Bytes{9}));
    yieldUntil(
        pump, [&] { return port.inBufferCount() == 1; }, 300);
    EXPECT_EQ(port.input(), Bytes{9});
    EXPECT_TRUE(port.takeError().ok());
}

// Bytes that have reached the system count as waiting at once, without a yield.
TEST_F(QtSerialPortOnPty, InBufferCountSeesBytesTheSystemHolds) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    ASSERT_TRUE(pty.write(Bytes{0x21, 0x7E, 0x02, 0x80, 0x6B}));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (port.inBufferCount() < 5 && std::chrono::steady_clock::now() < end) {
    }
    EXPECT_EQ(port.inBufferCount(), 5);
    EXPECT_EQ(port.input(), (Bytes{0x21, 0x7E, 0x02, 0x80, 0x6B}));
    EXPECT_TRUE(port.takeError().ok());
}

// Bytes the device sent before the port opened are not taken for a reply.
TEST_F(QtSerialPortOnPty, OpenStartsWithNoStaleInput) {
    {
        QtSerialPort earlier;
        ASSERT_TRUE(earlier.open(pty.slavePath(), "57600,e,8,1").ok());
        ASSERT_TRUE(pty.write(Bytes{0x55, 0x66}));
        earlier.close();
    }
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    for (int i = 0; i < 3; ++i) pump.yieldOnce();
    EXPECT_EQ(port.inBufferCount(), 0);
}

// A pseudo-terminal has no modem lines: setting them fails, and the port goes on.
TEST_F(QtSerialPortOnPty, ModemLinesThatCannotBeSetAreNotFatal) {
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), "57600,e,8,1").ok());
    const bool dtr = port.setDataTerminalReady(true);
    const bool rts = port.setRequestToSend(false);
    std::printf("[ figures  ] on a pty: DTR set %s, RTS set %s\n", dtr ? "ok" : "refused",
                rts ? "ok" : "refused");
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(port.takeError().ok());
    const Bytes request = buildFrame(kUnit, kConnectCode, Bytes{0x01});
    ASSERT_TRUE(port.output(request).ok());
    EXPECT_EQ(pty.read(request.size(), 2000), request);
}

TEST(QtSerialPortClosed, RefusesWorkAndCountsNothing) {
    QtSerialPort port;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.output(Bytes{1}).number, CommErrorNumber::PortNotOpen);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_EQ(port.outBufferCount(), 0);
    EXPECT_TRUE(port.input().empty());
    port.discardInput();
    port.discardOutput();
    port.close();
    EXPECT_FALSE(port.setDataTerminalReady(true));
    EXPECT_TRUE(port.takeError().ok());
}

}  // namespace
}  // namespace tabsend
