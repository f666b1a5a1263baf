#include "app/PortList.h"

#include <QSerialPortInfo>
#include <algorithm>

#include "link/PortMap.h"

namespace tabsend {

std::vector<std::string> ExtraPortsOf(std::vector<std::string> reported,
                                      const std::vector<std::string>& comDevices) {
    std::sort(reported.begin(), reported.end());
    reported.erase(std::unique(reported.begin(), reported.end()), reported.end());
    std::erase_if(reported, [&](const std::string& device) {
        return device.empty() ||
               std::find(comDevices.begin(), comDevices.end(), device) != comDevices.end();
    });
    return reported;
}

std::vector<std::string> ExtraSerialPorts() {
    std::vector<std::string> reported;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        reported.push_back(info.portName().toStdString());  // "COM12"
#else
        reported.push_back(info.systemLocation().toStdString());  // "/dev/ttyUSB0"
#endif
    }
    std::vector<std::string> comDevices;
    for (int n = PortMap::kFirstCom; n <= PortMap::kLastCom; ++n) {
        comDevices.push_back(comPortDevice(n));
    }
    return ExtraPortsOf(std::move(reported), comDevices);
}

}  // namespace tabsend
