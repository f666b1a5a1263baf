#pragma once
// The "PC" frame of the main window without its widgets: the slot selection (Select, Clear,
// Restore, Reset) and the compiler that turns the selection into the download table
// LanTable.ini and the shared slot records LanSetFlag1..3 / LanSetPath1..3.
//
// The table file is kept in memory while a compile or a reset runs and written once at the
// end, crash-safe (see saveFileAtomically): the old table stays intact when the write fails.
//
// Messages when something goes wrong:
//  - a source file that cannot be compiled (StrNum missing, not a whole number or outside
//    1..32767; a string with Str[i]BMLen outside 1..1001 or Str[i]BMDispLine outside 1..255,
//    a Str[i]BMArray that does not hold at least Str[i]BMLen well-formed bytes, a slot larger
//    than its 524288-byte area): MsgLanguageFileDamaged, the compile stops at that slot;
//  - the table cannot be written: one message for the whole write, chosen by the most
//    important thing it carried: MsgLanguageFileSetError for a slot from a source file,
//    "ini error！" for dummy slots only (a compile without files, a reset), "write error！"
//    when it carried LanTotalNum alone (a compile whose first slot could not be compiled).
//
// Slot records: a compile that writes the table sets, per slot it finished, LanSetFlag to -1
// and LanSetPath to the source (a slot from a file) or 0 and "" (a dummy slot). A slot whose
// source cannot be compiled gets 0 and "", so the download never mixes an older index with
// this file; later slots are not written and keep their records. When the table cannot be
// written no record is set from the compile (the old table and the old records still agree).
//
// While a slot is written, pending events are let through once per string (once per entry of
// a dummy slot) through EventPump::yieldOnce and the locked window is refreshed as often; the
// pump must only run what is pending, not wait for an event.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "langfiles/SourceFile.h"
#include "shell/Messages.h"
#include "shell/Seams.h"
#include "shell/SharedState.h"

namespace tabsend {

class IniEditSession;

// What one slot of the "PC" frame shows: the language box (Text1..Text3), the version box
// (Text4..Text6), both as UTF-8, and whether its Clear button is enabled.
struct SlotBoxes {
    std::string language;
    std::string version;
    bool clearEnabled = false;
};

class LanCompiler {
  public:
    // Slot area size: the distance between two slot bases in the DEXIO.
    static constexpr std::int64_t kSlotAreaBytes = 0x80000;
    // Largest string count: string numbers must stay below 32768 on the line.
    static constexpr std::int32_t kMaxStrNum = 32768;  // strings 0..32767

    // All references must outlive the object; texts are the message variables of the run.
    LanCompiler(SharedState& state, const Messages& texts, MessageSink& messages,
                BusyNotice& notice, WindowRefresh& window, EventPump& pump);
    ~LanCompiler();
    LanCompiler(const LanCompiler&) = delete;
    LanCompiler& operator=(const LanCompiler&) = delete;

    // ---- Selection of the main window ----
    Flag16 LanFileSelected1 = kFalse;
    Flag16 LanFileSelected2 = kFalse;
    Flag16 LanFileSelected3 = kFalse;
    std::string LanFilePath1;
    std::string LanFilePath2;
    std::string LanFilePath3;
    std::uint8_t LanSelectedCount = 0;

    // n = 1..3; any other n throws std::out_of_range.
    Flag16& LanFileSelected(int n);
    std::string& LanFilePath(int n);
    SlotBoxes& Boxes(int n);
    const SlotBoxes& Boxes(int n) const;
    // The Restore button (ReadCur): enabled after a successful compile, disabled by Reset.
    bool RestoreEnabled() const { return restoreEnabled_; }

    // ---- Frame handlers (the window adds the dialog and the locking) ----
    // Select, after the dialog: tests the file and takes it for slot n, or shows the
    // message for a refused file; an unreadable path (or "") changes nothing.
    SelectCheck SelectFile(int n, const std::string& path);
    // Clear n: LanSetFlag[n] 0, the selection and the boxes emptied, Clear disabled.
    void Clear(int n);
    // Restore (ReadCur): ReadLanInfo for slots 1, 2, 3.
    void Restore();
    // The Compile button between locking and unlocking the window: shows the notice, runs
    // LanCompile, on success enables Restore, runs ReadLanInfo 1..3 and shows
    // MsgSetComplete; closes the notice on every way out. Returns LanCompile's result.
    Flag16 Compile();
    // The Reset button between locking and unlocking: notice, ResetLanTable, Clear 1..3,
    // selection emptied, notice closed, MsgResetComplete, Restore disabled.
    void Reset();

    // ---- The compiler ----
    // Counts the selected slots, writes LanTotalNum, compiles slots 1, 2, 3 in order, writes
    // the table. -1 done, 0 stopped (its message has been shown).
    Flag16 LanCompile();
    // Adds 1 to LanSelectedCount for each selected slot.
    void CountLanFile();
    // Compiles slot n from LanFilePath[n]. Inside LanCompile or ResetLanTable it works on the
    // table being edited; called alone it loads the table and writes it itself. -1 or 0.
    Flag16 SetLanFile(std::uint8_t n);
    // Writes slot n as a dummy slot (as SetLanFile, inside a compile/reset or alone).
    void SetLanDummy(std::uint8_t n);
    // Makes slot n's selection and boxes the compiled state again, from LanTable.ini and the
    // slot's records.
    void ReadLanInfo(std::uint8_t n);
    // The table work of Reset: LanTotalNum 0, InitLanParam, three dummy slots, one write.
    void ResetLanTable();
    // Strings of slot n (1..3) whose bitmap list held fewer values than BMLen in its last
    // compile (they are downloaded with zeros for the missing bytes).
    std::int32_t PaddedStrings(int n) const {
        return n >= 1 && n <= 3 ? padded_[static_cast<std::size_t>(n - 1)] : 0;
    }

  private:
    struct Table;
    class TableScope;

    void showSaveFailure(const Table& table);
    void damaged();

    SharedState& state_;
    const Messages& texts_;
    MessageSink& messages_;
    BusyNotice& notice_;
    WindowRefresh& window_;
    EventPump& pump_;
    std::array<SlotBoxes, 3> boxes_;
    bool restoreEnabled_ = false;
    std::array<std::int32_t, 3> padded_{};
    std::unique_ptr<Table> table_;  // the table being edited, while a compile or reset runs
};

}  // namespace tabsend
