#pragma once
// One run of tabsend-cli: the tool's modules wired to the real serial port and the terminal.

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/cli/CliOptions.h"

namespace tabsend::cli {

// Set by SIGINT/SIGTERM; the event pump turns it into an orderly stop.
extern volatile std::sig_atomic_t g_interrupted;

// Runs the command; returns the exit status. `programDir` is the folder of the program
// (where LanTable.ini lives by default).
int runCommand(const Options& options, const std::string& programDir, std::FILE* out);

}  // namespace tabsend::cli
