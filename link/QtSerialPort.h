#pragma once
// The serial port of the link on a real line, or on a pseudo-terminal standing in for one,
// built on QSerialPort. It lives on the user-interface thread and moves bytes while that
// thread runs its event loop: received bytes are collected on each yield (EventPump), and
// output is handed to the operating system at once where it can take it and otherwise as
// soon as it can during the following yields.
//
// Needs a QCoreApplication (or QApplication) on the thread that uses it.

#include <memory>
#include <string>

#include "link/SerialPort.h"

namespace tabsend {

class QtSerialPort final : public SerialPort {
  public:
    QtSerialPort();
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    // Takes the settings text ("57600,e,8,1", parity letter n/e/o/m/s in either case) and
    // applies baud rate, parity, data bits, stop bits and no flow control before the device
    // is opened; waiting input is discarded once it is open. Failures:
    //   BadSettings       the text is malformed or the device refuses the settings;
    //   DeviceNotFound    no such device;
    //   PortBusy          another program holds the port (lock file or exclusive use);
    //   PermissionDenied  this user may not use the device;
    //   PortAlreadyOpen   this port is open already (close it first);
    //   Other             anything else, with the platform's words.
    // A pseudo-terminal has no parity: it drops the parity bit silently and opens.
    CommError open(const std::string& device, const std::string& settings) override;
    void close() override;
    bool isOpen() const override;
    // The settings text of the last successful open, as it was given.
    std::string settings() const override;

    int inBufferCount() override;
    void discardInput() override;
    void discardOutput() override;
    std::vector<std::uint8_t> input() override;
    CommError output(std::span<const std::uint8_t> bytes) override;
    // layerOutputCount() + driverOutputCount(): bytes not yet on the wire.
    int outBufferCount() override;
    // A failure of the open line (read, write or resource error: the device vanished, the
    // other side of a pseudo-terminal closed) closes the port at once and is kept here.
    CommError takeError() override;

    // The device of the last successful open, as it was given.
    std::string device() const;
    // Bytes written to this layer and not yet taken by the operating system.
    int layerOutputCount() const;
    // Bytes the operating system holds for the line and has not sent yet (Linux TIOCOUTQ,
    // Windows cbOutQue); 0 when the port is closed or the driver cannot tell.
    int driverOutputCount() const;

    // The modem control lines. A line the device cannot set (a pseudo-terminal has none)
    // gives false and is never an error of the port.
    bool setDataTerminalReady(bool on);
    bool setRequestToSend(bool on);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabsend
