// window_bench: the same download as download_bench (slot 1, 800 strings of 30..600 bytes,
// seed 1, dexio-sim pacing its replies at the line rate on a pseudo-terminal), driven through
// the main window's buttons on the offscreen platform. Prints the download's wall time and
// the window program's CPU share beside tabsend-cli's (taken from a download_bench run), and
// whether the progress bar was painted at every step.
//
//   window_bench [--strings N] [--skip-cli]

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Form1.h"
#include "app/ToolFont.h"
#include "shell/Captions.h"
#include "tools/langgen/LangGen.h"

#ifndef DOWNLOAD_BENCH_PATH
#error "DOWNLOAD_BENCH_PATH must name the download_bench program"
#endif
#ifndef DEXIO_SIM_PATH
#error "DEXIO_SIM_PATH must name the dexio-sim program"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace tabsend;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

double selfCpu() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
    long paints = 0;
};

class TimedMessages : public MessageSink {
  public:
    void showMessage(const std::string& text) override {
        texts.push_back(text);
        at = Clock::now();
        cpu = selfCpu();
    }
    std::vector<std::string> texts;
    Clock::time_point at;
    double cpu = 0;
};

class OneFile : public OpenFileDialog {
  public:
    std::string ShowOpen(const std::string&, int) override { return path; }
    std::string path;
};

class NoNotice : public BusyNotice {
  public:
    void show() override {}
    void setLine(const std::string&) override {}
    void setBarWidth(int t) override { w = t; }
    int barWidth() const override { return w; }
    void repaint() override {}
    void close() override {}
    int w = 0;
};

pid_t startSim(const fs::path& dir, std::string& pty) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int out = ::open((dir / "sim.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((dir / "sim.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execl(DEXIO_SIM_PATH, DEXIO_SIM_PATH, "--log", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 1000 && pty.empty(); ++i) {
        const std::string out = readFile(dir / "sim.out");
        if (const auto nl = out.find('\n'); nl != std::string::npos) pty = out.substr(0, nl);
        if (pty.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pid;
}

// The figure after `label` on its line of download_bench's output.
double figureAfter(const std::string& out, const std::string& label) {
    const auto at = out.find(label);
    if (at == std::string::npos) return -1;
    return std::atof(out.c_str() + at + label.size());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int strings = 800;
    bool skipCli = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--strings" && i + 1 < argc) {
            strings = std::atoi(argv[++i]);
        } else if (a == "--skip-cli") {
            skipCli = true;
        } else {
            std::fprintf(stderr, "usage: window_bench [--strings N] [--skip-cli]\n");
            return 2;
        }
    }

    // tabsend-cli first, through download_bench.
    double cliWall = -1, cliCpuShare = -1;
    if (!skipCli) {
        const std::string cmd =
            std::string(DOWNLOAD_BENCH_PATH) + " --strings " + std::to_string(strings);
        std::string out;
        if (FILE* p = ::popen(cmd.c_str(), "r")) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
            ::pclose(p);
        }
        cliWall = figureAfter(out, "download (17 steps)");
        cliCpuShare = figureAfter(out, "tabsend-cli, download");
        const auto eq = out.find("tabsend-cli, download");
        if (eq != std::string::npos) cliCpuShare = figureAfter(out.substr(eq), "s = ");
    }

    QApplication app(argc, argv);
    UseToolFont();
    std::string pattern = (fs::temp_directory_path() / "window-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path dir = pattern;
    const fs::path source = dir / "english.ini";
    {
        langgen::Options g;
        g.strings = strings;
        g.minLen = 30;
        g.maxLen = 600;
        g.seed = 1;
        std::ofstream(source, std::ios::binary) << langgen::GenerateLanguageSource(g);
    }
    std::string pty;
    const pid_t sim = startSim(dir, pty);
    if (pty.empty()) {
        std::fprintf(stderr, "window_bench: the simulator did not start\n");
        return 1;
    }
    ::setenv("TABSEND_COM1", pty.c_str(), 1);

    TimedMessages messages;
    OneFile dialog;
    dialog.path = source.string();
    NoNotice notice;
    Form1::Outside outside;
    outside.messages = &messages;
    outside.dialog = &dialog;
    outside.notice = &notice;
    outside.programDir = dir.string();
    outside.endProgram = [] {};
    outside.extraPorts = [] { return std::vector<std::string>{}; };
    Form1 form(outside);
    form.Form_Load();
    form.ApplyLanguage(SetEnglish());
    form.show();
    auto click = [&](const char* name) { form.findChild<QPushButton*>(name)->click(); };
    click("Select1");
    click("Setbtn");
    click("PortOpenbtn");

    auto* bar = form.findChild<QProgressBar*>("ProgressBar1");
    PaintCounter counter;
    bar->installEventFilter(&counter);
    long steps = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, [&steps] { ++steps; });
    const auto start = Clock::now();
    const double cpuStart = selfCpu();
    messages.texts.clear();
    click("Downloadbtn");
    const bool complete = !messages.texts.empty() && messages.texts.back() == "Download complete!";
    const double wall = std::chrono::duration<double>(messages.at - start).count();
    const double cpu = messages.cpu - cpuStart;
    click("PortClose");
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (!complete) {
        std::fprintf(stderr, "window_bench: the download did not complete (%s)\n",
                     messages.texts.empty() ? "no message" : messages.texts.back().c_str());
        return 1;
    }

    std::printf("window_bench: slot 1, %d strings of 30..600 bytes (seed 1), Download button\n",
                strings);
    std::printf("  download wall time, window    %8.3f s\n", wall);
    if (cliWall > 0) {
        std::printf("  download wall time, cli       %8.3f s   window/cli %.3f (target <= 1.05)\n",
                    cliWall, wall / cliWall);
    }
    std::printf("  CPU of the window program     %8.3f s = %.2f %% of one core (target <= 10 %%)\n",
                cpu, 100.0 * cpu / wall);
    if (cliCpuShare >= 0)
        std::printf("  CPU of tabsend-cli            %8.2f %% of one core\n", cliCpuShare);
    std::printf("  progress bar: %ld value changes, %ld paints (%s)\n", steps, counter.paints,
                counter.paints >= steps ? "painted at every step" : "steps NOT all painted");
    return 0;
}
