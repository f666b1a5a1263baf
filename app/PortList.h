#pragma once
// The serial devices offered after Com1..Com9 in the port list: what the system reports
// (USB adapters, ports above COM9 on Windows), by path, without the devices that Com1..Com9
// already stand for.

#include <string>
#include <vector>

namespace tabsend {

// `reported`: the system's serial devices; `comDevices`: the devices of Com1..Com9.
// Gives the others, sorted and each once.
std::vector<std::string> ExtraPortsOf(std::vector<std::string> reported,
                                      const std::vector<std::string>& comDevices);

// The system's list through Qt, less Com1..Com9 as the port map names them now.
std::vector<std::string> ExtraSerialPorts();

}  // namespace tabsend
