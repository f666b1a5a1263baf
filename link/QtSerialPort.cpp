#include "link/QtSerialPort.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <optional>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <cstring>
#endif

namespace tabsend {

namespace {

int clampToInt(qint64 n) {
    return static_cast<int>(std::clamp<qint64>(n, 0, std::numeric_limits<int>::max()));
}

std::string text(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

QSerialPort::Parity toQt(Parity p) {
    switch (p) {
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::DataBits dataBitsToQt(int bits) {
    switch (bits) {
        case 5:
            return QSerialPort::Data5;
        case 6:
            return QSerialPort::Data6;
        case 7:
            return QSerialPort::Data7;
        default:
            return QSerialPort::Data8;
    }
}

#ifndef Q_OS_WIN
// Who holds the lock file QSerialPort keeps for a device ("LCK..pts_3" for /dev/pts/3 in
// the first lock folder that has one). pid 0 when no holder is known.
struct LockHolder {
    qint64 pid = 0;
    std::string app;
};

LockHolder lockHolder(const QString& device) {
    static const char* const folders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                          "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                          "/var/lock/lockdev", "/run/lock"};
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : folders) {
        const QString path = QString::fromLatin1(folder) + QLatin1String("/LCK..") + name;
        if (!QFileInfo::exists(path)) continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host, app;
        if (lock.getLockInfo(&pid, &host, &app) && pid > 0) return {pid, text(app)};
    }
    return {};
}
#endif

// A pseudo-terminal slave (/dev/pts/N), which has no parity bit.
bool isPseudoTerminal(const std::string& device) {
#ifdef Q_OS_LINUX
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned int kind = major(st.st_rdev);
    return kind >= 136 && kind <= 143;  // the Unix98 pty slaves
#else
    (void)device;
    return false;
#endif
}

// An open that QSerialPort refused with a permission error: another program holding the
// port and a user without rights on the device look alike to QSerialPort.
CommError permissionFailure(const std::string& device, const QString& qtText) {
#ifdef Q_OS_WIN
    // Windows answers "access denied" when another program has the port open.
    return {CommErrorNumber::PortBusy,
            "Port " + device + " is in use by another program (" + text(qtText) + ")"};
#else
    const QString lockRefused =
        QCoreApplication::translate("QSerialPort", "Permission error while locking the device");
    const QString noLockFolder =
        QCoreApplication::translate("QSerialPort", "Permission error while creating lock file");
    const QString path = QString::fromStdString(device);
    if (qtText == noLockFolder) {
        return {CommErrorNumber::PermissionDenied,
                "No permission to create the lock file for port " + device +
                    " (no writable lock folder such as /var/lock or /run/lock)"};
    }
    if (qtText != lockRefused) {
        const QByteArray native = path.toLocal8Bit();
        if (::access(native.constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
            return {CommErrorNumber::PermissionDenied,
                    "No permission to use port " + device + " (" + text(qtText) + ")"};
        }
    }
    const LockHolder holder = lockHolder(path);
    if (holder.pid == QCoreApplication::applicationPid()) {
        return {CommErrorNumber::PortBusy, "Port " + device + " is already in use by this program"};
    }
    std::string message = "Port " + device + " is in use by another program";
    if (holder.pid > 0) {
        message += " (locked by process " + std::to_string(holder.pid);
        if (!holder.app.empty()) message += ", " + holder.app;
        message += ")";
    } else {
        message += " (" + text(qtText) + ")";
    }
    return {CommErrorNumber::PortBusy, message};
#endif
}

CommError openFailure(QSerialPort::SerialPortError error, const QString& qtText,
                      const std::string& device, const std::string& settings) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return {CommErrorNumber::DeviceNotFound,
                    "Port " + device + " does not exist (" + text(qtText) + ")"};
        case QSerialPort::PermissionError:
            return permissionFailure(device, qtText);
        case QSerialPort::OpenError:
            return {CommErrorNumber::PortAlreadyOpen, "The port is already open"};
        case QSerialPort::UnsupportedOperationError:
#ifndef Q_OS_WIN
            // The line settings cannot even be read: the device is no serial port.
            if (qtText == QString::fromLocal8Bit(std::strerror(ENOTTY))) {
                return {CommErrorNumber::Other,
                        "Port " + device + " is not a serial device (" + text(qtText) + ")"};
            }
#endif
            return {CommErrorNumber::BadSettings, "Port " + device +
                                                      " does not accept the line settings \"" +
                                                      settings + "\" (" + text(qtText) + ")"};
        default:
            break;
    }
    return {CommErrorNumber::Other, "Cannot open port " + device + " (" + text(qtText) + ")"};
}

// What a path that cannot be a serial port is, said before any open is tried: nothing for
// a character device (or where the system cannot tell).
std::optional<CommError> notASerialDevice(const std::string& device) {
#ifdef Q_OS_WIN
    (void)device;
    return std::nullopt;
#else
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return CommError{CommErrorNumber::DeviceNotFound,
                             "Port " + device + " does not exist (" + std::strerror(errno) + ")"};
        }
        return std::nullopt;  // QSerialPort says why
    }
    const char* what = nullptr;
    if (S_ISDIR(st.st_mode)) what = "a directory";
    if (S_ISREG(st.st_mode)) what = "a regular file";
    if (S_ISFIFO(st.st_mode)) what = "a FIFO";
    if (S_ISSOCK(st.st_mode)) what = "a socket";
    if (S_ISBLK(st.st_mode)) what = "a block device";
    if (what == nullptr) return std::nullopt;
    return CommError{CommErrorNumber::Other,
                     "Port " + device + " is " + what + ", not a serial device"};
#endif
}

// After a refused open: a character device that is no terminal at all (/dev/null,
// /dev/urandom) is not a serial port, whatever the settings.
bool isNonTerminalCharDevice(const std::string& device) {
#ifdef Q_OS_WIN
    (void)device;
    return false;
#else
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return !terminal;
#endif
}

}  // namespace

struct QtSerialPort::Impl {
    QSerialPort port;
    std::string device;
    std::string settings;
    CommError pending;
    // Above 0 while a call answers the port's errors itself (open, the modem lines, the
    // discards): errorOccurred then records nothing.
    int quiet = 0;
    // Set while output() hands bytes to the system: a failure then is a write failure.
    bool writing = false;

    void onError(QSerialPort::SerialPortError error);
    void record(CommError e) {
        if (pending.ok()) pending = std::move(e);
    }
    // Hands waiting output to the operating system now, as far as it takes it without
    // waiting. Skipped when the system's queue is full: the event loop goes on later.
    void pushToSystem();
};

void QtSerialPort::Impl::onError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || quiet > 0) return;
    const std::string why = text(port.errorString());
    switch (error) {
        case QSerialPort::ReadError:
        case QSerialPort::ResourceError:
        case QSerialPort::WriteError: {
            // The line is gone. Left open, the port would report the same error again on
            // every pass of the event loop and keep a core busy; so it closes here.
            const bool onWrite = writing || error == QSerialPort::WriteError;
            // A read error is mostly a hang-up (the read gave nothing), where the system's
            // last error text belongs to something else: it is left out then.
            const std::string detail =
                error == QSerialPort::ReadError ? std::string() : " (" + why + ")";
            record({onWrite ? CommErrorNumber::WriteFailed : CommErrorNumber::ReadFailed,
                    "The line on port " + device + " was lost and the port was closed" + detail});
            ++quiet;
            port.close();
            --quiet;
            break;
        }
        case QSerialPort::TimeoutError:
            break;  // only the blocking waits give it
        default:
            record({CommErrorNumber::Other, "Port " + device + ": " + why});
            port.clearError();
            break;
    }
}

void QtSerialPort::Impl::pushToSystem() {
    if (!port.isOpen() || port.bytesToWrite() == 0) return;
#ifdef Q_OS_WIN
    port.flush();
#else
    pollfd p{};
    p.fd = port.handle();
    p.events = POLLOUT;
    if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLOUT | POLLERR | POLLHUP)) != 0) port.flush();
#endif
}

QtSerialPort::QtSerialPort() : impl_(std::make_unique<Impl>()) {
    QObject::connect(&impl_->port, &QSerialPort::errorOccurred, &impl_->port,
                     [impl = impl_.get()](QSerialPort::SerialPortError e) { impl->onError(e); });
}

QtSerialPort::~QtSerialPort() {
    ++impl_->quiet;
    if (impl_->port.isOpen()) impl_->port.close();
}

CommError QtSerialPort::open(const std::string& device, const std::string& settings) {
    Impl& d = *impl_;
    if (d.port.isOpen()) {
        return {CommErrorNumber::PortAlreadyOpen, "Port " + d.device + " is already open"};
    }
    const auto line = parseLineSettings(settings);
    if (!line) {
        return {CommErrorNumber::BadSettings,
                "The line settings \"" + settings + "\" are not valid (baud,parity,data,stop)"};
    }
    if (device.empty()) return {CommErrorNumber::DeviceNotFound, "No port given"};
    if (auto refused = notASerialDevice(device)) return *refused;

    // All line settings go in before the device opens: QSerialPort applies them in one go
    // at open, and a pseudo-terminal (which has no parity) then drops the parity bit
    // silently; set on an open pseudo-terminal, even parity is refused.
    d.port.setPortName(QString::fromStdString(device));
    d.port.setBaudRate(line->baud);
    d.port.setDataBits(dataBitsToQt(line->dataBits));
    d.port.setParity(toQt(line->parity));
    d.port.setStopBits(line->stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    d.port.setFlowControl(QSerialPort::NoFlowControl);

    ++d.quiet;
    bool opened = d.port.open(QIODevice::ReadWrite);
    if (!opened && d.port.error() == QSerialPort::UnsupportedOperationError &&
        line->parity != Parity::None && isPseudoTerminal(device)) {
        // The pseudo-terminal drops the parity bit, and the C library reports that as
        // "Invalid argument" when the request changes nothing else (the terminal was left
        // at these very settings by a program that ended without closing it). Without
        // parity the terminal is set exactly the same.
        d.port.clearError();
        d.port.setParity(QSerialPort::NoParity);
        opened = d.port.open(QIODevice::ReadWrite);
    }
    CommError result;
    if (opened) {
        d.port.clear(QSerialPort::Input);  // stale input from before the open
    } else {
        result = openFailure(d.port.error(), d.port.errorString(), device, settings);
        if (result.number == CommErrorNumber::BadSettings && isNonTerminalCharDevice(device)) {
            result = {CommErrorNumber::Other,
                      "Port " + device +
                          " is a character device that is no terminal, not a "
                          "serial device (" +
                          text(d.port.errorString()) + ")"};
        }
    }
    d.port.clearError();
    --d.quiet;
    if (!opened) return result;

    d.device = device;
    d.settings = settings;
    d.pending = {};
    return {};
}

void QtSerialPort::close() {
    ++impl_->quiet;
    if (impl_->port.isOpen()) impl_->port.close();
    impl_->port.clearError();
    --impl_->quiet;
}

bool QtSerialPort::isOpen() const {
    return impl_->port.isOpen();
}

std::string QtSerialPort::settings() const {
    return impl_->settings;
}

std::string QtSerialPort::device() const {
    return impl_->device;
}

int QtSerialPort::inBufferCount() {
    Impl& d = *impl_;
    if (!d.port.isOpen()) return 0;
#ifndef Q_OS_WIN
    // Bytes the system already holds count as waiting too, as they do with a serial
    // driver's own queue: they are taken in now rather than at the next pass of the event
    // loop. (On Windows the port reads ahead into its own buffer anyway.)
    int inSystem = 0;
    if (::ioctl(d.port.handle(), FIONREAD, &inSystem) == 0 && inSystem > 0) {
        d.port.waitForReadyRead(0);
        if (d.port.isOpen() && d.port.error() == QSerialPort::TimeoutError) d.port.clearError();
        if (!d.port.isOpen()) return 0;
    }
#endif
    return clampToInt(d.port.bytesAvailable());
}

void QtSerialPort::discardInput() {
    if (!impl_->port.isOpen()) return;
    ++impl_->quiet;
    impl_->port.clear(QSerialPort::Input);
    impl_->port.clearError();
    --impl_->quiet;
}

void QtSerialPort::discardOutput() {
    if (!impl_->port.isOpen()) return;
    ++impl_->quiet;
    impl_->port.clear(QSerialPort::Output);
    impl_->port.clearError();
    --impl_->quiet;
}

std::vector<std::uint8_t> QtSerialPort::input() {
    if (!impl_->port.isOpen()) return {};
    const QByteArray bytes = impl_->port.readAll();
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            reinterpret_cast<const std::uint8_t*>(bytes.constData()) + bytes.size()};
}

CommError QtSerialPort::output(std::span<const std::uint8_t> bytes) {
    Impl& d = *impl_;
    if (!d.port.isOpen()) return {CommErrorNumber::PortNotOpen, "The port is not open"};
    if (bytes.empty()) return {};
    const auto size = static_cast<qint64>(bytes.size());
    const qint64 taken = d.port.write(reinterpret_cast<const char*>(bytes.data()), size);
    if (taken != size) {
        return {CommErrorNumber::WriteFailed, "Port " + d.device + " did not take the output (" +
                                                  text(d.port.errorString()) + ")"};
    }
    d.writing = true;
    d.pushToSystem();
    d.writing = false;
    if (!d.port.isOpen()) return takeError();  // the write found the line gone
    return {};
}

int QtSerialPort::layerOutputCount() const {
    if (!impl_->port.isOpen()) return 0;
    return clampToInt(impl_->port.bytesToWrite());
}

int QtSerialPort::driverOutputCount() const {
    if (!impl_->port.isOpen()) return 0;
#if defined(Q_OS_WIN)
    COMSTAT status{};
    DWORD errors = 0;
    if (::ClearCommError(impl_->port.handle(), &errors, &status)) {
        return clampToInt(static_cast<qint64>(status.cbOutQue));
    }
    return 0;
#elif defined(TIOCOUTQ)
    int queued = 0;
    if (::ioctl(impl_->port.handle(), TIOCOUTQ, &queued) == 0) return std::max(queued, 0);
    return 0;
#else
    return 0;
#endif
}

int QtSerialPort::outBufferCount() {
    if (!impl_->port.isOpen()) return 0;
    const qint64 total =
        static_cast<qint64>(layerOutputCount()) + static_cast<qint64>(driverOutputCount());
    return clampToInt(total);
}

CommError QtSerialPort::takeError() {
    CommError e = std::move(impl_->pending);
    impl_->pending = {};
    return e;
}

bool QtSerialPort::setDataTerminalReady(bool on) {
    if (!impl_->port.isOpen()) return false;
    ++impl_->quiet;
    const bool done = impl_->port.setDataTerminalReady(on);
    impl_->port.clearError();
    --impl_->quiet;
    return done;
}

bool QtSerialPort::setRequestToSend(bool on) {
    if (!impl_->port.isOpen()) return false;
    ++impl_->quiet;
    const bool done = impl_->port.setRequestToSend(on);
    impl_->port.clearError();
    --impl_->quiet;
    return done;
}

}  // namespace tabsend
