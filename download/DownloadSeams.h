#pragma once
// What the download, the connect sequence and the read-back need from the program around
// them: the INI reader, the main window's controls, the port routines and the slot
// display of the "DEXIO" frame. The main window and the command-line tool implement these.

#include <cstdint>
#include <functional>
#include <string>

namespace tabsend {

// Reads one value by section and key from an INI file: "" for a missing file, section or
// key.
using IniValueReader = std::function<std::string(const std::string& section, const std::string& key,
                                                 const std::string& file)>;

// The language name for a language code; a code without a name gives its decimal digits.
using LanguageNamer = std::function<std::string(std::int32_t code)>;

// The main window's side of a download and of the Read and Operation handlers.
class DownloadHost {
  public:
    virtual ~DownloadHost() = default;
    // Locks (false) or unlocks (true) Reset, Compile, Clear, Select, Restore, Disconnect and
    // Read, and hides (false) or shows (true) the three Operation check boxes.
    virtual void SetControlsEnabled(bool enabled) = 0;
    // Sets the controls for the connection state (shows "Can not establish the connection!"
    // when the port or the connection is down).
    virtual void PortProcess() = 0;
    // The Disconnect action.
    virtual void PortClose_Click() = 0;
    virtual void setCompareEnabled(bool enabled) = 0;     // CompareBtn ("Read")
    virtual void setDownloadEnabled(bool enabled) = 0;    // Downloadbtn
    virtual void setDisconnectEnabled(bool enabled) = 0;  // PortClose
};

// The port routines the connect sequence drives.
class PortOpener {
  public:
    virtual ~PortOpener() = default;
    // Re-opens the port with table entry comm_para_item (Automatic) or the user's settings
    // (Manual), updating CurrentSettings. Gives PortOpen afterwards.
    virtual bool OpenPort(std::uint8_t comm_para_item) = 0;
    // Re-opens the port at 57600,e,8,1; CurrentSettings is left as it was. Gives PortOpen.
    virtual bool Download_Port_Open_57600() = 0;
    virtual bool PortOpen() const = 0;
    virtual std::string CurrentSettings() const = 0;
    virtual bool AutoMode() const = 0;
};

// The per-slot controls of the "DEXIO" frame (slot 1..3).
class SlotDisplay {
  public:
    virtual ~SlotDisplay() = default;
    virtual void setVersionText(int slot, const std::string& text) = 0;   // Lan[n]Ver
    virtual void setLanguageText(int slot, const std::string& text) = 0;  // Lan[n]Code
    virtual void setOperationEnabled(int slot, bool enabled) = 0;         // Operation[n]
    // Sets the Operation box's value. Like the check box itself, a change of value raises
    // the box's Click handler at once (the window calls ModuleMain::Operation_Click).
    virtual void setOperationValue(int slot, bool ticked) = 0;
    virtual void setStatusColor(int slot, std::uint32_t bgr) = 0;  // Lan[n]StaColor, 0x00BBGGRR
};

}  // namespace tabsend
