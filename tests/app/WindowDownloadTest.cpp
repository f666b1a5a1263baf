// A download driven through the main window's buttons against dexio-sim on a
// pseudo-terminal, and the window closed in the middle of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <thread>

#include "shell/Captions.h"
#include "tests/app/WindowRig.h"
#include "tests/e2e/E2eSupport.h"

namespace tabsend::apptest {
namespace {

using namespace std::chrono_literals;

// Com1 of the port list stands for the simulator's terminal while the test runs.
class Com1Mapped {
  public:
    explicit Com1Mapped(const std::string& device) { ::setenv("TABSEND_COM1", device.c_str(), 1); }
    ~Com1Mapped() { ::unsetenv("TABSEND_COM1"); }
};

class WindowDownload : public e2e::E2eTest {};

TEST_F(WindowDownload, ThreeSlotsThroughTheButtonsReachTheUnitByteExact) {
    e2e::Simulator& sim = StartSim({"--settings", "9600,n,8,2", "--erase-ms", "50"});
    ASSERT_TRUE(sim.ok());
    Com1Mapped com1(sim.pty());
    const std::vector<fs::path> sources = SmallSlots();
    WindowRig rig(Dir());
    rig.form().ApplyLanguage(SetEnglish());
    for (int n = 1; n <= 3; ++n) {
        rig.dialog.answers.push_back(sources[static_cast<std::size_t>(n - 1)].string());
        rig.click(("Select" + std::to_string(n)).c_str());
    }
    rig.click("Setbtn");
    rig.click("PortOpenbtn");
    EXPECT_TRUE(rig.get("Downloadbtn")->isEnabled());
    EXPECT_FALSE(rig.get("PortOpenbtn")->isEnabled());
    EXPECT_FALSE(rig.get("Combo1")->isEnabled());
    rig.click("Downloadbtn");

    ASSERT_FALSE(rig.messages.shown.empty());
    const ShownMessage& outcome = rig.messages.shown.back();
    EXPECT_EQ(outcome.text, "Download complete!");
    EXPECT_EQ(outcome.progressValue, outcome.progressMax) << "the bar stands at its end";
    EXPECT_EQ(rig.get<QProgressBar>("ProgressBar1")->value(), 0) << "and goes back to 0 after";
    EXPECT_EQ(rig.form().state().DownloadStep, 18);
    EXPECT_TRUE(rig.get("CompareBtn")->isEnabled());

    rig.click("CompareBtn");
    EXPECT_EQ(rig.text("Lan1Code"), "English");
    EXPECT_EQ(rig.text("Lan2Code"), "German");
    EXPECT_EQ(rig.text("Lan3Ver"), "5");
    EXPECT_TRUE(rig.get("Operation2")->isEnabled());

    rig.click("PortClose");
    EXPECT_TRUE(rig.get("PortOpenbtn")->isEnabled());
    EXPECT_TRUE(sim.waitUntilLineReleased(5000ms));
    ASSERT_EQ(sim.stop(), 0);
    EXPECT_TRUE(e2e::MemoryHoldsSources(sim.memory(), sim.indexText(), Table(), sources));
}

TEST_F(WindowDownload, APortLostDuringTheEraseGivesOneLineMessageAndTheTimeout) {
    e2e::Simulator& sim = StartSim({"--erase-ms", "4000"});
    ASSERT_TRUE(sim.ok());
    Com1Mapped com1(sim.pty());
    WindowRig rig(Dir());
    rig.form().ApplyLanguage(SetEnglish());
    rig.dialog.answers.push_back(SmallSlots()[0].string());
    rig.click("Select1");
    rig.click("Setbtn");
    rig.click("PortOpenbtn");
    ASSERT_TRUE(rig.get("Downloadbtn")->isEnabled());
    rig.messages.shown.clear();
    // The unit goes away in the middle of the erase.
    QTimer::singleShot(1000, [&sim] { sim.stop(); });
    const auto start = std::chrono::steady_clock::now();
    rig.click("Downloadbtn");
    const auto took = std::chrono::steady_clock::now() - start;

    const auto texts = rig.messages.texts();
    ASSERT_EQ(texts.size(), 2u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0].rfind("data ", 0), 0u) << "one message about the line: " << texts[0];
    EXPECT_EQ(texts[1], "Communication timeout!");
    EXPECT_LT(took, 3500ms) << "the loss ends the wait, not the erase timeout";
    EXPECT_TRUE(rig.get("PortOpenbtn")->isEnabled()) << "disconnected after the timeout";
    EXPECT_FALSE(rig.get("CompareBtn")->isEnabled());
}

// The real program, scripted: "Done", select, compile, connect, download, and the window
// closed when the bar passes 40 %.
TEST_F(WindowDownload, ClosingTheWindowMidDownloadEndsTheProgramAndSendsNothingMore) {
    e2e::Simulator& sim = StartSim({"--erase-ms", "50"});
    ASSERT_TRUE(sim.ok());
    const fs::path programDir = Dir() / "Normal";
    fs::create_directories(programDir);
    fs::copy_file(TABSEND_PROGRAM_PATH, programDir / "Tabsend");
    const fs::path english =
        Write("big.ini", e2e::GeneratedSource(400, 50, 200, 7, 1, "English", "1"));
    Write("LanTable.ini", "");  // the start-up check looks in the working folder

    const fs::path before = fs::current_path();
    fs::current_path(Dir());
    ::setenv("TABSEND_COM1", sim.pty().c_str(), 1);
    ::setenv("TABSEND_AUTOMATE",
             ("Command1;Select1=" + english.string() +
              ";Setbtn;PortOpenbtn;closeWhenProgress=40;Downloadbtn;quit")
                 .c_str(),
             1);
    e2e::Process tabsend({(programDir / "Tabsend").string()}, Dir() / "out.txt", Dir() / "err.txt");
    ::unsetenv("TABSEND_AUTOMATE");
    ::unsetenv("TABSEND_COM1");
    fs::current_path(before);

    const auto status = tabsend.wait(60'000ms);
    ASSERT_TRUE(status.has_value()) << "still running";
    EXPECT_EQ(*status, 0) << e2e::ReadFile(Dir() / "err.txt");
    const auto err = e2e::ReadFile(Dir() / "err.txt");
    EXPECT_TRUE(e2e::Contains(err, "message:   Set complete!")) << err;
    EXPECT_FALSE(e2e::Contains(err, "Download complete!")) << err;

    const std::size_t atExit = sim.accepted().size();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sim.accepted().size(), atExit) << "a request after the window was closed";
    std::size_t transfers = 0;
    bool complete = false;
    bool disconnect = false;
    for (const auto& e : sim.accepted()) {
        if (e.kind == "index" || e.kind == "bitmap" || e.kind == "head" || e.kind == "package") {
            ++transfers;
        }
        complete = complete || e.kind == "complete";
        disconnect = disconnect || e.kind == "disconnect";
    }
    EXPECT_GT(transfers, 0u) << "closed in the middle of the transfer";
    EXPECT_LT(transfers, 800u);
    EXPECT_FALSE(complete);
    EXPECT_FALSE(disconnect) << "closing sends no disconnect request";
}

}  // namespace
}  // namespace tabsend::apptest
