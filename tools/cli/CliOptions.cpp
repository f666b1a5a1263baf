#include "tools/cli/CliOptions.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace tabsend::cli {

namespace {
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool allDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}
// The rates serial ports offer: the standard rates of POSIX and Linux terminals and the
// further ones of Windows COM ports.
bool offeredBaudRate(const std::string& digits) {
    static const char* const kRates[] = {
        "50",      "75",      "110",     "134",     "150",     "200",     "300",
        "600",     "1200",    "1800",    "2400",    "4800",    "9600",    "14400",
        "19200",   "38400",   "56000",   "57600",   "115200",  "128000",  "230400",
        "256000",  "460800",  "500000",  "576000",  "921600",  "1000000", "1152000",
        "1500000", "2000000", "2500000", "3000000", "3500000", "4000000"};
    return std::any_of(std::begin(kRates), std::end(kRates),
                       [&](const char* r) { return digits == r; });
}
}  // namespace

std::optional<ManualSetting> parseManual(const std::string& text) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    ManualSetting m;
    m.baud = text.substr(0, comma);
    const std::string parity = lower(text.substr(comma + 1));
    if (!allDigits(m.baud) || !offeredBaudRate(m.baud)) return std::nullopt;
    if (parity == "e" || parity == "even") {
        m.parity = "Even";
    } else if (parity == "n" || parity == "none") {
        m.parity = "None";
    } else {
        return std::nullopt;
    }
    return m;
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    Options o;
    if (args.empty()) {
        r.error = "no command given";
        return r;
    }
    const std::string& cmd = args[0];
    if (cmd == "compile") {
        o.command = Command::Compile;
    } else if (cmd == "download") {
        o.command = Command::Download;
    } else if (cmd == "read") {
        o.command = Command::Read;
    } else if (cmd == "toggle") {
        o.command = Command::Toggle;
    } else if (cmd == "help" || cmd == "--help" || cmd == "-h") {
        o.command = Command::Help;
        r.options = o;
        return r;
    } else {
        r.error = "unknown command '" + cmd + "'";
        return r;
    }

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= args.size()) {
                r.error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--slot1" || a == "--slot2" || a == "--slot3") {
            if (!value(v)) return r;
            o.slotFile[a[6] - '1'] = v;
        } else if (a == "--port") {
            if (!value(o.port)) return r;
        } else if (a == "--table") {
            if (!value(o.table)) return r;
        } else if (a == "--manual") {
            if (!value(v)) return r;
            o.manual = parseManual(v);
            if (!o.manual) {
                r.error = "--manual takes BAUD,PARITY such as 19200,even or 9600,none";
                return r;
            }
        } else if (a == "--slot") {
            if (!value(v)) return r;
            if (v != "1" && v != "2" && v != "3") {
                r.error = "--slot takes 1, 2 or 3";
                return r;
            }
            o.toggleSlot = v[0] - '0';
        } else if (a == "--language") {
            if (!value(v)) return r;
            static const char* codes[] = {"en", "de", "fr", "it", "es"};
            const auto* it = std::find(std::begin(codes), std::end(codes), lower(v));
            if (it == std::end(codes)) {
                r.error = "--language takes en, de, fr, it or es";
                return r;
            }
            o.language = static_cast<int>(it - std::begin(codes));
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else {
            r.error = "unknown option '" + a + "'";
            return r;
        }
    }

    const bool needsPort = o.command != Command::Compile;
    if (needsPort && o.port.empty()) {
        r.error = "this command needs --port";
        return r;
    }
    if (o.command == Command::Toggle && o.toggleSlot == 0) {
        r.error = "toggle needs --slot 1, 2 or 3";
        return r;
    }
    if ((o.command == Command::Read || o.command == Command::Toggle) &&
        (!o.slotFile[0].empty() || !o.slotFile[1].empty() || !o.slotFile[2].empty())) {
        r.error = "--slot1..--slot3 belong to compile and download";
        return r;
    }
    r.options = o;
    return r;
}

const char* usageText() {
    return R"(Usage: tabsend-cli COMMAND [OPTIONS]

Commands:
  compile  [--slot1 FILE] [--slot2 FILE] [--slot3 FILE]
           Compile the language source files into the download table.
  download --port PORT [--manual BAUD,PARITY] [--slot1 FILE] [--slot2 FILE] [--slot3 FILE]
           Compile, connect, download, read the slots back and disconnect.
  read     --port PORT [--manual BAUD,PARITY]
           Connect and show what each slot of the unit holds.
  toggle   --port PORT --slot N [--manual BAUD,PARITY]
           Switch slot N in or out of operation, then read the slots back.

Options:
  --port PORT        Com1..Com9 (see TABSEND_COM1..9) or a device path such as /dev/ttyUSB0
  --manual B,P       connect at baud B with parity P (even or none) instead of searching
  --table PATH       the download table (default: LanTable.ini beside the program)
  --language L       messages in en, de, fr, it or es (default en)
  --quiet            no progress output

Slot 1 takes an English language file only.

Exit status: 0 done, 2 usage, 3 bad input file, 4 cannot open port, 5 no connection,
6 communication timeout, 7 data conflict, 8 refused by the unit, 130 interrupted.
)";
}

}  // namespace tabsend::cli
