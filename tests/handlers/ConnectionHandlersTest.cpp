#include "handlers/ConnectionHandlers.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/support/FakeSerialPort.h"
#include "tests/support/RecordingSeams.h"
#include "tests/support/VirtualClock.h"
#include "tools/sim/DexioModel.h"

namespace tabsend {
namespace {

using testkit::FakeSerialPort;
using testkit::RecordingMessages;
using testkit::RecordingProgress;
using testkit::VirtualClock;

class RecordingControls : public MainControls {
  public:
    void setEnabled(Control c, bool e) override { enabled[c] = e; }
    void setOperationsVisible(bool v) override { operationsVisible = v; }
    void combosChanged() override { ++comboUpdates; }
    std::map<Control, bool> enabled;
    bool operationsVisible = false;
    int comboUpdates = 0;
};

dexsim::DexioConfig unitAt(LineSettings line) {
    dexsim::DexioConfig c;
    c.line = line;
    return c;
}

struct Rig {
    explicit Rig(dexsim::DexioConfig config = unitAt({19200, Parity::None, 8, 2})) : unit(config) {
        InitLanParam(state);
        control.InitCommCombos();
        control.SetAutoMode();
    }

    VirtualClock clock;
    dexsim::DexioModel unit;
    FakeSerialPort port{clock, &unit};
    RecordingMessages messages;
    RecordingProgress progress;
    Messages texts = MessagesForLanguage(kUiEnglish);
    SharedState state;
    ModbusLink link{port, clock, clock.timer1(), messages};
    PortControl control{port, messages, [](int n) { return "COM" + std::to_string(n); }};
    ModuleMain main{state, link, {}, progress, messages, texts};
    RecordingControls controls;
    ConnectionHandlers handlers{state, control, link, main, messages, texts, controls};
};

TEST(ConnectButton, AutomaticSearchConnectsAndMovesToTheDownloadSpeed) {
    Rig rig;
    rig.handlers.PortOpenbtn_Click();
    EXPECT_TRUE(rig.handlers.Connected());
    EXPECT_EQ(rig.handlers.lastConnect(), ConnectionHandlers::ConnectOutcome::Connected);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.port.settings(), "57600,e,8,1");
    // The settings were tried in the table's order up to the one the unit answers at.
    std::vector<std::string> tried;
    for (const auto& o : rig.port.opens()) tried.push_back(o.settings);
    EXPECT_EQ(tried, (std::vector<std::string>{"9600,e,8,1", "9600,n,8,2", "19200,e,8,1",
                                               "19200,n,8,2", "57600,e,8,1"}));
    EXPECT_FALSE(rig.controls.enabled[MainControls::PortOpenbtn]);
    EXPECT_TRUE(rig.controls.enabled[MainControls::PortClose]);
    EXPECT_TRUE(rig.controls.enabled[MainControls::Downloadbtn]);
    EXPECT_TRUE(rig.controls.enabled[MainControls::CompareBtn]);
    EXPECT_TRUE(rig.controls.operationsVisible);
    for (bool e : rig.control.combos.enabled) EXPECT_FALSE(e);
    EXPECT_EQ(rig.state.CommBusy, kFalse);
}

TEST(ConnectButton, PortThatCannotOpenShowsOnlyThatAndSendsNothing) {
    Rig rig;
    rig.port.setMissing("COM1");
    rig.handlers.PortOpenbtn_Click();
    // The system's text first, then the port and the reason on their own line.
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    const std::string& shown = rig.messages.shown[0];
    EXPECT_EQ(shown.substr(0, shown.find('\n')), "Can not open COM port!");
    EXPECT_EQ(shown.substr(shown.find('\n') + 1), rig.control.lastOpenError().description);
    EXPECT_FALSE(rig.control.lastOpenError().description.empty());
    EXPECT_EQ(rig.handlers.lastConnect(), ConnectionHandlers::ConnectOutcome::CannotOpenPort);
    EXPECT_TRUE(rig.port.written().empty());
    EXPECT_FALSE(rig.clock.timerActive());  // the engine was not initialised
    EXPECT_TRUE(rig.controls.enabled[MainControls::PortOpenbtn]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::PortClose]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::Downloadbtn]);
}

TEST(ConnectButton, NoAnswerAnywhereEndsNotConnectedWithThePortClosed) {
    Rig rig(unitAt({115200, Parity::Even, 8, 1}));  // a setting the search never tries
    rig.handlers.PortOpenbtn_Click();
    EXPECT_EQ(rig.messages.shown, (std::vector<std::string>{"Can not establish the connection!"}));
    EXPECT_EQ(rig.handlers.lastConnect(), ConnectionHandlers::ConnectOutcome::NoAnswer);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(isTrue(rig.control.PortOpen));
    EXPECT_EQ(rig.port.written().size(), 16u);  // eight settings, two tries each
    EXPECT_TRUE(rig.controls.enabled[MainControls::PortOpenbtn]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::Downloadbtn]);
}

TEST(ConnectButton, LosingTheDownloadSpeedAfterAnAnswerFallsBackToNotConnected) {
    Rig rig;
    rig.port.refuseSettings("57600,e,8,1");
    rig.handlers.PortOpenbtn_Click();
    EXPECT_FALSE(rig.handlers.Connected());
    EXPECT_EQ(rig.handlers.lastConnect(), ConnectionHandlers::ConnectOutcome::LostDownloadSpeed);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].rfind("Can not open COM port!\n", 0), 0u)
        << rig.messages.shown[0];
    EXPECT_EQ(rig.messages.shown[0].substr(rig.messages.shown[0].find('\n') + 1),
              rig.control.lastOpenError().description);
    EXPECT_TRUE(rig.controls.enabled[MainControls::PortOpenbtn]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::Downloadbtn]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::CompareBtn]);
    EXPECT_FALSE(rig.controls.operationsVisible);
    EXPECT_TRUE(rig.control.combos.enabled[0]);
}

TEST(ConnectButton, ManualModeTriesTheUsersSettingThenTheDownloadSpeed) {
    Rig rig(unitAt({57600, Parity::Even, 8, 1}));
    rig.control.SetModeOpt_Click(1);
    rig.control.combos.Combo2 = "9600";
    rig.handlers.PortOpenbtn_Click();
    EXPECT_TRUE(rig.handlers.Connected());
    std::vector<std::string> tried;
    for (const auto& o : rig.port.opens()) tried.push_back(o.settings);
    EXPECT_EQ(tried, (std::vector<std::string>{"9600,E,8,1", "57600,e,8,1", "57600,e,8,1"}));
    EXPECT_EQ(rig.control.CurrentSettings, "9600,E,8,1");
}

TEST(ConnectButton, DoesNothingWhileAnExchangeRuns) {
    Rig rig;
    rig.state.CommBusy = kTrue;
    rig.handlers.PortOpenbtn_Click();
    EXPECT_TRUE(rig.port.opens().empty());
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(DisconnectButton, SendsOneRequestAndReturnsToNotConnected) {
    Rig rig;
    rig.handlers.PortOpenbtn_Click();
    ASSERT_TRUE(rig.handlers.Connected());
    const auto sentBefore = rig.port.written().size();
    rig.handlers.PortClose_Click();
    ASSERT_EQ(rig.port.written().size(), sentBefore + 1);
    EXPECT_EQ(rig.port.written().back().bytes,
              (std::vector<std::uint8_t>{0x21, 0x7E, 0x00, 0x00, 0x6A}));
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(rig.handlers.Connected());
    EXPECT_TRUE(rig.controls.enabled[MainControls::PortOpenbtn]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::PortClose]);
    EXPECT_FALSE(rig.controls.enabled[MainControls::CompareBtn]);
    EXPECT_FALSE(rig.controls.operationsVisible);
    EXPECT_TRUE(rig.control.combos.enabled[0]);
    EXPECT_EQ(rig.progress.lastItemInfo(), "Disconnect!");
}

TEST(DisconnectButton, AUnitThatDoesNotAnswerStillEndsTheConnectionWithoutAMessage) {
    Rig rig;
    rig.handlers.PortOpenbtn_Click();
    ASSERT_TRUE(rig.handlers.Connected());
    dexsim::FaultConfig silent;
    silent.stopAfter = 0;
    rig.unit.setFaults(silent, 1);
    const auto sentBefore = rig.port.written().size();
    rig.handlers.PortClose_Click();
    EXPECT_EQ(rig.port.written().size(), sentBefore + 1);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_TRUE(rig.controls.enabled[MainControls::PortOpenbtn]);
}

}  // namespace
}  // namespace tabsend
