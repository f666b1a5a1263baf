// Downloads that cannot finish: the unit falls silent in the middle of the bitmaps, the user
// presses Ctrl-C, the file for slot 1 is not English.

#include <signal.h>

#include <chrono>
#include <thread>

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
using FailureE2e = E2eTest;

// "slot 1 status 0x.. present . in_operation . ... completes N" of the unit's index.
std::string SlotLine(const std::string& index, int slot) {
    const std::string head = "\nslot " + std::to_string(slot) + " status";
    const auto at = index.find(head);
    if (at == std::string::npos) return {};
    return index.substr(at + 1, index.find('\n', at + 1) - at - 1);
}

TEST_F(FailureE2e, UnitFallingSilentDuringTheBitmapsEndsInTimeoutAndReleasesThePort) {
    // Before the bitmaps the unit takes: connect, identification, 3 erases, the assembly
    // information, 3 x 3 language information items and one index entry per string.
    const std::vector<fs::path> sources{
        Write("en.ini", GeneratedSource(6, 5, 40, 31, 1, "English", "1")),
        Write("de.ini", GeneratedSource(3, 5, 40, 32, 8, "German", "1")),
        Write("fr.ini", GeneratedSource(3, 5, 40, 33, 2, "French", "1"))};
    const int beforeBitmaps = 1 + 1 + 3 + 1 + 9 + (6 + 3 + 3);
    // Three of slot 1's six bitmaps get through; the margin keeps the stop inside slot 1's
    // bitmaps even if a slow moment costs a retry earlier on.
    const int answered = beforeBitmaps + 3;
    Simulator& sim = StartSim({"--erase-ms", "30", "--stop-after", std::to_string(answered)});
    ASSERT_TRUE(sim.ok());

    const CliRun run = Cli(DownloadArgs(sim.pty(), sources));
    EXPECT_EQ(run.status, 6) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, "Communication timeout!")) << run.err;
    EXPECT_FALSE(Contains(run.out + run.err, "Download complete!")) << run.out;

    // The tool has gone and let go of the line.
    EXPECT_TRUE(sim.waitUntilLineReleased(std::chrono::seconds(3))) << sim.log();
    ASSERT_EQ(sim.stop(), 0);

    // The first unanswered request is one of slot 1's bitmaps; it was tried six times, then
    // nothing but the disconnect followed, and no slot was completed.
    const auto accepted = sim.accepted();
    const auto stuck = std::find_if(accepted.begin(), accepted.end(),
                                    [](const LogEntry& e) { return e.faults == "stopped"; });
    ASSERT_NE(stuck, accepted.end()) << sim.log();
    EXPECT_EQ(stuck->kind, "bitmap");
    ASSERT_GE(stuck->request.size(), 5u);
    EXPECT_EQ(stuck->request[2], 7) << "not a bitmap of slot 1";
    const std::vector<LogEntry> after(stuck, accepted.end());
    ASSERT_EQ(after.size(), 7u) << sim.log();
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(after[i].request, stuck->request);
    EXPECT_EQ(after[6].kind, "disconnect");
    for (const LogEntry& e : accepted) EXPECT_NE(e.kind, "complete") << "request #" << e.number;

    // The progress named the same string in its last try.
    const int string = (stuck->request[3] << 8) | stuck->request[4];
    const std::string lastTry =
        "Try No. 5,Language 1,string code " + std::to_string(string) + "bitmap data";
    const auto lines = OutputLines(run.out);
    EXPECT_NE(FindLine(lines, lastTry), lines.end()) << run.out;
    EXPECT_TRUE(Contains(SlotLine(sim.indexText(), 1), "completes 0")) << sim.indexText();
}

TEST_F(FailureE2e, CtrlCDuringADownloadEndsTheToolPromptlyWithItsMessage) {
    Simulator& sim = StartSim({"--erase-ms", "30"});
    ASSERT_TRUE(sim.ok());
    const std::vector<fs::path> sources{
        Write("en.ini", GeneratedSource(60, 20, 300, 41, 1, "English", "1")),
        Write("de.ini", GeneratedSource(3, 5, 40, 42, 8, "German", "1")),
        Write("fr.ini", GeneratedSource(3, 5, 40, 43, 2, "French", "1"))};

    const std::vector<std::string> args = DownloadArgs(sim.pty(), sources);
    std::vector<std::string> argv{CliProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    Process cli(argv, Dir() / "cli.out", Dir() / "cli.err");
    ASSERT_TRUE(cli.started());

    // Wait until the bitmaps are on their way.
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    bool inBitmaps = false;
    while (!inBitmaps && Clock::now() < deadline && !cli.wait(Millis(0))) {
        inBitmaps = Contains(ReadFile(Dir() / "cli.out"), "bitmap data");
        if (!inBitmaps) std::this_thread::sleep_for(Millis(5));
    }
    ASSERT_TRUE(inBitmaps) << ReadFile(Dir() / "cli.out");

    const auto pressed = Clock::now();
    cli.signal(SIGINT);
    const auto status = cli.wait(std::chrono::seconds(5));
    const double seconds = std::chrono::duration<double>(Clock::now() - pressed).count();
    ASSERT_TRUE(status.has_value()) << "still running 5 s after Ctrl-C";
    EXPECT_EQ(*status, 130);
    EXPECT_LT(seconds, 2.0);
    const std::string out = ReadFile(Dir() / "cli.out");
    const std::string err = ReadFile(Dir() / "cli.err");
    EXPECT_TRUE(Contains(err, "Interrupted: the port is closed. A download that was cut off"))
        << err;
    EXPECT_FALSE(Contains(out + err, "Download complete!")) << out;

    EXPECT_TRUE(sim.waitUntilLineReleased(std::chrono::seconds(2))) << sim.log();
    ASSERT_EQ(sim.stop(), 0);
    // The slot that was cut off was never declared complete.
    EXPECT_TRUE(Contains(SlotLine(sim.indexText(), 1), "completes 0")) << sim.indexText();
}

// A unit that answers every read with the echo byte alone: nothing of it is taken as a
// value, the reads are tried and the command fails.
TEST_F(FailureE2e, ReadRepliesShorterThanTheReadAreDamagedAndFailTheCommand) {
    Simulator& sim = StartSim({"--slot1", "in-operation", "--short", "1"});
    ASSERT_TRUE(sim.ok());
    const CliRun run = Cli({"read", "--port", sim.pty()});
    EXPECT_EQ(run.status, 6) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, "Communication timeout!")) << run.out << run.err;
    EXPECT_FALSE(Contains(run.out, "present, not switchable")) << run.out;
    ASSERT_EQ(sim.stop(), 0);
    int shortened = 0;
    for (const LogEntry& e : sim.accepted()) shortened += e.faults == "short";
    EXPECT_EQ(shortened, 6) << sim.log();  // the status read of slot 1, six tries
}

// Another device answers the first status read: its frame is ignored, the host waits out
// the timeout and its second try gets the unit's answer.
TEST_F(FailureE2e, AReplyFromAnotherAddressIsIgnoredAndTheReadTriesAgain) {
    Simulator& sim = StartSim({"--slot1", "in-operation", "--foreign-nth", "2"});
    ASSERT_TRUE(sim.ok());
    const CliRun run = Cli({"read", "--port", sim.pty()});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const auto table = LastSlotTable(run.out);
    ASSERT_EQ(table.size(), 3u) << run.out;
    EXPECT_EQ(table[0].state, "in operation") << run.out;
    ASSERT_EQ(sim.stop(), 0);
    const auto accepted = sim.accepted();
    ASSERT_GE(accepted.size(), 3u) << sim.log();
    EXPECT_EQ(accepted[1].faults, "foreign") << sim.log();
    EXPECT_EQ(accepted[1].reply.at(0), 7);
    EXPECT_EQ(accepted[2].request, accepted[1].request) << "tried again";
}

// The unit goes away in the middle of a long erase: the tool notices at once, says so once,
// and neither tries again nor sends a disconnect.
TEST_F(FailureE2e, ALineLostDuringALongEraseIsToldOnceAndAtOnce) {
    Simulator& sim = StartSim({"--erase-ms", "12000"});
    ASSERT_TRUE(sim.ok());
    const std::vector<std::string> args = DownloadArgs(sim.pty(), SmallSlots());
    std::vector<std::string> argv{CliProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    Process cli(argv, Dir() / "cli.out", Dir() / "cli.err");
    ASSERT_TRUE(cli.started());

    const auto deadline = Clock::now() + std::chrono::seconds(30);
    bool erasing = false;
    while (!erasing && Clock::now() < deadline && !cli.wait(Millis(0))) {
        erasing = Contains(ReadFile(Dir() / "cli.out"), "Erase language1");
        if (!erasing) std::this_thread::sleep_for(Millis(5));
    }
    ASSERT_TRUE(erasing) << ReadFile(Dir() / "cli.out");
    std::this_thread::sleep_for(Millis(500));

    const auto lost = Clock::now();
    ASSERT_EQ(sim.stop(), 0);
    const auto status = cli.wait(std::chrono::seconds(10));
    const double seconds = std::chrono::duration<double>(Clock::now() - lost).count();
    ASSERT_TRUE(status.has_value()) << "still running 10 s after the line was lost";
    EXPECT_EQ(*status, 6);
    EXPECT_LT(seconds, 2.0) << "not noticed at once";
    const std::string all = ReadFile(Dir() / "cli.out") + ReadFile(Dir() / "cli.err");
    std::size_t told = 0;
    for (std::size_t at = all.find("data receive error！"); at != std::string::npos;
         at = all.find("data receive error！", at + 1))
        ++told;
    EXPECT_EQ(told, 1u) << all;
    EXPECT_FALSE(Contains(all, "data send error")) << all;
    EXPECT_TRUE(Contains(all, "Communication timeout!")) << all;
    const auto lines = OutputLines(all);
    EXPECT_EQ(FindLine(lines, "Disconnect!"), lines.end()) << all;
}

TEST_F(FailureE2e, CtrlCDuringACompileSaysTheCompileWasCutOff) {
    // Three large slots: the compile runs long enough to be interrupted in the middle.
    const fs::path en = Write("en.ini", GeneratedSource(30000, 1, 8, 51, 1, "English", "1"));
    const fs::path de = Write("de.ini", GeneratedSource(30000, 1, 8, 52, 8, "German", "1"));
    const fs::path fr = Write("fr.ini", GeneratedSource(30000, 1, 8, 53, 2, "French", "1"));
    std::vector<std::string> argv{CliProgram(), "compile",   "--table", Table().string(),
                                  "--slot1",    en.string(), "--slot2", de.string(),
                                  "--slot3",    fr.string()};
    Process cli(argv, Dir() / "cli.out", Dir() / "cli.err");
    ASSERT_TRUE(cli.started());
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    bool compiling = false;
    while (!compiling && Clock::now() < deadline && !cli.wait(Millis(0))) {
        compiling = Contains(ReadFile(Dir() / "cli.out"), "Create");
        if (!compiling) std::this_thread::sleep_for(Millis(2));
    }
    ASSERT_TRUE(compiling) << ReadFile(Dir() / "cli.out") << ReadFile(Dir() / "cli.err");
    cli.signal(SIGINT);
    const auto status = cli.wait(std::chrono::seconds(5));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 130);
    const std::string err = ReadFile(Dir() / "cli.err");
    EXPECT_TRUE(Contains(err, "Interrupted during the compile")) << err;
    EXPECT_FALSE(Contains(err, "download")) << err;
    EXPECT_FALSE(fs::exists(Table())) << "no table half written";
}

struct BadInputCase {
    const char* name;
    bool download;
};

void PrintTo(const BadInputCase& c, std::ostream* os) {
    *os << c.name;
}

class BadInputE2e : public E2eTest, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(BadInputE2e, NonEnglishFileForSlotOneIsRefusedBeforeAnythingIsWrittenOrSent) {
    Simulator& sim = StartSim({"--erase-ms", "30"});
    ASSERT_TRUE(sim.ok());
    const fs::path french = Write("fr.ini", GeneratedSource(3, 5, 40, 51, 2, "French", "1"));
    const fs::path german = Write("de.ini", GeneratedSource(3, 5, 40, 52, 8, "German", "1"));

    std::vector<std::string> args{GetParam().download ? "download" : "compile",
                                  "--table",
                                  Table().string(),
                                  "--slot1",
                                  french.string(),
                                  "--slot2",
                                  german.string()};
    if (GetParam().download) args.insert(args.end(), {"--port", sim.pty()});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, "Please select English language file for language 1!"))
        << run.out;
    // Which slot and which file were refused.
    EXPECT_TRUE(Contains(run.err, "Refused for slot 1: " + french.string())) << run.err;
    EXPECT_FALSE(fs::exists(Table()));

    ASSERT_EQ(sim.stop(), 0);
    EXPECT_TRUE(sim.entries().empty()) << sim.log();
    EXPECT_FALSE(Contains(sim.log(), "client opened the line")) << sim.log();
}

INSTANTIATE_TEST_SUITE_P(Commands, BadInputE2e,
                         ::testing::Values(BadInputCase{"Download", true},
                                           BadInputCase{"Compile", false}),
                         [](const ::testing::TestParamInfo<BadInputCase>& p) {
                             return p.param.name;
                         });

}  // namespace
}  // namespace e2e
