#pragma once
// Port choice and line settings of the "COM Configuration" tab, and the routines that open,
// re-open and close the serial port with them. The combo boxes are held as a plain model
// that the window mirrors; nothing here touches a widget.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/SerialPort.h"
#include "shell/Seams.h"
#include "shell/SharedState.h"

namespace tabsend {

// The eight settings the Automatic mode tries, in order (comm_para_item 1..8).
inline constexpr std::array<std::string_view, 8> kAutoSettings = {
    "9600,e,8,1",  "9600,n,8,2",  "19200,e,8,1", "19200,n,8,2",
    "38400,e,8,1", "38400,n,8,2", "57600,e,8,1", "57600,n,8,2",
};

inline constexpr std::string_view kMsgComPortError8015 =
    "Internal COM port error(8015)!  Please re-connect the communication cable to the PC.";

// Settings text of the Manual mode from the texts of the baud, parity and data-bit lists.
// The stop bits follow from the parity: "1" for "Even", else "2". Gives the stop-bit text
// through `stopOut`. Example: ("9600", "None", "8") -> "9600,N,8,2".
std::string ManualSettingsText(const std::string& baud, const std::string& parity,
                               const std::string& dataBits, std::string* stopOut = nullptr);

// The five drop-down lists: selected texts and whether each is enabled.
struct CommCombos {
    static const std::vector<std::string>& PortItems();    // "Com1".."Com9"
    static const std::vector<std::string>& BaudItems();    // "9600", "19200"
    static const std::vector<std::string>& DataItems();    // "8"
    static const std::vector<std::string>& ParityItems();  // "Even", "None"
    static const std::vector<std::string>& StopItems();    // "1", "2"

    int Combo1 = 0;  // list position of the port, 0 = Com1
    std::string Combo2 = "19200";
    std::string Combo3 = "8";
    std::string Combo4 = "Even";
    std::string Combo5 = "1";                                          // hidden
    std::array<bool, 5> enabled = {true, false, false, false, false};  // Combo1..Combo5
};

class PortControl {
  public:
    // `deviceForPort` maps a port number 1..9 to the device to open.
    PortControl(SerialPort& port, MessageSink& messages,
                std::function<std::string(int)> deviceForPort);

    Flag16 PortOpen = kFalse;     // the tool holds the port open
    Flag16 AutoMode = kFalse;     // Automatic mode was selected at the last Connect
    std::string CurrentSettings;  // settings last applied by OpenPort
    CommCombos combos;
    // Selected configuration mode: 0 Automatic, 1 Manual (the option buttons SetModeOpt).
    int SelectedMode = 0;

    void InitCommCombos();
    void SetAutoMode();
    void SetManualMode();
    void SetModeOpt_Click(int Index);
    // Runs SetAutoMode or SetManualMode as the selected option says.
    void ApplySelectedMode();

    // Port number the Com list selects (1..9).
    int CommPort() const { return combos.Combo1 + 1; }

    // (Re)opens the port: Automatic with table entry comm_para_item (1..8), Manual with
    // the settings of the lists. Sets PortOpen; error 8015 shows its message.
    void OpenPort(std::uint8_t comm_para_item);
    void Download_Port_Open_57600();
    void Download_Port_Open_115200();
    void Download_Port_Open_38400();
    void ClosePort();

    // The error of the last opening that failed (for callers that report more).
    const CommError& lastOpenError() const { return lastError_; }

  private:
    // Baud, data bits, parity and stop bits lists back at 19200, 8, Even, 1.
    void showStartSettings();
    void reopenAt(const std::string& settings);
    bool openWith(const std::string& settings);

    SerialPort& port_;
    MessageSink& messages_;
    std::function<std::string(int)> deviceForPort_;
    std::string appliedSettings_ = "9600,n,8,1";  // what a fresh serial component holds
    CommError lastError_;
};

}  // namespace tabsend
