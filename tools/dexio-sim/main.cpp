// dexio-sim: a DEXIO stand-in on a pseudo-terminal, for training and scripted tests.
// The first line of standard output is the terminal's device path; the program then serves
// until SIGINT or SIGTERM and exits 0 (after writing the memory dump when asked).

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/sim/DexioModel.h"
#include "tools/sim/MemoryDump.h"
#include "tools/sim/PtyServer.h"
#include "tools/sim/SimOptions.h"

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void onSignal(int sig) {
    const int saved = errno;
    const char c = sig == SIGUSR1 ? 'D' : 'T';
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

bool installSignals() {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGUSR1})
        if (sigaction(sig, &sa, nullptr) != 0) return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// False (and the reason told) when the dump could not be written.
bool dump(const dexsim::DexioModel& model, const std::string& dir) {
    if (dir.empty()) return true;
    std::string error;
    if (dexsim::writeDump(model, dir, error)) return true;
    std::fprintf(stderr, "dexio-sim: %s\n", error.c_str());
    return false;
}

void logExchange(const dexsim::Exchange& ex) {
    std::string line = std::to_string(ex.atUs / 1000) + "." +
                       std::to_string(1000 + (ex.atUs % 1000)).substr(1) + " ms ";
    line += "[" + std::to_string(ex.host.settings.baud) + "/" +
            std::to_string(ex.host.settings.stopBits) + "] ";
    if (ex.number) line += "#" + std::to_string(ex.number) + " ";
    line += std::string(dexsim::messageKindName(ex.kind)) + " <- " + dexsim::hexBytes(ex.request);
    switch (ex.outcome) {
        case dexsim::Outcome::Ignored:
            line += "  ignored: " + ex.note;
            break;
        case dexsim::Outcome::Silent:
            line += "  no reply";
            break;
        case dexsim::Outcome::Answered: {
            line += "  -> " + dexsim::hexBytes(dexsim::replyBytes(ex.reply));
            if (!ex.note.empty()) line += " (" + ex.note + ")";
            break;
        }
    }
    if (!ex.faults.empty()) {
        line += "  faults:";
        for (auto f : ex.faults) line += " " + std::string(dexsim::faultKindName(f));
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // First of all, so that a stop request is never lost to the default action.
    if (!installSignals()) {
        std::perror("dexio-sim: signals");
        return 1;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = dexsim::parseSimOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "dexio-sim: %s\n(see dexio-sim --help)\n", parsed.error.c_str());
        return 2;
    }
    const dexsim::SimOptions& opt = *parsed.options;
    if (opt.help) {
        std::fputs(dexsim::simUsage().c_str(), stdout);
        return 0;
    }

    if (!opt.dumpDir.empty()) {
        // A dump folder that cannot be one is refused before anything is served.
        std::error_code ec;
        const auto st = std::filesystem::status(opt.dumpDir, ec);
        if (std::filesystem::exists(st) && !std::filesystem::is_directory(st)) {
            std::fprintf(stderr, "dexio-sim: --dump-dir %s is not a directory\n",
                         opt.dumpDir.c_str());
            return 2;
        }
    }

    dexsim::DexioModel model(opt.device);
    dexsim::PtyServer server(model, opt.pace);
    model.setObserver([&](const dexsim::Exchange& ex) {
        if (opt.log) logExchange(ex);
        if (ex.kind == dexsim::MessageKind::Complete && ex.done) dump(model, opt.dumpDir);
    });
    if (opt.log)
        server.setNotice([](const std::string& s) { std::fprintf(stderr, "%s\n", s.c_str()); });

    std::string error;
    if (!server.open(error)) {
        std::fprintf(stderr, "dexio-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.slavePath().c_str());
    std::fflush(stdout);
    if (opt.log) {
        std::fprintf(stderr, "dexio-sim: unit %u at %s, seed %u\n", unsigned{opt.device.address},
                     tabsend::formatLineSettings(opt.device.line).c_str(), opt.device.seed);
    }

    server.run(g_signalPipe[0], [&] {
        char buf[64];
        const ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
        bool stop = false;
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] == 'D') dump(model, opt.dumpDir);
            if (buf[i] == 'T') stop = true;
        }
        return !stop;
    });
    // The dump at exit is what a caller reads: a failure to write it is the exit status.
    return dump(model, opt.dumpDir) ? 0 : 1;
}
