#include "langfiles/LanCompiler.h"

#include <stdexcept>
#include <vector>

#include "langfiles/IniCache.h"
#include "langfiles/IniFile.h"
#include "langfiles/IniNumbers.h"
#include "langfiles/TextEncoding.h"

namespace tabsend {

namespace {

constexpr const char* kAssSection = "LanAssInfo";

std::string infoSection(int n) {
    return "Lan" + std::to_string(n) + "Info";
}
std::string codeSection(int n) {
    return "Lan" + std::to_string(n) + "Stringcode";
}

std::string strKey(std::int32_t i, const char* suffix) {
    std::string k = "Str";
    k += std::to_string(i);
    k += suffix;
    return k;
}

// The busy notice's bar: it grows by step x 40 twips after every 40th entry.
class Bar {
  public:
    Bar(BusyNotice& notice, std::int32_t entries)
        : notice_(notice), step_(entries > 0 ? 5000.0 / entries : 0.0) {
        notice_.setBarWidth(0);
    }
    void entryDone(std::int32_t i) {
        if (i % 40 != 39) return;
        width_ += step_ * 40.0;
        notice_.setBarWidth(static_cast<int>(RoundHalfEven(width_)));
    }

  private:
    BusyNotice& notice_;
    double step_;
    double width_ = 0.0;
};

}  // namespace

// The table file being edited, and what it carries (for the message when it cannot be
// written).
struct LanCompiler::Table {
    explicit Table(const std::string& path) : session(path) {}
    IniEditSession session;
    bool sourceSlot = false;  // a slot compiled from a source file was set
    bool dummySlot = false;   // a dummy slot was set
    bool refused = false;     // a value could not be stored: the table must not be written
    std::string why;          // the reason the last save failed

    void set(const std::string& section, const std::string& key, const std::string& value) {
        if (!session.doc().set(section, key, value)) refused = true;
    }
    bool save() {
        if (refused) {
            why = "a value cannot be stored in an INI line";
            return false;
        }
        return session.save(&why);
    }
};

// Opens the table for an operation unless one is already open (a slot written inside a
// compile or reset), and closes it again on every way out.
class LanCompiler::TableScope {
  public:
    explicit TableScope(LanCompiler& c) : c_(c), owner_(!c.table_) {
        if (owner_) c_.table_ = std::make_unique<Table>(c_.state_.LanTablePath);
    }
    ~TableScope() {
        if (owner_) c_.table_.reset();
    }
    TableScope(const TableScope&) = delete;
    TableScope& operator=(const TableScope&) = delete;

    Table& table() { return *c_.table_; }
    bool owner() const { return owner_; }
    // Writes the table when this scope opened it; shows the failure once.
    bool finish() {
        if (!owner_) return true;
        if (table().save()) return true;
        c_.showSaveFailure(table());
        return false;
    }

  private:
    LanCompiler& c_;
    bool owner_;
};

LanCompiler::LanCompiler(SharedState& state, const Messages& texts, MessageSink& messages,
                         BusyNotice& notice, WindowRefresh& window, EventPump& pump)
    : state_(state),
      texts_(texts),
      messages_(messages),
      notice_(notice),
      window_(window),
      pump_(pump) {}

LanCompiler::~LanCompiler() = default;

Flag16& LanCompiler::LanFileSelected(int n) {
    switch (n) {
        case 1:
            return LanFileSelected1;
        case 2:
            return LanFileSelected2;
        case 3:
            return LanFileSelected3;
        default:
            throw std::out_of_range("slot number out of range: " + std::to_string(n));
    }
}

std::string& LanCompiler::LanFilePath(int n) {
    switch (n) {
        case 1:
            return LanFilePath1;
        case 2:
            return LanFilePath2;
        case 3:
            return LanFilePath3;
        default:
            throw std::out_of_range("slot number out of range: " + std::to_string(n));
    }
}

SlotBoxes& LanCompiler::Boxes(int n) {
    if (n < 1 || n > 3) throw std::out_of_range("slot number out of range: " + std::to_string(n));
    return boxes_[static_cast<std::size_t>(n - 1)];
}

const SlotBoxes& LanCompiler::Boxes(int n) const {
    return const_cast<LanCompiler*>(this)->Boxes(n);
}

void LanCompiler::showSaveFailure(const Table& table) {
    const std::string& text = table.sourceSlot  ? texts_.MsgLanguageFileSetError
                              : table.dummySlot ? std::string(kIniErrorText)
                                                : std::string(kWriteErrorText);
    // The system's text first, as it is; which table and why on a line of their own, so the
    // message does not read as if the source file were at fault.
    std::string detail = "The table file " + state_.LanTablePath + " was not written";
    if (!table.why.empty()) detail += ": " + table.why;
    messages_.showMessage(text + "\n" + detail);
}

void LanCompiler::damaged() {
    messages_.showMessage(texts_.MsgLanguageFileDamaged);
}

// ---- Selection ----

SelectCheck LanCompiler::SelectFile(int n, const std::string& path) {
    std::string& slotPath = LanFilePath(n);
    const SourceFileCheck check = CheckSourceFile(path, n);
    if (check.result == SelectCheck::Accepted) {
        SlotBoxes& b = Boxes(n);
        b.language = displayText(check.language);
        b.version = displayText(check.version);
        b.clearEnabled = true;
        slotPath = path;
        LanFileSelected(n) = kTrue;
    } else if (const std::string* text = SelectionMessage(check.result, texts_)) {
        messages_.showMessage(*text);
    }
    return check.result;
}

void LanCompiler::Clear(int n) {
    state_.LanSetFlag(n) = kFalse;
    LanFilePath(n).clear();
    SlotBoxes& b = Boxes(n);
    b.language.clear();
    b.version.clear();
    b.clearEnabled = false;
    LanFileSelected(n) = kFalse;
}

void LanCompiler::Restore() {
    for (std::uint8_t n = 1; n <= 3; ++n) ReadLanInfo(n);
}

void LanCompiler::ReadLanInfo(std::uint8_t n) {
    const int slot = n;
    const std::string section = infoSection(slot);
    const std::string language = GetFromini(section, "Language", state_.LanTablePath);
    const std::string version = GetFromini(section, "LanVer", state_.LanTablePath);
    SlotBoxes& b = Boxes(slot);
    if (!state_.LanSetPath(slot).empty()) {
        b.language = displayText(language);
        b.version = displayText(version);
        LanFilePath(slot) = state_.LanSetPath(slot);
        LanFileSelected(slot) = kTrue;
        state_.LanSetFlag(slot) = kTrue;
        b.clearEnabled = true;
    } else {
        b.language.clear();
        b.version.clear();
        LanFilePath(slot).clear();
        LanFileSelected(slot) = kFalse;
        state_.LanSetFlag(slot) = kFalse;
        b.clearEnabled = false;
    }
}

// ---- Buttons ----

Flag16 LanCompiler::Compile() {
    notice_.show();
    notice_.repaint();
    const Flag16 result = LanCompile();
    if (isTrue(result)) {
        restoreEnabled_ = true;
        Restore();
        notice_.close();
        messages_.showMessage(texts_.MsgSetComplete);
    }
    notice_.close();
    return result;
}

void LanCompiler::Reset() {
    notice_.show();
    notice_.repaint();
    for (SlotBoxes& b : boxes_) {
        b.language.clear();
        b.version.clear();
    }
    ResetLanTable();
    for (int n = 1; n <= 3; ++n) Clear(n);
    for (int n = 1; n <= 3; ++n) {
        LanFilePath(n).clear();
        LanFileSelected(n) = kFalse;
    }
    LanSelectedCount = 0;
    notice_.close();
    messages_.showMessage(texts_.MsgResetComplete);
    restoreEnabled_ = false;
}

// ---- Compiler ----

void LanCompiler::CountLanFile() {
    for (int n = 1; n <= 3; ++n) {
        if (isTrue(LanFileSelected(n))) ++LanSelectedCount;
    }
}

Flag16 LanCompiler::LanCompile() {
    CountLanFile();
    TableScope scope(*this);
    Table& table = scope.table();
    table.set(kAssSection, "LanTotalNum", std::to_string(LanSelectedCount));
    LanSelectedCount = 0;

    struct Record {
        bool done = false;
        Flag16 flag = kFalse;
        std::string path;
    };
    std::array<Record, 3> records;
    int failedSlot = 0;
    for (std::uint8_t n = 1; n <= 3; ++n) {
        Record& r = records[n - 1U];
        if (isTrue(LanFileSelected(n))) {
            if (!isTrue(SetLanFile(n))) {
                failedSlot = n;
                break;
            }
            r = {true, kTrue, LanFilePath(n)};
        } else {
            SetLanDummy(n);
            r = {true, kFalse, std::string()};
        }
        notice_.repaint();
        window_.refreshLocked();
    }

    const bool written = scope.finish();
    // Nothing reached the file: the old table and the old records still agree.
    if (!written) return kFalse;
    if (failedSlot != 0) {
        state_.LanSetFlag(failedSlot) = kFalse;
        state_.LanSetPath(failedSlot).clear();
    }
    for (int n = 1; n <= 3; ++n) {
        const Record& r = records[static_cast<std::size_t>(n - 1)];
        if (!r.done) continue;
        state_.LanSetFlag(n) = r.flag;
        state_.LanSetPath(n) = r.path;
    }
    return failedSlot == 0 ? kTrue : kFalse;
}

Flag16 LanCompiler::SetLanFile(std::uint8_t n) {
    const int slot = n;
    const std::string source = LanFilePath(slot);
    const std::int64_t base = state_.LanAreaBase(slot);
    TableScope scope(*this);

    static const IniDocument kNoFile;
    const auto file = sharedIniCache().document(source);
    const IniDocument& src = file ? *file : kNoFile;
    const std::string language = src.get(kSourceInfoSection, "Language");
    const std::string version = src.get(kSourceInfoSection, "LanVer");
    const std::optional<std::int32_t> strNum =
        WholeValueNumber(src.value(kSourceInfoSection, "StrNum"));
    const std::string code = src.get(kSourceInfoSection, "LanCode");
    if (!strNum || *strNum < 1 || *strNum > kMaxStrNum) {
        damaged();
        return kFalse;
    }
    const std::int32_t count = *strNum;

    notice_.setLine(CreateLanguageLine(texts_, slot));
    notice_.repaint();
    Bar bar(notice_, count);

    // Every string is checked before the first key of the slot goes into the table, so a
    // file that cannot be compiled leaves nothing of itself behind.
    struct Entry {
        std::int32_t dispLine;
        std::int32_t length;
        std::int64_t address;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    std::vector<std::uint8_t> bytes;
    std::int64_t address = base;
    std::int32_t padded = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        pump_.processPending();
        const double length =
            RoundHalfEven(LeadingNumber(src.value(kSourceStringSection, strKey(i, "BMLen"))));
        if (!(length >= 1 && length <= kMaxBitmapBytes)) {
            damaged();
            return kFalse;
        }
        const double dispLine =
            RoundHalfEven(LeadingNumber(src.value(kSourceStringSection, strKey(i, "BMDispLine"))));
        if (!(dispLine >= 1 && dispLine <= 255)) {
            damaged();
            return kFalse;
        }
        const auto len = static_cast<std::int32_t>(length);
        // A list shorter than BMLen is sent with zeros for the missing bytes, as the
        // download has always done (generators drop a bitmap's trailing zero columns); a
        // list with no value at all cannot be a bitmap.
        if (!SplitBitmapText(src.value(kSourceStringSection, strKey(i, "BMArray")), bytes) ||
            bytes.empty() || address + len - base > kSlotAreaBytes) {
            damaged();
            return kFalse;
        }
        if (bytes.size() < static_cast<std::size_t>(len)) ++padded;
        entries.push_back({static_cast<std::int32_t>(dispLine), len, address});
        address += len;
        bar.entryDone(i);
        window_.refreshLocked();
    }

    Table& table = scope.table();
    const std::string codes = codeSection(slot);
    for (std::int32_t i = 0; i < count; ++i) {
        // A large slot takes a while to go into the table too: events (a stop request
        // among them) get through every 64 entries.
        if (i % 64 == 63) pump_.processPending();
        const Entry& e = entries[static_cast<std::size_t>(i)];
        table.set(codes, strKey(i, "Dummy"), "0");
        table.set(codes, strKey(i, "BMDispLine"), std::to_string(e.dispLine));
        table.set(codes, strKey(i, "Len"), std::to_string(e.length));
        table.set(codes, strKey(i, "Addr"), std::to_string(e.address));
    }
    const std::string info = infoSection(slot);
    table.set(info, "TotalSize", std::to_string(address - base));
    table.set(info, "LanDummy", "0");
    table.set(info, "TotalStrNum", std::to_string(count));
    table.set(info, "LanVer", version);
    table.set(info, "LanType", code);
    table.set(info, "Language", language);
    table.sourceSlot = true;
    padded_[static_cast<std::size_t>(slot - 1)] = padded;
    return scope.finish() ? kTrue : kFalse;
}

void LanCompiler::SetLanDummy(std::uint8_t n) {
    const int slot = n;
    if (slot < 1 || slot > 3)
        throw std::out_of_range("slot number out of range: " + std::to_string(slot));
    TableScope scope(*this);
    Table& table = scope.table();
    const std::string info = infoSection(slot);
    for (const char* key :
         {"LanDummy", "TotalSize", "TotalStrNum", "LanVer", "LanType", "Language"})
        table.set(info, key, "");

    notice_.setLine(ClearLanguageLine(texts_, slot));
    notice_.repaint();
    const std::int32_t count = state_.DummyStrNum;
    Bar bar(notice_, count);
    const std::string codes = codeSection(slot);
    for (std::int32_t i = 0; i < count; ++i) {
        pump_.processPending();
        table.set(codes, strKey(i, "Dummy"), "");
        table.set(codes, strKey(i, "BMDispLine"), "");
        table.set(codes, strKey(i, "Len"), "");
        table.set(codes, strKey(i, "Addr"), "");
        bar.entryDone(i);
        window_.refreshLocked();
    }
    table.dummySlot = true;
    scope.finish();
}

void LanCompiler::ResetLanTable() {
    TableScope scope(*this);
    Table& table = scope.table();
    table.set(kAssSection, "LanTotalNum", "0");
    InitLanParam(state_);
    for (std::uint8_t n = 1; n <= 3; ++n) {
        SetLanDummy(n);
        notice_.repaint();
        window_.refreshLocked();
    }
    scope.finish();
}

}  // namespace tabsend
