// The connect search over the line settings and the disconnect request.

#include <gtest/gtest.h>

#include "link/PortControl.h"
#include "tests/download/DownloadRig.h"

namespace tabsend {
namespace {

using testkit::Bytes;
using testkit::DownloadRig;
using testkit::UnitAnswer;
using testkit::UnitRequest;

using Texts = std::vector<std::string>;

// The port routines over the fake line: the Automatic table or the user's settings.
class FakePorts : public PortOpener {
  public:
    FakePorts(testkit::FakeSerialPort& port, bool autoMode, std::string userSettings = "")
        : port_(port), auto_(autoMode), user_(std::move(userSettings)) {}

    bool OpenPort(std::uint8_t item) override {
        calls.push_back("OpenPort(" + std::to_string(item) + ")");
        const std::string settings = auto_ ? std::string(kAutoSettings.at(item - 1)) : user_;
        current_ = settings;
        return reopen(settings);
    }
    bool Download_Port_Open_57600() override {
        calls.push_back("57600");
        return reopen("57600,e,8,1");
    }
    bool PortOpen() const override { return open_; }
    std::string CurrentSettings() const override { return current_; }
    bool AutoMode() const override { return auto_; }

    std::vector<std::string> calls;

  private:
    bool reopen(const std::string& settings) {
        if (port_.isOpen()) port_.close();
        open_ = port_.open("COM1", settings).ok();
        return open_;
    }
    testkit::FakeSerialPort& port_;
    bool auto_;
    std::string user_;
    std::string current_;
    bool open_ = false;
};

LineSettings line(const char* text) {
    return *parseLineSettings(text);
}

class Connect : public ::testing::Test {
  protected:
    Connect() {
        rig.port.close();
        rig.link.driver.SetResponseTimeout(1400);
    }
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    const std::vector<UnitRequest>& reqs = rig.unit.requests;
};

TEST_F(Connect, AutomaticFindsAUnitAt19200NoParityTwoStopBits) {
    rig.unit.servedSettings = {line("19200,n,8,2")};
    FakePorts ports(rig.port, true);
    ASSERT_TRUE(ports.OpenPort(1));  // the Connect button's first opening
    ports.calls.clear();

    EXPECT_EQ(mm.DeviceConnect(ports), kTrue);

    EXPECT_EQ(rig.progress.itemInfos,
              (Texts{"Connection start....", "9600,e,8,1", "Connection Failed!",
                     "Connection start....", "9600,n,8,2", "Connection Failed!",
                     "Connection start....", "19200,e,8,1", "Connection Failed!",
                     "Connection start....", "19200,n,8,2", "Connection established!"}));
    EXPECT_EQ(ports.calls, (Texts{"OpenPort(2)", "OpenPort(3)", "OpenPort(4)"}));
    ASSERT_EQ(reqs.size(), 7u);
    const char* at[] = {"9600,e,8,1",  "9600,e,8,1",  "9600,n,8,2", "9600,n,8,2",
                        "19200,e,8,1", "19200,e,8,1", "19200,n,8,2"};
    for (std::size_t i = 0; i < reqs.size(); ++i) {
        EXPECT_EQ(reqs[i].settings, line(at[i])) << i;
        EXPECT_EQ(reqs[i].func, 0x7E);
        EXPECT_EQ(reqs[i].data, Bytes{0x01});
        EXPECT_EQ(reqs[i].responseTimeout, 20);
        EXPECT_EQ(reqs[i].commBusy, kTrue);
    }
    // The second try at a setting follows the 20-tick timeout at once, without a pause.
    const auto gap = reqs[1].tick - reqs[0].tick;
    EXPECT_GE(gap, 20);
    EXPECT_LE(gap, 22);
    EXPECT_EQ(rig.state.CommBusy, kFalse);
    EXPECT_EQ(rig.progress.value, 0);
}

TEST_F(Connect, ManualTriesTheUsersSettingThen57600) {
    rig.unit.servedSettings = {line("57600,e,8,1")};
    FakePorts ports(rig.port, false, "9600,N,8,2");
    ASSERT_TRUE(ports.OpenPort(1));
    ports.calls.clear();

    EXPECT_EQ(mm.DeviceConnect(ports), kTrue);

    EXPECT_EQ(rig.progress.itemInfos,
              (Texts{"Connection start....", "9600,N,8,2", "Connection start....", "9600,N,8,2",
                     "Connection established!"}));
    EXPECT_EQ(ports.calls, (Texts{"57600"}));
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_EQ(reqs[1].settings, line("9600,n,8,2"));
    EXPECT_EQ(reqs[2].settings, line("57600,e,8,1"));
}

TEST_F(Connect, ManualWithoutAnswerGivesUpAfterFourTries) {
    FakePorts ports(rig.port, false, "19200,E,8,1");
    ports.OpenPort(1);
    rig.unit.servedSettings = {line("38400,e,8,1")};
    EXPECT_EQ(mm.DeviceConnect(ports), kFalse);
    EXPECT_EQ(reqs.size(), 4u);
    for (const auto& t : rig.progress.itemInfos) EXPECT_NE(t, "Connection Failed!");
    EXPECT_EQ(rig.state.CommBusy, kFalse);
}

TEST_F(Connect, AutomaticWithoutAnswerTriesAllEightSettingsTwice) {
    FakePorts ports(rig.port, true);
    ports.OpenPort(1);
    rig.unit.servedSettings = {line("115200,e,8,1")};
    EXPECT_EQ(mm.DeviceConnect(ports), kFalse);
    EXPECT_EQ(reqs.size(), 16u);
    EXPECT_EQ(reqs.back().settings, line("57600,n,8,2"));
    int failed = 0;
    for (const auto& t : rig.progress.itemInfos) failed += t == "Connection Failed!";
    EXPECT_EQ(failed, 8);
    EXPECT_EQ(ports.calls.back(), "OpenPort(8)");
}

TEST_F(Connect, ASettingThatCannotBeOpenedEndsTheSearch) {
    FakePorts ports(rig.port, true);
    ports.OpenPort(1);
    rig.unit.servedSettings = {line("57600,n,8,2")};
    rig.port.refuseSettings("9600,n,8,2");
    EXPECT_EQ(mm.DeviceConnect(ports), kFalse);
    EXPECT_EQ(reqs.size(), 2u);
    EXPECT_EQ(ports.calls.back(), "OpenPort(2)");
    EXPECT_EQ(rig.state.CommBusy, kFalse);
}

class ConnectWrongReply : public Connect, public ::testing::WithParamInterface<UnitAnswer> {};

// Two such replies at the first setting fail it; the unit's right answer at the second
// completes the connect.
TEST_P(ConnectWrongReply, IsAFailedTry) {
    const UnitAnswer wrong = GetParam();
    rig.unit.script = [wrong](const UnitRequest&, std::size_t n) {
        return n < 2 ? wrong : UnitAnswer::normal();
    };
    FakePorts ports(rig.port, true);
    ports.OpenPort(1);
    ports.calls.clear();
    EXPECT_EQ(mm.DeviceConnect(ports), kTrue);
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_LE(reqs[1].tick - reqs[0].tick, 5) << "tried again at once";
    EXPECT_EQ(ports.calls, (Texts{"OpenPort(2)"}));
    EXPECT_EQ(rig.progress.itemInfos.at(2), "Connection Failed!");
}

INSTANTIATE_TEST_SUITE_P(Replies, ConnectWrongReply,
                         ::testing::Values(UnitAnswer::raw(0x7E, {0x01}),
                                           UnitAnswer::raw(0x7E, {0x02, 0x00}),
                                           UnitAnswer::raw(0x7D, {0x02}), UnitAnswer::exception(),
                                           UnitAnswer::damaged()));

// ---- disconnect ----

class Disconnect : public ::testing::Test {
  protected:
    DownloadRig rig;
    ModuleMain& mm = rig.mm;
    const std::vector<UnitRequest>& reqs = rig.unit.requests;
};

TEST_F(Disconnect, WithoutAnswerSendsOneRequestAndPauses) {
    rig.unit.script = [](const UnitRequest&, std::size_t) { return UnitAnswer::silent(); };
    rig.mm.ProgressValue = 70;
    const auto start = rig.clock.ticks();

    EXPECT_EQ(mm.DeviceDisconnect(), kFalse);

    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].func, 0x7E);
    EXPECT_EQ(reqs[0].data, Bytes{0x00});
    EXPECT_EQ(reqs[0].responseTimeout, 20);
    EXPECT_EQ(reqs[0].commBusy, kTrue);
    const auto elapsed = rig.clock.ticks() - start;
    EXPECT_GE(elapsed, 26);  // 20-tick timeout and the 6-tick pause
    EXPECT_LE(elapsed, 28);
    EXPECT_EQ(rig.progress.itemInfos, (Texts{"Disconnect Start!", "Disconnect!"}));
    EXPECT_EQ(rig.progress.value, 0);
    EXPECT_EQ(rig.state.CommBusy, kFalse);
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(Disconnect, AcceptsOnlyTheEchoedZero) {
    EXPECT_EQ(mm.DeviceDisconnect(), kTrue);
    rig.unit.script = [](const UnitRequest&, std::size_t) { return UnitAnswer::raw(0x7E, {2}); };
    const auto start = rig.clock.ticks();
    EXPECT_EQ(mm.DeviceDisconnect(), kFalse);
    EXPECT_LE(rig.clock.ticks() - start, 5) << "no pause after an intact reply";
    EXPECT_EQ(reqs.size(), 2u);
}

}  // namespace
}  // namespace tabsend
