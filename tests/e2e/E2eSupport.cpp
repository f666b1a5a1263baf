#include "tests/e2e/E2eSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <tuple>

#include "langfiles/IniFile.h"
#include "langfiles/SourceFile.h"
#include "tools/langgen/LangGen.h"

#ifndef TABSEND_CLI_PATH
#error "TABSEND_CLI_PATH must name the built tabsend-cli program"
#endif
#ifndef DEXIO_SIM_PATH
#error "DEXIO_SIM_PATH must name the built dexio-sim program"
#endif

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMemoryBase = 0x40000;
constexpr std::uint32_t kSlotArea = 0x80000;

// How often a wait for another process looks again. Only used to wait for processes and
// files, never for protocol timing.
constexpr Millis kPollStep{5};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Bytes parseHex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) {
        char* end = nullptr;
        const unsigned long v = std::strtoul(tok.c_str(), &end, 16);
        if (end == tok.c_str() || *end != '\0' || v > 0xFF) break;
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

long number(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

}  // namespace

// ---------------------------------------------------------------- files and folders

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tabsend-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    if (keep_) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

Bytes ReadBytes(const fs::path& p) {
    const std::string s = ReadFile(p);
    return Bytes(s.begin(), s.end());
}

void WriteFile(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

std::vector<pid_t> LiveChildren() {
    std::vector<pid_t> children;
    const pid_t self = ::getpid();
    DIR* d = ::opendir("/proc");
    if (!d) return children;
    while (dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (*name < '0' || *name > '9') continue;
        // /proc/PID/stat: "pid (comm) state ppid ..."; comm may hold blanks and parentheses.
        const std::string stat = ReadFile(fs::path("/proc") / name / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == self) children.push_back(static_cast<pid_t>(std::atol(name)));
    }
    ::closedir(d);
    return children;
}

// ---------------------------------------------------------------- processes

Process::Process(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) return;
    if (pid == 0) {
        // Child: die with the test process, whatever ends it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || o < 0 || e < 0) ::_exit(127);
        ::dup2(in, STDIN_FILENO);
        ::dup2(o, STDOUT_FILENO);
        ::dup2(e, STDERR_FILENO);
        // A clean signal state: the test runner may have blocked or ignored some.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        std::vector<std::string> copy = argv;
        std::vector<char*> args;
        for (auto& a : copy) args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    pid_ = pid;
    started_ = true;
}

Process::~Process() {
    kill();
}

void Process::signal(int sig) const {
    if (pid_ > 0) ::kill(pid_, sig);
}

std::optional<int> Process::wait(Millis limit) {
    if (pid_ <= 0) return status_;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int st = 0;
        const pid_t r = ::waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            if (WIFEXITED(st))
                status_ = WEXITSTATUS(st);
            else if (WIFSIGNALED(st))
                status_ = 128 + WTERMSIG(st);
            else
                status_ = -1;
            return status_;
        }
        if (r < 0 && errno != EINTR) {
            pid_ = -1;
            status_ = -1;
            return status_;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(kPollStep);
    }
}

void Process::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int st = 0;
    while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (!status_) status_ = -1;
}

// ---------------------------------------------------------------- dexio-sim

std::vector<LogEntry> ParseSimLog(const std::string& log) {
    std::vector<LogEntry> entries;
    for (const std::string& line : splitLines(log)) {
        // 205.943 ms [57600/1] #2 device-id <- 21 2B ...  -> 21 2B ...  faults: drop
        const auto ms = line.find(" ms [");
        const auto arrow = line.find(" <- ");
        if (ms == std::string::npos || arrow == std::string::npos) continue;
        LogEntry e;
        e.ms = std::strtod(line.c_str(), nullptr);
        const auto slash = line.find('/', ms);
        const auto close = line.find("] ", ms);
        if (slash == std::string::npos || close == std::string::npos) continue;
        e.baud = static_cast<int>(number(line.substr(ms + 5, slash - ms - 5)));
        e.stopBits = static_cast<int>(number(line.substr(slash + 1, close - slash - 1)));
        std::string head = line.substr(close + 2, arrow - close - 2);
        if (!head.empty() && head[0] == '#') {
            const auto sp = head.find(' ');
            e.number = static_cast<int>(number(head.substr(1, sp - 1)));
            head = head.substr(sp + 1);
        }
        e.kind = head;
        std::string rest = line.substr(arrow + 4);
        if (const auto f = rest.find("  faults: "); f != std::string::npos) {
            e.faults = rest.substr(f + 10);
            rest = rest.substr(0, f);
        }
        if (const auto ig = rest.find("  ignored: "); ig != std::string::npos) {
            e.ignored = true;
            e.request = parseHex(rest.substr(0, ig));
        } else if (const auto nr = rest.find("  no reply"); nr != std::string::npos) {
            e.request = parseHex(rest.substr(0, nr));
        } else if (const auto rep = rest.find("  -> "); rep != std::string::npos) {
            e.request = parseHex(rest.substr(0, rep));
            e.reply = parseHex(rest.substr(rep + 5));
        } else {
            e.request = parseHex(rest);
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

Simulator::Simulator(const fs::path& dir, const std::vector<std::string>& options) : dir_(dir) {
    fs::create_directories(dumpDir());
    std::vector<std::string> argv{DEXIO_SIM_PATH, "--log", "--dump-dir", dumpDir().string()};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<Process>(argv, dir_ / "sim.out", dir_ / "sim.log");
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline && process_->running()) {
        const std::string out = ReadFile(dir_ / "sim.out");
        if (const auto nl = out.find('\n'); nl != std::string::npos) {
            pty_ = out.substr(0, nl);
            return;
        }
        if (process_->wait(Millis(0))) return;  // it ended: a bad command line
        std::this_thread::sleep_for(kPollStep);
    }
}

Simulator::~Simulator() {
    if (process_ && process_->running()) {
        process_->signal(SIGTERM);
        if (!process_->wait(std::chrono::seconds(3))) process_->kill();
    }
}

std::string Simulator::log() const {
    return ReadFile(dir_ / "sim.log");
}

std::vector<LogEntry> Simulator::entries() const {
    return ParseSimLog(log());
}

std::vector<LogEntry> Simulator::accepted() const {
    std::vector<LogEntry> out;
    for (auto& e : entries())
        if (e.number > 0) out.push_back(e);
    return out;
}

bool Simulator::waitUntilLineReleased(Millis limit) const {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int opened = 0;
        int closed = 0;
        for (const std::string& line : splitLines(log())) {
            if (line == "client opened the line") ++opened;
            if (line == "client closed the line") ++closed;
        }
        if (opened > 0 && opened == closed) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollStep);
    }
}

std::optional<int> Simulator::stop() {
    process_->signal(SIGTERM);
    auto rc = process_->wait(std::chrono::seconds(5));
    if (!rc) process_->kill();
    return rc;
}

Bytes Simulator::memory() const {
    return ReadBytes(dumpDir() / "memory.bin");
}

std::string Simulator::indexText() const {
    return ReadFile(dumpDir() / "index.txt");
}

// ---------------------------------------------------------------- tabsend-cli

std::string CliProgram() {
    return TABSEND_CLI_PATH;
}

CliRun RunCli(const fs::path& dir, const std::vector<std::string>& args, Millis limit) {
    static int runs = 0;
    const std::string tag = "cli-" + std::to_string(++runs);
    std::vector<std::string> argv{CliProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    CliRun run;
    const auto start = Clock::now();
    {
        Process cli(argv, dir / (tag + ".out"), dir / (tag + ".err"));
        const auto rc = cli.wait(limit);
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (rc) run.status = *rc;
        // Otherwise the destructor kills it; status stays -1.
    }
    run.out = ReadFile(dir / (tag + ".out"));
    run.err = ReadFile(dir / (tag + ".err"));
    return run;
}

std::vector<std::string> OutputLines(const std::string& out) {
    std::vector<std::string> lines;
    for (std::string line : splitLines(out)) {
        // "  0%  text" / " 42%  text" / "100%  text"
        const auto pct = line.find("%  ");
        if (pct != std::string::npos && pct <= 3 && line.find_first_not_of(" 0123456789") == pct) {
            line = line.substr(pct + 3);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<SlotRow> LastSlotTable(const std::string& out) {
    const auto lines = splitLines(out);
    std::vector<SlotRow> rows;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("Slot ", 0) != 0 || lines[i].find("State") == std::string::npos)
            continue;
        rows.clear();
        for (std::size_t k = 1; k <= 3 && i + k < lines.size(); ++k) {
            const std::string& l = lines[i + k];
            // "%-5d %-24s %-10s %s"
            SlotRow r;
            r.slot = static_cast<int>(number(l.substr(0, 5)));
            r.state = l.size() > 6 ? trim(l.substr(6, 24)) : "";
            r.version = l.size() > 31 ? trim(l.substr(31, 10)) : "";
            r.language = l.size() > 42 ? trim(l.substr(42)) : "";
            rows.push_back(r);
        }
    }
    return rows;
}

// ---------------------------------------------------------------- language files

std::string SourceText(const std::string& name, const std::string& version, int code,
                       const std::vector<Bytes>& bitmaps) {
    std::string s = "[Laninfo]\r\nLanguage=" + name + "\r\nLanVer=" + version +
                    "\r\nLanCode=" + std::to_string(code) +
                    "\r\nStrNum=" + std::to_string(bitmaps.size()) + "\r\n[LanStrcodeBM]\r\n";
    for (std::size_t i = 0; i < bitmaps.size(); ++i) {
        const std::string key = "Str" + std::to_string(i);
        s += key + "BMLen=" + std::to_string(bitmaps[i].size()) + "\r\n";
        s += key + "BMDispLine=" + std::to_string(1 + i % 4) + "\r\n";
        s += key + "BMArray=";
        for (std::size_t k = 0; k < bitmaps[i].size(); ++k) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%s0x%02X", k ? "," : "", bitmaps[i][k]);
            s += hex;
        }
        s += "\r\n";
    }
    return s;
}

std::string GeneratedSource(int strings, int minLen, int maxLen, std::uint64_t seed, int code,
                            const std::string& name, const std::string& version) {
    tabsend::langgen::Options o;
    o.strings = strings;
    o.minLen = minLen;
    o.maxLen = maxLen;
    o.seed = seed;
    o.code = code;
    o.name = name;
    o.version = version;
    return tabsend::langgen::GenerateLanguageSource(o);
}

::testing::AssertionResult MemoryHoldsSources(const Bytes& memory, const std::string& indexText,
                                              const fs::path& table,
                                              const std::vector<fs::path>& sources) {
    if (memory.size() != 3 * kSlotArea)
        return ::testing::AssertionFailure() << "memory.bin holds " << memory.size() << " bytes";
    // The unit's own index: slot string disp_line len addr bitmap_bytes
    std::map<std::pair<int, long>, std::tuple<long, unsigned long, std::string>> unitIndex;
    for (const std::string& line : splitLines(indexText)) {
        if (line.empty() || line[0] == '#' || !std::isdigit(static_cast<unsigned char>(line[0])))
            continue;
        std::istringstream in(line);
        int slot = 0;
        long str = 0;
        std::string disp, len, addr, received;
        if (!(in >> slot >> str >> disp >> len >> addr >> received)) continue;
        unitIndex[{slot, str}] = {number(len), std::strtoul(addr.c_str(), nullptr, 16), received};
    }

    const std::string tablePath = table.string();
    for (int n = 1; n <= 3; ++n) {
        const fs::path& source = sources.at(static_cast<std::size_t>(n - 1));
        if (source.empty()) continue;
        const std::string codes = "Lan" + std::to_string(n) + "Stringcode";
        const long total = number(
            tabsend::GetFromini("Lan" + std::to_string(n) + "Info", "TotalStrNum", tablePath));
        if (total <= 0)
            return ::testing::AssertionFailure() << "slot " << n << ": TotalStrNum " << total;
        const std::uint32_t base = kMemoryBase + kSlotArea * static_cast<std::uint32_t>(n - 1);
        std::uint64_t next = base;
        for (long i = 0; i < total; ++i) {
            const std::string key = "Str" + std::to_string(i);
            const long addr = number(tabsend::GetFromini(codes, key + "Addr", tablePath));
            const long len = number(tabsend::GetFromini(codes, key + "Len", tablePath));
            if (static_cast<std::uint64_t>(addr) != next || len <= 0)
                return ::testing::AssertionFailure()
                       << "slot " << n << " string " << i << ": Addr " << addr << " Len " << len
                       << ", expected Addr " << next;
            Bytes bitmap;
            const std::string text =
                tabsend::GetFromini("LanStrcodeBM", key + "BMArray", source.string());
            if (!tabsend::SplitBitmapText(text, bitmap) || bitmap.size() < std::size_t(len))
                return ::testing::AssertionFailure()
                       << source << " string " << i << ": bitmap text does not give " << len
                       << " bytes";
            const std::size_t off = static_cast<std::size_t>(addr) - kMemoryBase;
            for (long k = 0; k < len; ++k) {
                const std::uint8_t got = memory[off + static_cast<std::size_t>(k)];
                if (got != bitmap[static_cast<std::size_t>(k)]) {
                    char msg[160];
                    std::snprintf(msg, sizeof msg,
                                  "slot %d string %ld byte %ld (device 0x%06lX): 0x%02X, "
                                  "source 0x%02X",
                                  n, i, k, static_cast<unsigned long>(addr + k), got,
                                  bitmap[static_cast<std::size_t>(k)]);
                    return ::testing::AssertionFailure() << msg;
                }
            }
            const auto it = unitIndex.find({n, i});
            if (it == unitIndex.end())
                return ::testing::AssertionFailure()
                       << "slot " << n << " string " << i << " missing from the unit's index";
            const auto& [ulen, uaddr, received] = it->second;
            if (ulen != len || uaddr != static_cast<unsigned long>(addr) ||
                received != std::to_string(len))
                return ::testing::AssertionFailure()
                       << "slot " << n << " string " << i << ": unit index len " << ulen << " addr "
                       << uaddr << " received " << received << ", table len " << len << " addr "
                       << addr;
            next += static_cast<std::uint64_t>(len);
        }
        const std::size_t end = (base + kSlotArea) - kMemoryBase;
        for (std::size_t off = static_cast<std::size_t>(next - kMemoryBase); off < end; ++off) {
            if (memory[off] != 0xFF) {
                char msg[120];
                std::snprintf(msg, sizeof msg,
                              "slot %d: byte at device 0x%06zX, past the last string, is 0x%02X", n,
                              off + kMemoryBase, memory[off]);
                return ::testing::AssertionFailure() << msg;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace e2e

namespace e2e {

// ---------------------------------------------------------------- fixture

void E2eTest::TearDown() {
    for (auto& sim : sims_) {
        if (sim) sim->stop();
    }
    sims_.clear();
    const auto left = LiveChildren();
    EXPECT_TRUE(left.empty()) << left.size() << " child process(es) left behind, first pid "
                              << (left.empty() ? 0 : left.front());
    if (HasFailure()) {
        dir_.keep();
        std::fprintf(stderr, "work folder kept: %s\n", dir_.path().c_str());
    }
}

Simulator& E2eTest::StartSim(const std::vector<std::string>& options) {
    const fs::path dir = dir_.path() / ("sim" + std::to_string(sims_.size() + 1));
    fs::create_directories(dir);
    sims_.push_back(std::make_unique<Simulator>(dir, options));
    return *sims_.back();
}

fs::path E2eTest::Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_.path() / name;
    WriteFile(p, text);
    return p;
}

std::vector<fs::path> E2eTest::SmallSlots() {
    return {Write("en.ini", GeneratedSource(4, 5, 40, 101, 1, "English", "3")),
            Write("de.ini", GeneratedSource(3, 5, 40, 102, 8, "German", "4")),
            Write("fr.ini", GeneratedSource(3, 5, 40, 103, 2, "French", "5"))};
}

std::vector<std::string> E2eTest::DownloadArgs(const std::string& port,
                                               const std::vector<fs::path>& sources) const {
    std::vector<std::string> args{"download", "--port", port, "--table", Table().string()};
    for (std::size_t n = 0; n < sources.size(); ++n) {
        if (sources[n].empty()) continue;
        args.push_back("--slot" + std::to_string(n + 1));
        args.push_back(sources[n].string());
    }
    return args;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string>::const_iterator FindLine(const std::vector<std::string>& lines,
                                                  const std::string& line) {
    return std::find(lines.begin(), lines.end(), line);
}

}  // namespace e2e
