#pragma once
// Command line of tabsend-cli.

#include <optional>
#include <string>
#include <vector>

namespace tabsend::cli {

// Exit statuses a script can tell apart.
enum ExitStatus : int {
    ExitOk = 0,
    ExitInternal = 1,       // an unexpected failure of the tool itself
    ExitUsage = 2,          // the command line is wrong
    ExitBadInput = 3,       // a language file refused, or the table file cannot be written
    ExitCannotOpen = 4,     // the serial port cannot be opened
    ExitNoConnection = 5,   // the unit did not answer the connect request
    ExitTimeout = 6,        // the unit stopped answering
    ExitDataConflict = 7,   // replies kept arriving damaged
    ExitRefused = 8,        // the unit answered, but refused (wrong state, illegal operation)
    ExitInterrupted = 130,  // Ctrl-C
};

enum class Command { Compile, Download, Read, Toggle, Help };

struct ManualSetting {
    std::string baud;    // e.g. "19200"
    std::string parity;  // "Even" or "None"
};

struct Options {
    Command command = Command::Help;
    std::string slotFile[3];  // --slot1..--slot3
    std::string port;         // --port: Com1..Com9 or a device path
    std::optional<ManualSetting> manual;
    int toggleSlot = 0;  // --slot N for toggle
    std::string table;   // --table PATH (empty: LanTable.ini beside the program)
    int language = 0;    // UI-language index: 0 en, 1 de, 2 fr, 3 it, 4 es
    bool quiet = false;
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // set when options is empty
};

// Parses argv[1..]. Never exits; errors come back as text.
ParseResult parseCommandLine(const std::vector<std::string>& args);

// Parses "BAUD,PARITY" where PARITY is e/even or n/none in any case.
std::optional<ManualSetting> parseManual(const std::string& text);

const char* usageText();

}  // namespace tabsend::cli
