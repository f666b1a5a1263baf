#include "shell/SharedState.h"

#include <stdexcept>

namespace tabsend {

namespace {
[[noreturn]] void badSlot(int n) {
    throw std::out_of_range("slot number out of range: " + std::to_string(n));
}
}  // namespace

Flag16& SharedState::LanSetFlag(int n) {
    switch (n) {
        case 1: return LanSetFlag1;
        case 2: return LanSetFlag2;
        case 3: return LanSetFlag3;
        default: badSlot(n);
    }
}

Flag16 SharedState::LanSetFlag(int n) const { return const_cast<SharedState*>(this)->LanSetFlag(n); }

std::string& SharedState::LanSetPath(int n) {
    switch (n) {
        case 1: return LanSetPath1;
        case 2: return LanSetPath2;
        case 3: return LanSetPath3;
        default: badSlot(n);
    }
}

const std::string& SharedState::LanSetPath(int n) const {
    return const_cast<SharedState*>(this)->LanSetPath(n);
}

std::int32_t SharedState::LanAreaBase(int n) const {
    switch (n) {
        case 1: return LanAreaBase1;
        case 2: return LanAreaBase2;
        case 3: return LanAreaBase3;
        default: badSlot(n);
    }
}

void InitLanParam(SharedState& s) {
    s.DownloadStep = 0;
    s.SlaveAddress = 33;
    s.LanSetFlag1 = kFalse;
    s.LanSetFlag2 = kFalse;
    s.LanSetFlag3 = kFalse;
    s.LanSetPath1.clear();
    s.LanSetPath2.clear();
    s.LanSetPath3.clear();
    s.LanAreaBase1 = 0x40000;
    s.LanAreaBase2 = 0xC0000;
    s.LanAreaBase3 = 0x140000;
    s.DummyStrNum = 800;
}

}  // namespace tabsend
