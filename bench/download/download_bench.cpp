// download_bench: one slot of N strings downloaded by tabsend-cli to dexio-sim over a
// pseudo-terminal, with the simulator pacing its replies at the line rate. Prints the wall
// time of each phase, the exchanges of the download, the time the protocol needs at the
// least, the ratio of the two and the tool's CPU time.
//
// What the pseudo-terminal does and does not model: the simulator sends each reply byte at
// the host's character rate (11 bits per byte) after its turnaround, but the host's request
// reaches it as soon as it is written (a pty has no wire), so a request costs no wire time
// here. The figures below therefore give the floor both for a real line and for this rig.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "langfiles/IniFile.h"
#include "tools/langgen/LangGen.h"

#ifndef TABSEND_CLI_PATH
#error "TABSEND_CLI_PATH must name the built tabsend-cli program"
#endif
#ifndef DEXIO_SIM_PATH
#error "DEXIO_SIM_PATH must name the built dexio-sim program"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kDownloadBaud = 57600;
constexpr double kBitsPerChar = 11;  // start, 8 data, parity, stop
constexpr double kSilenceMs = 20;    // 2 ticks of 10 ms end a reply
constexpr double kTickMs = 10;

struct Options {
    int strings = 800;
    int minLen = 30;
    int maxLen = 600;
    std::uint64_t seed = 1;
    std::string settings = "19200,e,8,1";  // where the unit answers the connect request
    std::optional<int> eraseMs;            // the simulator's default when not given
    std::optional<int> turnaroundMs;
    bool keep = false;
    std::string cli = TABSEND_CLI_PATH;
    std::string sim = DEXIO_SIM_PATH;
};

const char* kUsage =
    R"(usage: download_bench [--strings N] [--min-len A] [--max-len B] [--seed S]
                      [--settings S] [--erase-ms MS] [--turnaround-ms MS] [--keep]
                      [--cli PATH] [--sim PATH]

Downloads slot 1 (English, N random bitmaps of A..B bytes, default 800 strings of 30..600
bytes, seed 1) with tabsend-cli to dexio-sim over a pseudo-terminal and prints the figures.
  --settings S        line setting the simulated unit answers the connect at (19200,e,8,1)
  --erase-ms MS       the unit's slot erase time (simulator default 1500)
  --turnaround-ms MS  the unit's turnaround (simulator default 2)
  --keep              keep the work folder (source file, table, simulator log)
)";

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "download_bench: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--strings") {
            o.strings = std::atoi(value());
        } else if (a == "--min-len") {
            o.minLen = std::atoi(value());
        } else if (a == "--max-len") {
            o.maxLen = std::atoi(value());
        } else if (a == "--seed") {
            o.seed = std::strtoull(value(), nullptr, 10);
        } else if (a == "--settings") {
            o.settings = value();
        } else if (a == "--erase-ms") {
            o.eraseMs = std::atoi(value());
        } else if (a == "--turnaround-ms") {
            o.turnaroundMs = std::atoi(value());
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--cli") {
            o.cli = value();
        } else if (a == "--sim") {
            o.sim = value();
        } else {
            std::fprintf(stderr, "download_bench: unknown option '%s'\n\n%s", a.c_str(), kUsage);
            return false;
        }
    }
    if (o.strings < 1 || o.strings > 32767 || o.minLen < 1 || o.maxLen < o.minLen ||
        o.maxLen > 1000) {
        std::fprintf(stderr, "download_bench: strings 1..32767, lengths 1 <= A <= B <= 1000\n");
        return false;
    }
    return true;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// ---- child processes ----

pid_t spawn(const std::vector<std::string>& argv, int outFd, const fs::path& err) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int in = ::open("/dev/null", O_RDONLY);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || e < 0) ::_exit(127);
    ::dup2(in, STDIN_FILENO);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(e, STDERR_FILENO);
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (auto& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// CPU time the process has spent so far (all its threads), in seconds.
double cpuSeconds(pid_t pid) {
    double ns = 0;
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    std::error_code ec;
    for (const auto& t : fs::directory_iterator(tasks, ec)) {
        std::istringstream in(readFile(t.path() / "schedstat"));
        double run = 0;
        if (in >> run) ns += run;
    }
    return ns / 1e9;
}

double cpuOf(const rusage& ru) {
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// ---- simulator log ----

struct Exchange {
    double ms = 0;  // when the unit took the request
    int number = 0;
    std::string kind;
    std::size_t requestBytes = 0;
    std::size_t replyBytes = 0;
    std::string faults;
};

std::size_t hexCount(const std::string& s) {
    std::istringstream in(s);
    std::size_t n = 0;
    std::string tok;
    while (in >> tok) {
        if (tok.size() != 2 || !std::isxdigit(static_cast<unsigned char>(tok[0]))) break;
        ++n;
    }
    return n;
}

// Accepted requests ("#N") of the --log output.
std::vector<Exchange> parseLog(const std::string& log) {
    std::vector<Exchange> out;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const auto close = line.find("] #");
        const auto arrow = line.find(" <- ");
        if (close == std::string::npos || arrow == std::string::npos) continue;
        Exchange e;
        e.ms = std::strtod(line.c_str(), nullptr);
        const std::string head = line.substr(close + 3, arrow - close - 3);
        const auto sp = head.find(' ');
        e.number = std::atoi(head.substr(0, sp).c_str());
        e.kind = head.substr(sp + 1);
        std::string rest = line.substr(arrow + 4);
        if (const auto f = rest.find("  faults: "); f != std::string::npos) {
            e.faults = rest.substr(f + 10);
            rest = rest.substr(0, f);
        }
        const auto rep = rest.find("  -> ");
        e.requestBytes = hexCount(rest.substr(0, rep));
        if (rep != std::string::npos) e.replyBytes = hexCount(rest.substr(rep + 5));
        out.push_back(e);
    }
    return out;
}

double wireMs(std::size_t bytes) {
    return static_cast<double>(bytes) * kBitsPerChar * 1000.0 / kDownloadBaud;
}

struct Floors {
    double line = 0;       // request + reply on the wire + turnaround (+ erase) + 20 ms silence
    double rig = 0;        // the same without the request's wire time (the pty moves it at once)
    double model = 0;      // the receive rule on this rig: sent on a tick, the reply taken on the
                           // second tick after its last byte
    double lineModel = 0;  // the same rule on a real line, the request on the wire first
};

Floors floorsOf(const Exchange& e, double turnaroundMs, double eraseMs) {
    const double unit = turnaroundMs + (e.kind == "erase" ? eraseMs : 0.0);
    const double reply = wireMs(e.replyBytes);
    Floors f;
    f.line = wireMs(e.requestBytes) + reply + unit + kSilenceMs;
    f.rig = reply + unit + kSilenceMs;
    const double lastByte = unit + reply;
    f.model = (std::floor(lastByte / kTickMs) + 2) * kTickMs;
    const double lastByteOnLine = wireMs(e.requestBytes) + lastByte;
    f.lineModel = (std::floor(lastByteOnLine / kTickMs) + 2) * kTickMs;
    return f;
}

struct Line {
    double t;  // seconds since the tool started
    std::string text;
};

std::optional<double> firstLine(const std::vector<Line>& lines, const std::string& part) {
    for (const Line& l : lines)
        if (l.text.find(part) != std::string::npos) return l.t;
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseArgs(argc, argv, opt)) return 2;
    ::signal(SIGPIPE, SIG_IGN);

    std::string pattern = (fs::temp_directory_path() / "download-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("download_bench: mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    const fs::path source = dir / "english.ini";
    const fs::path table = dir / "LanTable.ini";
    {
        tabsend::langgen::Options g;
        g.strings = opt.strings;
        g.minLen = opt.minLen;
        g.maxLen = opt.maxLen;
        g.seed = opt.seed;
        std::ofstream(source, std::ios::binary) << tabsend::langgen::GenerateLanguageSource(g);
    }

    // Exchanges the download must make, from the bitmap lengths.
    long singles = 0, heads = 0, packages = 0, bitmapBytes = 0;
    for (int i = 0; i < opt.strings; ++i) {
        const long len =
            std::atol(tabsend::GetFromini("LanStrcodeBM", "Str" + std::to_string(i) + "BMLen",
                                          source.string())
                          .c_str());
        bitmapBytes += len;
        if (len <= 255) {
            ++singles;
        } else {
            ++heads;
            packages += (len + 254) / 255;
        }
    }
    const long fixedStages = 7;  // identification, erase, assembly, 3 x language info, complete
    const long expected = opt.strings + singles + heads + packages + fixedStages;

    // The simulated unit.
    std::vector<std::string> simArgs{opt.sim, "--log", "--settings", opt.settings};
    if (opt.eraseMs) simArgs.insert(simArgs.end(), {"--erase-ms", std::to_string(*opt.eraseMs)});
    if (opt.turnaroundMs)
        simArgs.insert(simArgs.end(), {"--turnaround-ms", std::to_string(*opt.turnaroundMs)});
    const int simOut = ::open((dir / "sim.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t sim = spawn(simArgs, simOut, dir / "sim.log");
    ::close(simOut);
    std::string pty;
    for (int i = 0; i < 1000 && pty.empty(); ++i) {
        const std::string out = readFile(dir / "sim.out");
        if (const auto nl = out.find('\n'); nl != std::string::npos) pty = out.substr(0, nl);
        if (pty.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (pty.empty()) {
        std::fprintf(stderr, "download_bench: the simulator did not start\n%s",
                     readFile(dir / "sim.log").c_str());
        ::kill(sim, SIGKILL);
        ::waitpid(sim, nullptr, 0);
        return 1;
    }

    // The tool; its output lines are time-stamped as they come.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    const auto start = Clock::now();
    const pid_t cli = spawn(
        {opt.cli, "download", "--port", pty, "--table", table.string(), "--slot1", source.string()},
        pipeFds[1], dir / "cli.err");
    ::close(pipeFds[1]);
    std::vector<Line> lines;
    std::string partial;
    std::optional<double> cpuAtConnect, cpuAtStart, cpuAtEnd;
    auto now = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    for (;;) {
        char buf[4096];
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const double t = now();
        partial.append(buf, static_cast<std::size_t>(n));
        std::size_t nl;
        while ((nl = partial.find('\n')) != std::string::npos) {
            lines.push_back({t, partial.substr(0, nl)});
            partial.erase(0, nl + 1);
            const std::string& text = lines.back().text;
            if (!cpuAtConnect && text.find("Connection start....") != std::string::npos)
                cpuAtConnect = cpuSeconds(cli);
            if (!cpuAtStart && text.find("Read Device ID") != std::string::npos)
                cpuAtStart = cpuSeconds(cli);
            if (!cpuAtEnd && (text.find("Download complete!") != std::string::npos ||
                              text.find("Communication") != std::string::npos ||
                              text.find("Illegal") != std::string::npos))
                cpuAtEnd = cpuSeconds(cli);
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    rusage cliUsage{};
    ::wait4(cli, &status, 0, &cliUsage);
    const double total = now();
    ::kill(sim, SIGTERM);
    rusage simUsage{};
    ::wait4(sim, nullptr, 0, &simUsage);

    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const auto tConnect = firstLine(lines, "Connection start....");
    const auto tConnected = firstLine(lines, "Connection established!");
    const auto tDownload = firstLine(lines, "Read Device ID");
    const auto tDone = firstLine(lines, "Download complete!");
    if (rc != 0 || !tConnect || !tConnected || !tDownload || !tDone || !cpuAtConnect ||
        !cpuAtStart || !cpuAtEnd) {
        std::fprintf(stderr, "download_bench: the download did not complete (exit %d)\n", rc);
        for (const Line& l : lines) std::fprintf(stderr, "  %s\n", l.text.c_str());
        std::fprintf(stderr, "work folder kept: %s\n", dir.c_str());
        return 1;
    }

    // The download's exchanges as the unit took them: identification .. complete signal.
    const std::vector<Exchange> all = parseLog(readFile(dir / "sim.log"));
    std::size_t first = all.size(), last = all.size();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (first == all.size() && all[i].kind == "device-id") first = i;
        if (all[i].kind == "complete") last = i;
    }
    if (first >= all.size() || last >= all.size()) {
        std::fprintf(stderr, "download_bench: the simulator log lacks the download\n");
        return 1;
    }
    const double turnaround = opt.turnaroundMs.value_or(2);
    const double erase = opt.eraseMs.value_or(1500);
    Floors floor;
    struct KindFigures {
        long count = 0;
        double periodMs = 0;  // request to next request, as the unit saw it
        long timed = 0;
        Floors floor;
    };
    std::map<std::string, KindFigures> kinds;
    long faults = 0;
    double wireRequestMs = 0, wireReplyMs = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const Exchange& e = all[i];
        const Floors f = floorsOf(e, turnaround, erase);
        floor.line += f.line;
        floor.rig += f.rig;
        floor.model += f.model;
        floor.lineModel += f.lineModel;
        wireRequestMs += wireMs(e.requestBytes);
        wireReplyMs += wireMs(e.replyBytes);
        if (!e.faults.empty()) ++faults;
        KindFigures& k = kinds[e.kind];
        ++k.count;
        k.floor.line += f.line;
        k.floor.rig += f.rig;
        k.floor.model += f.model;
        if (i < last) {
            k.periodMs += all[i + 1].ms - e.ms;
            ++k.timed;
        }
    }
    const long counted = static_cast<long>(last - first + 1);
    const double wall = *tDone - *tDownload;
    const double unitSpan = (all[last].ms - all[first].ms) / 1000.0;
    const double cpu = *cpuAtEnd - *cpuAtStart;

    std::printf(
        "download_bench: slot 1, %d strings of %d..%d bytes (seed %llu), %ld bitmap "
        "bytes\n",
        opt.strings, opt.minLen, opt.maxLen, static_cast<unsigned long long>(opt.seed),
        bitmapBytes);
    std::printf(
        "unit: connect at %s, turnaround %.0f ms, erase %.0f ms, replies paced at the "
        "line rate\n\n",
        opt.settings.c_str(), turnaround, erase);

    std::printf("Wall time (seconds, as the tool's output lines arrived)\n");
    std::printf("  start to first connect try  %8.3f   (compile of LanTable.ini, CPU %.3f s)\n",
                *tConnect, *cpuAtConnect);
    std::printf("  connect search              %8.3f\n", *tConnected - *tConnect);
    std::printf(
        "  download (17 steps)         %8.3f   unit's view, first to last request: "
        "%.3f\n",
        wall, unitSpan);
    std::printf("  read-back and disconnect    %8.3f\n", total - *tDone);
    std::printf("  whole run                   %8.3f\n\n", total);

    std::printf("Exchanges of the download\n");
    std::printf("  from the simulator log      %8ld   (%ld with a fault)\n", counted, faults);
    std::printf(
        "  from the table              %8ld   = %d index entries + %ld single bitmaps + "
        "%ld heads + %ld packages + %ld fixed\n",
        expected, opt.strings, singles, heads, packages, fixedStages);
    std::printf(
        "  wire time at 57600 baud     %8.3f s requests, %.3f s replies (11 bits per "
        "byte)\n\n",
        wireRequestMs / 1000.0, wireReplyMs / 1000.0);

    std::printf("Protocol floor of the download (sum over its exchanges)\n");
    std::printf("  line: request + reply on the wire + turnaround + 20 ms silence (+ erase)\n");
    std::printf("                              %8.3f s   wall/floor %.3f\n", floor.line / 1000.0,
                wall / (floor.line / 1000.0));
    std::printf("  this rig: the pty moves the request at once, so without its wire time\n");
    std::printf("                              %8.3f s   wall/floor %.3f\n", floor.rig / 1000.0,
                wall / (floor.rig / 1000.0));
    std::printf(
        "  receive rule on this rig: request sent on a tick, reply taken at the 2nd tick\n"
        "  after its last byte (10..20 ms of silence)\n");
    std::printf("                              %8.3f s   wall/model %.3f\n", floor.model / 1000.0,
                wall / (floor.model / 1000.0));
    std::printf("  the same rule on a real 57600 line (request on the wire before the reply)\n");
    std::printf("                              %8.3f s   model/line floor %.3f\n\n",
                floor.lineModel / 1000.0, floor.lineModel / floor.line);

    std::printf("Per kind (ms per exchange: measured request-to-request at the unit; floors)\n");
    std::printf("  %-10s %6s %9s %9s %9s %9s\n", "kind", "count", "measured", "line", "rig",
                "model");
    for (const auto& [name, k] : kinds) {
        char measured[32] = "-";
        if (k.timed)
            std::snprintf(measured, sizeof measured, "%.2f",
                          k.periodMs / static_cast<double>(k.timed));
        std::printf("  %-10s %6ld %9s %9.2f %9.2f %9.2f\n", name.c_str(), k.count, measured,
                    k.floor.line / static_cast<double>(k.count),
                    k.floor.rig / static_cast<double>(k.count),
                    k.floor.model / static_cast<double>(k.count));
    }

    std::printf("\nCPU time\n");
    std::printf("  tabsend-cli, download       %8.3f s = %.2f %% of one core\n", cpu,
                100.0 * cpu / wall);
    std::printf(
        "  tabsend-cli, whole run      %8.3f s = %.2f %% of one core (user %.3f, system "
        "%.3f)\n",
        cpuOf(cliUsage), 100.0 * cpuOf(cliUsage) / total,
        static_cast<double>(cliUsage.ru_utime.tv_sec) +
            static_cast<double>(cliUsage.ru_utime.tv_usec) / 1e6,
        static_cast<double>(cliUsage.ru_stime.tv_sec) +
            static_cast<double>(cliUsage.ru_stime.tv_usec) / 1e6);
    std::printf("  dexio-sim, whole run        %8.3f s\n\n", cpuOf(simUsage));

    const double ratioLine = wall / (floor.line / 1000.0);
    const double ratioRig = wall / (floor.rig / 1000.0);
    std::printf(
        "Targets: wall/floor <= 1.10: %.3f against the line floor, %.3f against this "
        "rig's floor (%s); CPU <= 10 %% of one core: %.2f %% (%s)\n",
        ratioLine, ratioRig, std::max(ratioLine, ratioRig) <= 1.10 ? "met" : "NOT met",
        100.0 * cpu / wall, 100.0 * cpu / wall <= 10.0 ? "met" : "NOT met");
    if (ratioLine < 1.0 || ratioRig < 1.0)
        std::printf(
            "  (a ratio below 1: the pty carries no request wire time, and two ticks of "
            "10 ms end a reply\n   10..20 ms after its last byte, not 20 ms)\n");
    if (counted != expected)
        std::printf("note: %ld exchanges in the log, %ld expected from the table (retries)\n",
                    counted, expected);

    if (opt.keep) {
        std::printf("work folder: %s\n", dir.c_str());
    } else {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    return 0;
}
