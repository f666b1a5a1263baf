#include "link/PortControl.h"

namespace tabsend {

std::string ManualSettingsText(const std::string& baud, const std::string& parity,
                               const std::string& dataBits, std::string* stopOut) {
    const std::string stop = parity == "Even" ? "1" : "2";
    if (stopOut) *stopOut = stop;
    std::string text = std::string(trimBlanks(baud)) + ",";
    if (!parity.empty()) text += parity.front();
    return text + "," + std::string(trimBlanks(dataBits)) + "," + stop;
}

const std::vector<std::string>& CommCombos::PortItems() {
    static const std::vector<std::string> items = {"Com1", "Com2", "Com3", "Com4", "Com5",
                                                   "Com6", "Com7", "Com8", "Com9"};
    return items;
}
const std::vector<std::string>& CommCombos::BaudItems() {
    static const std::vector<std::string> items = {"9600", "19200"};
    return items;
}
const std::vector<std::string>& CommCombos::DataItems() {
    static const std::vector<std::string> items = {"8"};
    return items;
}
const std::vector<std::string>& CommCombos::ParityItems() {
    static const std::vector<std::string> items = {"Even", "None"};
    return items;
}
const std::vector<std::string>& CommCombos::StopItems() {
    static const std::vector<std::string> items = {"1", "2"};
    return items;
}

PortControl::PortControl(SerialPort& port, MessageSink& messages,
                         std::function<std::string(int)> deviceForPort)
    : port_(port), messages_(messages), deviceForPort_(std::move(deviceForPort)) {}

void PortControl::showStartSettings() {
    combos.Combo2 = "19200";
    combos.Combo3 = "8";
    combos.Combo4 = "Even";
    combos.Combo5 = "1";
}

void PortControl::InitCommCombos() {
    combos.Combo1 = 0;
    showStartSettings();
}

void PortControl::SetAutoMode() {
    showStartSettings();
    for (int i = 1; i < 5; ++i) combos.enabled[static_cast<std::size_t>(i)] = false;
}

void PortControl::SetManualMode() {
    showStartSettings();
    combos.enabled.fill(true);
}

void PortControl::SetModeOpt_Click(int Index) {
    SelectedMode = Index == 1 ? 1 : 0;
    if (Index == 0) {
        SetAutoMode();
    } else if (Index == 1 && !isTrue(PortOpen)) {
        SetManualMode();
    }
}

void PortControl::ApplySelectedMode() {
    if (SelectedMode == 0) {
        SetAutoMode();
    } else {
        SetManualMode();
    }
}

bool PortControl::openWith(const std::string& settings) {
    port_.discardInput();
    port_.discardOutput();
    const std::string device = deviceForPort_ ? deviceForPort_(CommPort()) : std::string();
    // The settings are given to the port before it opens, so they stay even when the
    // open fails.
    appliedSettings_ = settings;
    lastError_ = port_.open(device, settings);
    return lastError_.ok();
}

void PortControl::OpenPort(std::uint8_t comm_para_item) {
    if (port_.isOpen()) {
        port_.close();
        PortOpen = kFalse;
    }
    port_.discardInput();
    port_.discardOutput();
    bool opened;
    if (isTrue(AutoMode)) {
        std::string settings = appliedSettings_;
        if (comm_para_item >= 1 && comm_para_item <= kAutoSettings.size()) {
            settings = std::string(kAutoSettings[comm_para_item - 1]);
            CurrentSettings = settings;
        }
        opened = openWith(settings);
    } else {
        const std::string settings =
            ManualSettingsText(combos.Combo2, combos.Combo4, combos.Combo3, &combos.Combo5);
        opened = openWith(settings);
        if (opened) CurrentSettings = port_.settings();
    }
    if (opened) {
        PortOpen = kTrue;
        return;
    }
    if (port_.isOpen()) port_.close();
    if (lastError_.number == CommErrorNumber::BadSettings) {
        messages_.showMessage(std::string(kMsgComPortError8015));
    }
    PortOpen = kFalse;
}

void PortControl::reopenAt(const std::string& settings) {
    if (port_.isOpen()) port_.close();
    PortOpen = toFlag(openWith(settings));
}

void PortControl::Download_Port_Open_57600() {
    reopenAt("57600,e,8,1");
}
void PortControl::Download_Port_Open_115200() {
    reopenAt("115200,e,8,1");
}
void PortControl::Download_Port_Open_38400() {
    reopenAt("38400,e,8,1");
}

void PortControl::ClosePort() {
    if (port_.isOpen()) port_.close();
    PortOpen = kFalse;
}

}  // namespace tabsend
