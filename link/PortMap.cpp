#include "link/PortMap.h"

#include "link/SerialPort.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace tabsend {

namespace {

std::optional<std::string> processEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace

PortMap::PortMap() : PortMap(hostNaming(), processEnvironment) {}

PortMap::PortMap(Naming naming, EnvLookup env) : naming_(naming), env_(std::move(env)) {
    if (!env_) env_ = [](const std::string&) { return std::optional<std::string>(); };
}

PortMap::Naming PortMap::hostNaming() {
#ifdef _WIN32
    return Naming::Windows;
#else
    return Naming::Posix;
#endif
}

std::string PortMap::environmentVariable(int comNumber) {
    return "TABSEND_COM" + std::to_string(comNumber);
}

std::string PortMap::deviceFor(int comNumber) const {
    if (comNumber < kFirstCom || comNumber > kLastCom) return {};
    if (auto over = env_(environmentVariable(comNumber)); over && !over->empty()) return *over;
    if (naming_ == Naming::Windows) return "COM" + std::to_string(comNumber);
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

std::optional<int> PortMap::comNumberOf(std::string_view text) {
    text = trimBlanks(text);
    if (text.size() != 4) return std::nullopt;
    auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    if (lower(text[0]) != 'c' || lower(text[1]) != 'o' || lower(text[2]) != 'm')
        return std::nullopt;
    const char digit = text[3];
    if (digit < '0' + kFirstCom || digit > '0' + kLastCom) return std::nullopt;
    return digit - '0';
}

std::string PortMap::deviceForArgument(std::string_view text) const {
    if (auto n = comNumberOf(text)) return deviceFor(*n);
    return std::string(text);
}

std::string comPortDevice(int comNumber) {
    return PortMap().deviceFor(comNumber);
}

std::string portDeviceFromArgument(std::string_view text) {
    return PortMap().deviceForArgument(text);
}

}  // namespace tabsend
