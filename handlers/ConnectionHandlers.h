#pragma once
// The Connect and Disconnect buttons of the main window and PortProcess, without widgets:
// they open the port, run the connect and disconnect sequences and switch the controls of
// the connection state through MainControls. The window and tabsend-cli both use them.

#include <cstdint>
#include <string>

#include "download/DownloadSeams.h"
#include "download/ModuleMain.h"
#include "link/ModBusCall.h"
#include "link/PortControl.h"
#include "shell/Messages.h"
#include "shell/Seams.h"
#include "shell/SharedState.h"

namespace tabsend {

// The controls of the main window whose state follows the connection.
class MainControls {
  public:
    enum Control : std::uint8_t {
        PortOpenbtn,  // Connect
        PortClose,    // Disconnect
        Downloadbtn,
        CompareBtn,  // Read
    };
    virtual ~MainControls() = default;
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual void setOperationsVisible(bool visible) = 0;  // Operation1..Operation3
    // The combo boxes' model (PortControl::combos) changed: show it.
    virtual void combosChanged() = 0;
};

class ConnectionHandlers : public PortOpener {
  public:
    // All references must outlive the object.
    ConnectionHandlers(SharedState& state, PortControl& port, ModbusLink& link, ModuleMain& main,
                       MessageSink& messages, const Messages& texts, MainControls& controls);

    Flag16 ConnectIs = kFalse;  // the last connect succeeded and no disconnect since

    // The Connect button, with the mode selected in PortControl::SelectedMode.
    void PortOpenbtn_Click();
    // The Disconnect button; also the download's way out after a timeout.
    void PortClose_Click();
    // Controls for the connection state given by PortOpen and ConnectIs.
    void PortProcess();

    // Connected: port open at the download speed and the unit answered.
    bool Connected() const { return isTrue(port_.PortOpen) && isTrue(ConnectIs); }

    // What the last Connect ended with, for callers that report more than the window does.
    enum class ConnectOutcome { None, Connected, CannotOpenPort, NoAnswer, LostDownloadSpeed };
    ConnectOutcome lastConnect() const { return lastConnect_; }

    // ---- PortOpener, for the connect sequence ----
    bool OpenPort(std::uint8_t comm_para_item) override;
    bool Download_Port_Open_57600() override;
    bool PortOpen() const override { return isTrue(port_.PortOpen); }
    std::string CurrentSettings() const override { return port_.CurrentSettings; }
    bool AutoMode() const override { return isTrue(port_.AutoMode); }

  private:
    // The combos as the selected mode shows them.
    void showModeCombos();
    // Connect enabled; Disconnect and Download disabled; combos as the mode.
    void showConnectable();
    // As after Disconnect: connectable, the port list enabled, Read disabled, the
    // Operation boxes hidden.
    void showDisconnected();
    // After an open: true when the port is open, and then the link may send again.
    bool portReopened();
    // "Can not open COM port!" and, on a second line, the port's path and the reason.
    std::string cannotOpenText() const;

    SharedState& state_;
    PortControl& port_;
    ModbusLink& link_;
    ModuleMain& main_;
    MessageSink& messages_;
    const Messages& texts_;
    MainControls& controls_;
    ConnectOutcome lastConnect_ = ConnectOutcome::None;
};

}  // namespace tabsend
