#include "handlers/ConnectionHandlers.h"

namespace tabsend {

ConnectionHandlers::ConnectionHandlers(SharedState& state, PortControl& port, ModbusLink& link,
                                       ModuleMain& main, MessageSink& messages,
                                       const Messages& texts, MainControls& controls)
    : state_(state),
      port_(port),
      link_(link),
      main_(main),
      messages_(messages),
      texts_(texts),
      controls_(controls) {}

bool ConnectionHandlers::OpenPort(std::uint8_t comm_para_item) {
    port_.OpenPort(comm_para_item);
    return portReopened();
}

bool ConnectionHandlers::Download_Port_Open_57600() {
    port_.Download_Port_Open_57600();
    return portReopened();
}

std::string ConnectionHandlers::cannotOpenText() const {
    // The system's text first, as it is; the port's path and the reason on a line of their own.
    const std::string& why = port_.lastOpenError().description;
    return why.empty() ? texts_.MsgCannotOpenPort : texts_.MsgCannotOpenPort + "\n" + why;
}

bool ConnectionHandlers::portReopened() {
    if (!isTrue(port_.PortOpen)) return false;
    // A line lost on the port before is there again: the link may send once more.
    link_.driver.LineRestored();
    return true;
}

void ConnectionHandlers::showModeCombos() {
    port_.ApplySelectedMode();
    controls_.combosChanged();
}

void ConnectionHandlers::showConnectable() {
    controls_.setEnabled(MainControls::PortOpenbtn, true);
    controls_.setEnabled(MainControls::PortClose, false);
    controls_.setEnabled(MainControls::Downloadbtn, false);
    showModeCombos();
}

void ConnectionHandlers::showDisconnected() {
    port_.combos.enabled[0] = true;
    showConnectable();
    controls_.setEnabled(MainControls::CompareBtn, false);
    controls_.setOperationsVisible(false);
}

void ConnectionHandlers::PortOpenbtn_Click() {
    if (isTrue(state_.CommBusy)) return;
    port_.AutoMode = toFlag(port_.SelectedMode == 0);
    port_.OpenPort(1);
    if (isTrue(port_.PortOpen)) {
        link_.master.MasterInit();
        controls_.setEnabled(MainControls::PortOpenbtn, false);
        if (isTrue(main_.DeviceConnect(*this))) {
            ConnectIs = kTrue;
            PortProcess();
            port_.ClosePort();
            if (Download_Port_Open_57600()) {
                lastConnect_ = ConnectOutcome::Connected;
                return;
            }
            // The unit answered but the line cannot be moved to the download speed: say so
            // and fall back to the not-connected state instead of showing "connected" over
            // a closed port.
            lastConnect_ = ConnectOutcome::LostDownloadSpeed;
            ConnectIs = kFalse;
            messages_.showMessage(cannotOpenText());
            showDisconnected();
        } else {
            lastConnect_ = ConnectOutcome::NoAnswer;
            ConnectIs = kFalse;
            PortProcess();
            port_.ClosePort();
        }
        return;
    }
    lastConnect_ = ConnectOutcome::CannotOpenPort;
    messages_.showMessage(cannotOpenText());
    showConnectable();
}

void ConnectionHandlers::PortProcess() {
    if (isTrue(port_.PortOpen) && isTrue(ConnectIs)) {
        controls_.setEnabled(MainControls::Downloadbtn, true);
        controls_.setEnabled(MainControls::PortOpenbtn, false);
        controls_.setEnabled(MainControls::PortClose, true);
        port_.combos.enabled.fill(false);
        controls_.combosChanged();
        controls_.setEnabled(MainControls::CompareBtn, true);
        controls_.setOperationsVisible(true);
        return;
    }
    messages_.showMessage(texts_.MsgCannotConnect);
    ConnectIs = kFalse;
    showConnectable();
}

void ConnectionHandlers::PortClose_Click() {
    if (isTrue(state_.CommBusy)) return;
    controls_.setEnabled(MainControls::Downloadbtn, false);
    controls_.setEnabled(MainControls::PortClose, false);
    main_.DeviceDisconnect();
    controls_.setEnabled(MainControls::PortClose, true);
    ConnectIs = kFalse;
    port_.ClosePort();
    if (isTrue(port_.PortOpen)) return;
    showDisconnected();
}

}  // namespace tabsend
