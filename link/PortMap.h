#pragma once
// Which serial device stands behind each entry of the COM port list (Com1 to Com9), and
// how a port named on a command line is found.
//
// Windows: Com<n> is the device "COM<n>".
// Elsewhere: Com<n> is /dev/ttyS<n-1> (Com1 is /dev/ttyS0), so the list means the same
// ports on every run.
// On every platform the environment variable TABSEND_COM<n> (for example
// TABSEND_COM1=/dev/pts/7) names another device for Com<n>; an empty value is ignored.
// That lets a USB adapter (/dev/ttyUSB0) or a simulator's pseudo-terminal stand in.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tabsend {

class PortMap {
  public:
    enum class Naming { Windows, Posix };
    // Looks up one environment variable; nothing when it is not set.
    using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

    static constexpr int kFirstCom = 1;
    static constexpr int kLastCom = 9;

    // The naming of the platform built for, reading the process environment.
    PortMap();
    PortMap(Naming naming, EnvLookup env);

    // The device for list entry Com<comNumber> (the list position plus 1). A number outside
    // 1..9 gives the empty text, which no device answers to.
    std::string deviceFor(int comNumber) const;

    // What a user typed to name a port: "Com3", "COM3", "com3" (blanks around it allowed)
    // name the list entry and give its device; anything else ("/dev/pts/4", "COM12",
    // "/dev/ttyUSB0") is taken as the device itself, as typed.
    std::string deviceForArgument(std::string_view text) const;

    // The list number named by "Com<n>" in any letter case, n 1..9; nothing otherwise.
    static std::optional<int> comNumberOf(std::string_view text);
    // The variable that overrides Com<n>: "TABSEND_COM<n>".
    static std::string environmentVariable(int comNumber);
    static Naming hostNaming();

  private:
    Naming naming_;
    EnvLookup env_;
};

// The same as PortMap().deviceFor(n) and PortMap().deviceForArgument(text).
std::string comPortDevice(int comNumber);
std::string portDeviceFromArgument(std::string_view text);

}  // namespace tabsend
