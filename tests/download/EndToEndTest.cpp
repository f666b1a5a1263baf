// Whole runs against the simulated unit: source files on disk compiled into LanTable.ini,
// connect, download of three slots, and read-back; the unit's memory and index must hold
// exactly the source files' bitmaps at the compiled addresses.

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "langfiles/IniFile.h"
#include "langfiles/LanCompiler.h"
#include "link/PortControl.h"
#include "tests/download/DownloadRig.h"
#include "tests/langfiles/LangTestSupport.h"
#include "tools/sim/DexioModel.h"

namespace tabsend {
namespace {

using testkit::Bytes;

// A scratch folder, removed with everything in it at the end.
using TempFolder = testkit::TempDir;

// One language source file: string i has lengths[i] bytes, byte j of it is byteOf(i, j).
struct Language {
    std::string name;
    int code;
    int version;
    std::vector<int> lengths;
    int seed;
    bool plainHex = false;  // "A5,07,..." instead of "0xA5,0x07,..."

    std::uint8_t byteOf(int i, int j) const {
        return static_cast<std::uint8_t>((seed * 131 + i * 29 + j * 7 + (j >> 3)) & 0xFF);
    }
    void writeTo(const std::string& path) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "[Laninfo]\r\nLanguage=" << name << "\r\nLanVer=" << version
            << "\r\nLanCode=" << code << "\r\nStrNum=" << lengths.size() << "\r\n";
        out << "[LanStrcodeBM]\r\n";
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const int n = lengths[i];
            out << "Str" << i << "BMLen=" << n << "\r\nStr" << i << "BMDispLine=" << (i % 3 + 1)
                << "\r\nStr" << i << "BMArray=";
            for (int j = 0; j < n; ++j) {
                const std::uint8_t b = byteOf(static_cast<int>(i), j);
                if (j) out << ',';
                if (!plainHex) out << "0x";
                out << kHex[b >> 4] << kHex[b & 15];
            }
            out << "\r\n";
        }
    }
};

class NullWindow : public WindowRefresh {
  public:
    void refreshLocked() override {}
};

// The Automatic port routines on the fake line.
class AutoPorts : public PortOpener {
  public:
    explicit AutoPorts(testkit::FakeSerialPort& port) : port_(port) {}
    bool OpenPort(std::uint8_t item) override {
        current_ = std::string(kAutoSettings.at(item - 1));
        return reopen(current_);
    }
    bool Download_Port_Open_57600() override { return reopen("57600,e,8,1"); }
    bool PortOpen() const override { return open_; }
    std::string CurrentSettings() const override { return current_; }
    bool AutoMode() const override { return true; }

  private:
    bool reopen(const std::string& settings) {
        if (port_.isOpen()) port_.close();
        open_ = port_.open("COM1", settings).ok();
        return open_;
    }
    testkit::FakeSerialPort& port_;
    std::string current_;
    bool open_ = false;
};

class EndToEnd : public ::testing::Test {
  protected:
    EndToEnd() : port(clock, &unit) {
        state.LanTablePath = dir.file("LanTable.ini");
        InitLanParam(state);
    }

    // Selects the three files and compiles them into LanTable.ini.
    void compile(const std::array<const Language*, 3>& slots) {
        testkit::RecordingBusyNotice notice;
        NullWindow window;
        testkit::CountingPump pump;
        LanCompiler compiler(state, texts, compileMessages, notice, window, pump);
        for (int s = 1; s <= 3; ++s) {
            if (!slots[s - 1]) continue;
            const std::string path = dir.file("lang" + std::to_string(s) + ".ini");
            slots[s - 1]->writeTo(path);
            ASSERT_EQ(compiler.SelectFile(s, path), SelectCheck::Accepted) << "slot " << s;
        }
        ASSERT_EQ(compiler.LanCompile(), kTrue) << ::testing::PrintToString(compileMessages.shown);
    }

    // Connect as the Connect button does it: first setting, search, then 57600,e,8,1.
    void connect(ModuleMain& mm) {
        ASSERT_TRUE(ports.OpenPort(1));
        link.master.MasterInit();
        ASSERT_EQ(mm.DeviceConnect(ports), kTrue);
        ASSERT_TRUE(ports.Download_Port_Open_57600());
    }

    // Every string of the slot sits in the unit's memory and index as compiled.
    void expectSlotInUnit(int slot, const Language& lang) {
        const std::string section = "Lan" + std::to_string(slot) + "Stringcode";
        const auto& index = unit.index(slot);
        ASSERT_EQ(index.size(), lang.lengths.size()) << "slot " << slot;
        std::uint32_t next = static_cast<std::uint32_t>(state.LanAreaBase(slot));
        for (std::size_t i = 0; i < lang.lengths.size(); ++i) {
            const std::string key = "Str" + std::to_string(i);
            const auto addr = static_cast<std::uint32_t>(
                std::stoul(ReadIniValue(section, key + "Addr", state.LanTablePath)));
            const auto len = static_cast<std::size_t>(lang.lengths[i]);
            ASSERT_EQ(addr, next) << "slot " << slot << " string " << i;
            next += static_cast<std::uint32_t>(len);

            const auto it = index.find(static_cast<std::uint16_t>(i));
            ASSERT_NE(it, index.end()) << "slot " << slot << " string " << i;
            EXPECT_EQ(it->second.addr, addr);
            EXPECT_EQ(it->second.len, len);
            EXPECT_EQ(it->second.dispLine, i % 3 + 1);

            const auto mem = unit.memory(addr, len);
            ASSERT_EQ(mem.size(), len);
            for (std::size_t j = 0; j < len; ++j) {
                ASSERT_EQ(mem[j], lang.byteOf(static_cast<int>(i), static_cast<int>(j)))
                    << "slot " << slot << " string " << i << " byte " << j;
            }
        }
        const dexsim::SlotInfo info = unit.slot(slot);
        EXPECT_EQ(info.totalStrings, lang.lengths.size());
        EXPECT_EQ(info.version, static_cast<std::uint32_t>(lang.version));
        EXPECT_EQ(info.languageCode, lang.code);
        EXPECT_GE(info.completes, 1);  // a lost acknowledgement makes it 2
    }

    TempFolder dir;
    testkit::VirtualClock clock;
    dexsim::DexioModel unit;  // serves 19200,e,8,1, then 57600,e,8,1 once connected
    testkit::FakeSerialPort port;
    testkit::RecordingMessages linkMessages;
    ModbusLink link{port, clock, clock.timer1(), linkMessages};
    SharedState state;
    testkit::RecordingProgress progress;
    testkit::MessagesWithBar messages{progress};
    testkit::RecordingMessages compileMessages;
    Messages texts = MessagesForLanguage(kUiEnglish);
    testkit::RecordingHost host;
    testkit::RecordingSlots display;
    AutoPorts ports{port};
};

Language english() {
    Language l{"English", 1, 7, {}, 1};
    for (int i = 0; i < 302; ++i) l.lengths.push_back(i % 9 + 1);
    l.lengths[0] = 255;
    l.lengths[1] = 256;
    l.lengths[2] = 510;
    l.lengths[300] = 300;  // string 300 in a head and packages
    l.lengths[301] = 40;
    return l;
}
Language german() {
    Language l{"German", 8, 20240131, {}, 2};
    for (int i = 0; i < 45; ++i) l.lengths.push_back((i * 37) % 200 + 1);
    l.lengths[10] = 511;  // three packages, the last of one byte
    return l;
}
Language spanish() {
    Language l{"Spanish", 4, 3, {}, 3, true};
    for (int i = 0; i < 20; ++i) l.lengths.push_back(i + 1);
    l.lengths[19] = 1001;  // the largest bitmap
    return l;
}

TEST_F(EndToEnd, ThreeSlotsLandByteForByte) {
    const Language l1 = english(), l2 = german(), l3 = spanish();
    compile({&l1, &l2, &l3});
    ModuleMain mm(state, link, {}, progress, messages, texts);  // the real INI reader
    connect(mm);

    mm.DownloadSequence(host);

    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Download complete!"}));
    EXPECT_EQ(messages.barAtShow, (std::vector<int>{100}));
    EXPECT_EQ(state.DownloadStep, 18);
    EXPECT_EQ(state.CommErrorCode, 0);
    EXPECT_EQ(unit.totalLanguages(), std::optional<std::uint8_t>(3));
    expectSlotInUnit(1, l1);
    expectSlotInUnit(2, l2);
    expectSlotInUnit(3, l3);
    EXPECT_EQ(unit.bitmapsReceived(1).at(300), 300u);
    EXPECT_EQ(unit.bitmapsReceived(3).at(19), 1001u);

    // Read-back shows what was loaded.
    mm.CompareBtn_Click(host, display);
    EXPECT_EQ(display.slot[1].version, "7");
    EXPECT_EQ(display.slot[1].language, "English");
    EXPECT_EQ(display.slot[2].version, "20240131");
    EXPECT_EQ(display.slot[2].language, "German");
    EXPECT_EQ(display.slot[3].language, "Spanish");
    for (int s = 1; s <= 3; ++s) {
        EXPECT_TRUE(display.slot[s].enabled);
        EXPECT_TRUE(display.slot[s].ticked);
        EXPECT_EQ(display.slot[s].colour, ColorGreen);
    }

    // Switching slot 2 out of operation and reading back.
    display.onClick = [&](int n) { mm.Operation_Click(n, host, display); };
    display.slot[2].ticked = false;  // the user's click
    mm.Operation_Click(2, host, display);
    EXPECT_FALSE(unit.slot(2).inOperation);
    EXPECT_EQ(display.slot[2].colour, ColorYellow);
    EXPECT_FALSE(display.slot[2].ticked);
}

TEST_F(EndToEnd, OnlySlot2DueLeavesTheOtherSlotsAlone) {
    const Language l2 = german();
    compile({nullptr, &l2, nullptr});
    ASSERT_EQ(state.LanSetFlag1, kFalse);
    ASSERT_EQ(state.LanSetFlag2, kTrue);
    ModuleMain mm(state, link, {}, progress, messages, texts);
    connect(mm);

    mm.DownloadSequence(host);

    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Download complete!"}));
    expectSlotInUnit(2, l2);
    EXPECT_EQ(unit.slot(1).erases, 0);
    EXPECT_EQ(unit.slot(3).erases, 0);
    EXPECT_TRUE(unit.index(1).empty());
    EXPECT_EQ(unit.totalLanguages(), std::optional<std::uint8_t>(1));
}

// Lost, damaged and refused replies now and then: the tries absorb them and the unit still
// ends up with every byte.
TEST_F(EndToEnd, SeededFaultsAreAbsorbedByTheTries) {
    const Language l1 = english(), l3 = spanish();
    compile({&l1, nullptr, &l3});
    ModuleMain mm(state, link, {}, progress, messages, texts);
    connect(mm);
    dexsim::FaultConfig faults;
    faults.drop.probability = 0.03;
    faults.corrupt.probability = 0.03;
    faults.wrongEcho.probability = 0.02;
    faults.exception.probability = 0.02;
    unit.setFaults(faults, 7);
    int faulted = 0;
    unit.setObserver([&](const dexsim::Exchange& ex) { faulted += ex.faults.empty() ? 0 : 1; });

    mm.DownloadSequence(host);

    EXPECT_GT(faulted, 20);

    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Download complete!"}));
    expectSlotInUnit(1, l1);
    expectSlotInUnit(3, l3);
}

TEST_F(EndToEnd, AUnitThatStopsAnsweringEndsInATimeoutAndADisconnect) {
    const Language l1 = english();
    compile({&l1, nullptr, nullptr});
    ModuleMain mm(state, link, {}, progress, messages, texts);
    connect(mm);
    dexsim::FaultConfig faults;
    faults.stopAfter = 40;  // counted from here: in the middle of the string index
    unit.setFaults(faults, 1);
    host.onPortClose = [&] { mm.DeviceDisconnect(); };

    mm.DownloadSequence(host);

    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Communication timeout!"}));
    EXPECT_EQ(state.CommErrorCode, ErrTimeout);
    EXPECT_EQ(state.DownloadStep, 9);
    EXPECT_EQ(host.calls.back(), "compare-");
    EXPECT_EQ(progress.itemInfos.back(), "Disconnect!");
    EXPECT_EQ(progress.value, 0);
}

}  // namespace
}  // namespace tabsend
