#pragma once
// The serial component as the link uses it (what MSComm1 offers): open a device with a
// settings text, count/read/discard waiting input, write output, count unsent output.
// Implementations: QtSerialPort (real lines, pseudo-terminals) and the fake line of the tests.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tabsend {

// Error numbers of the serial layer. 8015 is the number the system singles out: line
// settings that the port does not accept.
enum class CommErrorNumber : int {
    None = 0,
    PortNotOpen = 8018,
    PortAlreadyOpen = 8005,
    DeviceNotFound = 8002,
    PortBusy = 8010,  // in use by another program
    PermissionDenied = 8011,
    BadSettings = 8015,  // settings refused
    ReadFailed = 8020,
    WriteFailed = 8021,
    Other = 8099,
};

struct CommError {
    CommErrorNumber number = CommErrorNumber::None;
    std::string description;  // the layer's own words
    bool ok() const { return number == CommErrorNumber::None; }
};

enum class Parity : std::uint8_t { None, Even, Odd, Mark, Space };

// One line setting as the settings text "57600,e,8,1" names it.
struct LineSettings {
    int baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;
    bool operator==(const LineSettings&) const = default;
};

// Parses "baud,parity,data,stop" (parity letter n/e/o/m/s in either case, blanks around
// each field allowed). Gives nothing for a malformed text.
std::optional<LineSettings> parseLineSettings(std::string_view text);
// Formats as "57600,e,8,1" (parity letter lower case).
std::string formatLineSettings(const LineSettings& s);
// The text without blanks (spaces, tabs, line ends) at either end.
std::string_view trimBlanks(std::string_view text);
// Bits per character on the wire: start + data + parity + stop.
int bitsPerCharacter(const LineSettings& s);

class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Applies the settings text, then opens the device (a path such as /dev/ttyS0,
    // /dev/pts/3 or COM3). A settings text the layer or device refuses gives BadSettings.
    virtual CommError open(const std::string& device, const std::string& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The settings text in force, as applied at open.
    virtual std::string settings() const = 0;

    // Bytes received and waiting (InBufferCount read).
    virtual int inBufferCount() = 0;
    // Discards waiting input (InBufferCount = 0).
    virtual void discardInput() = 0;
    // Discards output not yet sent (OutBufferCount = 0).
    virtual void discardOutput() = 0;
    // Takes all waiting bytes (Input).
    virtual std::vector<std::uint8_t> input() = 0;
    // Queues bytes for transmission (Output).
    virtual CommError output(std::span<const std::uint8_t> bytes) = 0;
    // Bytes not yet on the wire: the layer's buffer plus the driver's queue (OutBufferCount).
    virtual int outBufferCount() = 0;
    // The error the port went into since the last call (e.g. the device vanished);
    // cleared by the call.
    virtual CommError takeError() = 0;
};

}  // namespace tabsend
