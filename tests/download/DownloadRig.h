#pragma once
// What the download tests share: a small unit that answers every message the way a healthy
// DEXIO acknowledges it (with per-request overrides for exact fault scripts), an in-memory
// INI reader, and recording fakes of the host window, the port routines and the slot
// display, all wired to ModuleMain over the fake line and the virtual clock.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "download/ModuleMain.h"
#include "link/ModBusCall.h"
#include "link/ModBusDll.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/RecordingSeams.h"
#include "tests/support/VirtualClock.h"
#include "tools/sim/LineDevice.h"

namespace tabsend::testkit {

using Bytes = std::vector<std::uint8_t>;

// One request as the unit took it apart.
struct UnitRequest {
    std::uint8_t func = 0;
    Bytes data;
    LineSettings settings;
    std::int64_t atUs = 0;
    std::int64_t tick = 0;
    Flag16 commBusy = kFalse;  // CommBusy while the request was on its way
    std::int32_t responseTimeout = 0;
    std::uint8_t downloadStep = 0;
    std::int16_t progressValue = 0;
};

// What the unit does with one request.
struct UnitAnswer {
    enum Kind { Normal, Silent, Exception, Damaged, Raw } kind = Normal;
    std::uint8_t func = 0;  // Raw: function code
    Bytes data;             // Raw: data bytes
    static UnitAnswer normal() { return {}; }
    static UnitAnswer silent() { return {Silent, 0, {}}; }
    static UnitAnswer exception() { return {Exception, 0, {}}; }
    static UnitAnswer damaged() { return {Damaged, 0, {}}; }
    static UnitAnswer raw(std::uint8_t f, Bytes d) { return {Raw, f, std::move(d)}; }
};

inline void PrintTo(const UnitAnswer& a, std::ostream* os) {
    static const char* const kKinds[] = {"normal", "silent", "exception", "damaged", "raw"};
    *os << kKinds[a.kind];
    if (a.kind == UnitAnswer::Raw) {
        *os << " " << int(a.func) << ":";
        for (auto b : a.data) *os << " " << int(b);
    }
}

// A unit at address 33 that acknowledges every message by echoing the function code and
// the first data byte; connect gets 02, disconnect 00, slot reads the values set per slot.
class TestUnit : public dexsim::LineDevice {
  public:
    static constexpr std::int64_t kTurnaroundUs = 2'000;

    struct SlotValues {
        std::uint8_t status = 0xFE;
        Bytes version{0, 0, 0, 1};
        Bytes code{0, 1};
    };
    SlotValues slots[3];

    // Decides per request (0-based count of requests) what happens; unset: Normal.
    std::function<UnitAnswer(const UnitRequest&, std::size_t number)> script;
    // Filled in at every request with the host's state (set by the rig).
    std::function<void(UnitRequest&)> observe;
    // Only frames sent at one of these settings are answered (empty: all).
    std::vector<LineSettings> servedSettings;

    std::vector<UnitRequest> requests;

    dexsim::Reply onFrame(std::span<const std::uint8_t> frame, const LineSettings& hostSettings,
                          std::int64_t nowUs) override {
        UnitRequest r;
        if (frame.size() >= 4) {
            r.func = frame[1];
            r.data.assign(frame.begin() + 2, frame.end() - 2);
        }
        r.settings = hostSettings;
        r.atUs = nowUs;
        r.tick = nowUs / VirtualClock::kTickUs;
        if (observe) observe(r);
        requests.push_back(r);
        const std::size_t number = requests.size() - 1;
        if (!servedSettings.empty()) {
            bool served = false;
            for (const auto& s : servedSettings) served = served || s == hostSettings;
            if (!served) return {};
        }
        const UnitAnswer a = script ? script(r, number) : UnitAnswer::normal();
        switch (a.kind) {
            case UnitAnswer::Silent:
                return {};
            case UnitAnswer::Exception:
                return reply(buildFrame(33, static_cast<std::uint8_t>(r.func | 0x80), Bytes{0x04}));
            case UnitAnswer::Damaged: {
                Bytes f = buildFrame(33, r.func, normalData(r));
                f.back() ^= 0x5A;
                return reply(f);
            }
            case UnitAnswer::Raw:
                return reply(buildFrame(33, a.func, a.data));
            case UnitAnswer::Normal:
                break;
        }
        return reply(buildFrame(33, r.func, normalData(r)));
    }

    Bytes normalData(const UnitRequest& r) const {
        const std::uint8_t first = r.data.empty() ? 0 : r.data[0];
        if (r.func == 0x7E) return Bytes{static_cast<std::uint8_t>(first == 1 ? 2 : 0)};
        if (r.func == 0x2B) return Bytes{0x0E, 0x05, 0x00, 0x00, 0x00};
        if (r.func == 0x5B && r.data.size() >= 2 && first >= 101 && first <= 103) {
            const SlotValues& s = slots[first - 101];
            Bytes d{first, r.data[1]};
            if (r.data[1] == 4) d.push_back(s.status);
            if (r.data[1] == 2) d.insert(d.end(), s.version.begin(), s.version.end());
            if (r.data[1] == 3) d.insert(d.end(), s.code.begin(), s.code.end());
            return d;
        }
        return Bytes{first};
    }

    // Requests with a given function code (and first data byte, when given).
    std::vector<UnitRequest> with(std::uint8_t func, std::optional<std::uint8_t> first = {}) const {
        std::vector<UnitRequest> out;
        for (const auto& r : requests)
            if (r.func == func && (!first || (!r.data.empty() && r.data[0] == *first)))
                out.push_back(r);
        return out;
    }

  private:
    static dexsim::Reply reply(Bytes frame) {
        dexsim::Reply rep;
        rep.chunks.push_back({kTurnaroundUs, std::move(frame)});
        return rep;
    }
};

// INI values by file, section and key.
class MapIni {
  public:
    void set(const std::string& file, const std::string& section, const std::string& key,
             const std::string& value) {
        values_[{file, section, key}] = value;
    }
    IniValueReader reader() {
        return [this](const std::string& section, const std::string& key, const std::string& file) {
            ++reads;
            const auto it = values_.find({file, section, key});
            return it == values_.end() ? std::string() : it->second;
        };
    }
    long reads = 0;

  private:
    std::map<std::tuple<std::string, std::string, std::string>, std::string> values_;
};

// The main window's side, recording every call in order.
class RecordingHost : public DownloadHost {
  public:
    std::vector<std::string> calls;
    std::function<void()> onPortClose;
    void SetControlsEnabled(bool e) override { calls.push_back(e ? "unlock" : "lock"); }
    void PortProcess() override { calls.push_back("PortProcess"); }
    void PortClose_Click() override {
        calls.push_back("PortClose_Click");
        if (onPortClose) onPortClose();
    }
    void setCompareEnabled(bool e) override { calls.push_back(e ? "compare+" : "compare-"); }
    void setDownloadEnabled(bool e) override { calls.push_back(e ? "download+" : "download-"); }
    void setDisconnectEnabled(bool e) override {
        calls.push_back(e ? "disconnect+" : "disconnect-");
    }
};

// The three slots of the "DEXIO" frame. Like the check box, setting a new value raises the
// Click handler (onClick) at once.
class RecordingSlots : public SlotDisplay {
  public:
    struct Slot {
        std::string version = "old";
        std::string language = "old";
        bool enabled = false;
        bool ticked = false;
        std::uint32_t colour = 0x12345678;  // not yet painted
    };
    Slot slot[4];  // 1..3
    std::function<void(int)> onClick;
    std::vector<std::string> log;

    void setVersionText(int s, const std::string& t) override { slot[s].version = t; }
    void setLanguageText(int s, const std::string& t) override { slot[s].language = t; }
    void setOperationEnabled(int s, bool e) override { slot[s].enabled = e; }
    void setOperationValue(int s, bool v) override {
        const bool changed = slot[s].ticked != v;
        slot[s].ticked = v;
        if (changed && onClick) onClick(s);
    }
    void setStatusColor(int s, std::uint32_t c) override { slot[s].colour = c; }
};

// A message sink that also notes what the progress bar showed when a box was opened.
class MessagesWithBar : public MessageSink {
  public:
    explicit MessagesWithBar(const RecordingProgress& bar) : bar_(bar) {}
    void showMessage(const std::string& text) override {
        shown.push_back(text);
        barAtShow.push_back(bar_.value);
    }
    std::vector<std::string> shown;
    std::vector<int> barAtShow;

  private:
    const RecordingProgress& bar_;
};

// ModuleMain on a fake line at 57600,e,8,1 with the engine initialised.
struct DownloadRig {
    VirtualClock clock;
    TestUnit unit;
    FakeSerialPort port{clock, &unit};
    RecordingMessages linkMessages;
    ModbusLink link{port, clock, clock.timer1(), linkMessages};
    SharedState state;
    RecordingProgress progress;
    MessagesWithBar messages{progress};
    Messages texts = MessagesForLanguage(kUiEnglish);
    MapIni ini;
    ModuleMain mm{state, link, ini.reader(), progress, messages, texts};

    DownloadRig() {
        state.LanTablePath = "LanTable.ini";
        unit.observe = [this](UnitRequest& r) {
            r.commBusy = state.CommBusy;
            r.responseTimeout = link.driver.ResponseTimeout;
            r.downloadStep = state.DownloadStep;
            r.progressValue = mm.ProgressValue;
        };
        port.open("COM1", "57600,e,8,1");
        link.master.MasterInit();
    }

    // A slot of `count` strings in LanTable.ini and its source file, bitmap of string i
    // `lengthOf(i)` bytes, laid out from the slot's area base.
    void addSlot(int slot, std::int32_t count, const std::function<std::int32_t(int)>& lengthOf,
                 std::int32_t lanVer = 1, std::int32_t lanType = 1) {
        const std::string src = "lang" + std::to_string(slot) + ".ini";
        const std::string info = "Lan" + std::to_string(slot) + "Info";
        const std::string code = "Lan" + std::to_string(slot) + "Stringcode";
        state.LanSetFlag(slot) = kTrue;
        state.LanSetPath(slot) = src;
        ini.set("LanTable.ini", info, "TotalStrNum", std::to_string(count));
        ini.set("LanTable.ini", info, "LanVer", std::to_string(lanVer));
        ini.set("LanTable.ini", info, "LanType", std::to_string(lanType));
        std::int32_t addr = state.LanAreaBase(slot);
        for (int i = 0; i < count; ++i) {
            const std::int32_t len = lengthOf(i);
            const std::string k = "Str" + std::to_string(i);
            ini.set("LanTable.ini", code, k + "BMDispLine", "1");
            ini.set("LanTable.ini", code, k + "Len", std::to_string(len));
            ini.set("LanTable.ini", code, k + "Addr", std::to_string(addr));
            ini.set(src, "LanStrcodeBM", k + "BMLen", std::to_string(len));
            ini.set(src, "LanStrcodeBM", k + "BMArray", bitmapText(slot, i, len));
            addr += len;
        }
        int total = 0;
        for (int s = 1; s <= 3; ++s) total += isTrue(state.LanSetFlag(s)) ? 1 : 0;
        ini.set("LanTable.ini", "LanAssInfo", "LanTotalNum", std::to_string(total));
    }

    static std::uint8_t bitmapByte(int slot, int i, int j) {
        return static_cast<std::uint8_t>((slot * 31 + i * 7 + j * 13) & 0xFF);
    }
    static std::string bitmapText(int slot, int i, int len) {
        std::string s;
        char piece[8];
        for (int j = 0; j < len; ++j) {
            std::snprintf(piece, sizeof piece, "0x%02X", bitmapByte(slot, i, j));
            if (j) s += ',';
            s += piece;
        }
        return s;
    }
};

}  // namespace tabsend::testkit
