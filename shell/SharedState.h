#pragma once
// The state that the modules of Tabsend share for the whole run.
// Widths and truth values are those the rest of the system stores and compares:
// truth values are signed 16-bit, -1 true and 0 false.

#include <cstdint>
#include <string>

namespace tabsend {

using Flag16 = std::int16_t;
inline constexpr Flag16 kTrue = -1;
inline constexpr Flag16 kFalse = 0;

// Converts a stored truth value for use in a condition (any non-zero counts as true).
constexpr bool isTrue(Flag16 v) { return v != 0; }
constexpr Flag16 toFlag(bool b) { return b ? kTrue : kFalse; }

// Exchange result codes of the link.
inline constexpr std::uint8_t ErrTimeout = 32;
inline constexpr std::uint8_t ErrDataConflict = 33;

struct SharedState {
    Flag16 CommBusy = kFalse;         // -1 while a device exchange runs
    std::uint8_t CommErrorCode = 0;   // result of the last try of the stage that failed
    std::uint8_t DownloadStep = 0;    // 0 idle, 1..17 running, 18 complete, else failing step
    std::uint8_t SlaveAddress = 33;   // Modbus unit address of the DEXIO
    Flag16 LanSetFlag1 = kFalse;      // slot n compiled from a source file, due for download
    Flag16 LanSetFlag2 = kFalse;
    Flag16 LanSetFlag3 = kFalse;
    std::string LanSetPath1;          // source file compiled into slot n
    std::string LanSetPath2;
    std::string LanSetPath3;
    std::int32_t LanAreaBase1 = 0x40000;  // DEXIO address of slot n's bitmaps
    std::int32_t LanAreaBase2 = 0xC0000;
    std::int32_t LanAreaBase3 = 0x140000;
    std::int32_t DummyStrNum = 800;   // string entries written for a dummy slot
    std::string LanTablePath;         // full path of LanTable.ini
    Flag16 OperationAutoSet = kFalse; // -1 while the program itself sets an Operation box

    // Slot-indexed access to the families of three (n = 1..3). Any other n is a
    // programming error and throws std::out_of_range.
    Flag16& LanSetFlag(int n);
    Flag16 LanSetFlag(int n) const;
    std::string& LanSetPath(int n);
    const std::string& LanSetPath(int n) const;
    std::int32_t LanAreaBase(int n) const;
};

// Gives the download-related shared values their start values again (start-up and Reset).
// Touches nothing else: CommBusy, CommErrorCode, LanTablePath and OperationAutoSet keep theirs.
void InitLanParam(SharedState& s);

}  // namespace tabsend
