#pragma once
// End-to-end kit: the real programs (tabsend-cli, dexio-sim) as child processes on a real
// pseudo-terminal, each test in a folder of its own. Every child dies with the test process
// (parent-death signal) and is killed and reaped by its owner at the latest.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace e2e {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Millis = std::chrono::milliseconds;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    void keep() { keep_ = true; }  // leave it for a look after a failure
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
    bool keep_ = false;
};

// One child process with standard output and error going to files.
class Process {
  public:
    Process(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err);
    ~Process();  // kills and reaps a child that still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return started_; }
    bool running() const { return pid_ > 0; }
    void signal(int sig) const;
    // Waits up to `limit` for the end. The exit code, 128 + n for a child ended by signal
    // n, nothing when it still runs. Once reaped, the status is kept.
    std::optional<int> wait(Millis limit);
    std::optional<int> status() const { return status_; }
    // SIGKILL and reap.
    void kill();

  private:
    pid_t pid_ = -1;
    bool started_ = false;
    std::optional<int> status_;
};

std::string ReadFile(const fs::path& p);
Bytes ReadBytes(const fs::path& p);
void WriteFile(const fs::path& p, const std::string& text);

// The pids of this process's children that still exist (zombies included).
std::vector<pid_t> LiveChildren();

// ---- dexio-sim ----

// One frame as the simulator's --log shows it.
struct LogEntry {
    double ms = 0;  // time since the simulator started
    int baud = 0;   // line as the unit saw it
    int stopBits = 0;
    int number = 0;        // accepted-request number, 0 when the frame was not accepted
    std::string kind;      // connect, device-id, erase, index, bitmap, head, package, ...
    Bytes request;         // whole frame
    Bytes reply;           // whole frame, empty when none went out
    bool ignored = false;  // not accepted (line setting, address, busy, ...)
    std::string faults;    // "drop corrupt ..." as listed, "" for none
};

class Simulator {
  public:
    // Starts dexio-sim with --log and --dump-dir <dir>/dump plus `options`; waits for the
    // first line (the terminal's path).
    Simulator(const fs::path& dir, const std::vector<std::string>& options);
    ~Simulator();

    const std::string& pty() const { return pty_; }
    bool ok() const { return !pty_.empty(); }
    std::string log() const;
    std::vector<LogEntry> entries() const;
    // Accepted requests only (those with a number), in order.
    std::vector<LogEntry> accepted() const;
    // True once the log shows as many "client closed" as "client opened" notices (and at
    // least one of them), i.e. no client holds the line; waits up to `limit`.
    bool waitUntilLineReleased(Millis limit) const;
    // SIGTERM, then waits for the exit (the dump is written on the way out). Exit code.
    std::optional<int> stop();
    fs::path dumpDir() const { return dir_ / "dump"; }
    Bytes memory() const;  // dump/memory.bin
    std::string indexText() const;

  private:
    fs::path dir_;
    std::unique_ptr<Process> process_;
    std::string pty_;
};

std::vector<LogEntry> ParseSimLog(const std::string& log);

// ---- tabsend-cli ----

struct CliRun {
    int status = -1;  // exit code; -1 when it had to be killed
    std::string out;  // standard output (messages and progress)
    std::string err;
    double seconds = 0;
};

// The path of the tabsend-cli program under test.
std::string CliProgram();

// Runs tabsend-cli with `args` to its end (killed after `limit`).
CliRun RunCli(const fs::path& dir, const std::vector<std::string>& args, Millis limit);

// The progress texts of a plain (non-terminal) run, "NNN%  " taken off, with the other lines
// as they are.
std::vector<std::string> OutputLines(const std::string& out);

struct SlotRow {
    int slot = 0;
    std::string state;
    std::string version;
    std::string language;
};
// The last "Slot State Version Language" table of a run (three rows), empty when none.
std::vector<SlotRow> LastSlotTable(const std::string& out);

// ---- language files ----

// A language source file with exactly these bitmaps (display lines 1..4 in turn).
std::string SourceText(const std::string& name, const std::string& version, int code,
                       const std::vector<Bytes>& bitmaps);
// A langgen file of `strings` random bitmaps of minLen..maxLen bytes.
std::string GeneratedSource(int strings, int minLen, int maxLen, std::uint64_t seed, int code,
                            const std::string& name, const std::string& version);

// For every slot n with a source file (sources[n-1] not empty): the dumped memory holds each
// string i of Lan[n]Stringcode at Str[i]Addr, Str[i]Len bytes equal to the first bytes of
// Str[i]BMArray of the source file; addresses start at the slot's base and follow one
// another; the rest of the slot's area is erased (0xFF); and the unit's index (index.txt)
// lists each string with that address and length and as many bitmap bytes received.
::testing::AssertionResult MemoryHoldsSources(const Bytes& memory, const std::string& indexText,
                                              const fs::path& table,
                                              const std::vector<fs::path>& sources);

// ---- fixture ----

// Each test in its own folder; its simulators are stopped at the end, and no child process
// may be left behind, also when an assertion failed half-way.
class E2eTest : public ::testing::Test {
  protected:
    // Per run of the tool: generous, a download that hangs must not hold the suite.
    static constexpr Millis kRunLimit{90'000};

    void TearDown() override;

    Simulator& StartSim(const std::vector<std::string>& options);
    fs::path Write(const std::string& name, const std::string& text);
    fs::path Dir() const { return dir_.path(); }
    fs::path Table() const { return dir_.path() / "LanTable.ini"; }

    // Three small valid files: English (slot 1), German and French.
    std::vector<fs::path> SmallSlots();
    // "download --port PTY --table T --slot1 A ..." for the non-empty sources.
    std::vector<std::string> DownloadArgs(const std::string& port,
                                          const std::vector<fs::path>& sources) const;

    CliRun Cli(const std::vector<std::string>& args) { return RunCli(Dir(), args, kRunLimit); }

  private:
    TempDir dir_;
    std::vector<std::unique_ptr<Simulator>> sims_;
};

// Looking into what a run printed.
bool Contains(const std::string& text, const std::string& part);
std::vector<std::string>::const_iterator FindLine(const std::vector<std::string>& lines,
                                                  const std::string& line);

}  // namespace e2e
