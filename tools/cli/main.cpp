// tabsend-cli: compile language files and load them into a DEXIO from the command line.

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/CliOptions.h"
#include "tools/cli/CliSession.h"

namespace {
extern "C" void onSignal(int sig) {
    tabsend::cli::g_interrupted = 1;
    std::signal(sig, SIG_DFL);  // a second Ctrl-C ends the program at once
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = tabsend::cli::parseCommandLine(args);
    if (!parsed.options) {
        std::fprintf(stderr, "tabsend-cli: %s\n\n%s", parsed.error.c_str(),
                     tabsend::cli::usageText());
        return tabsend::cli::ExitUsage;
    }
    if (parsed.options->command == tabsend::cli::Command::Help) {
        std::fputs(tabsend::cli::usageText(), stdout);
        return tabsend::cli::ExitOk;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    return tabsend::cli::runCommand(*parsed.options,
                                    QCoreApplication::applicationDirPath().toStdString(), stdout);
}
