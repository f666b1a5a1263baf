#pragma once
// The command line of dexio-sim, turned into the device configuration and the options of the
// pseudo-terminal front end. Kept apart from the program so that it can be tested in-process.

#include <optional>
#include <string>
#include <vector>

#include "tools/sim/DexioModel.h"

namespace dexsim {

struct SimOptions {
    DexioConfig device;
    bool pace = true;     // put reply bytes out at the line's character rate
    std::string dumpDir;  // empty: no dump
    bool log = false;     // one line per frame on standard error
    bool help = false;
};

struct SimOptionsResult {
    std::optional<SimOptions> options;  // set when the command line is sound
    std::string error;                  // otherwise what is wrong with it
};

// `args` without the program name. Options take their value as the next argument or after
// '=' ("--settings=9600,e,8,1").
SimOptionsResult parseSimOptions(const std::vector<std::string>& args);

// The --help text.
std::string simUsage();

// "empty", "in-service", "out-of-service", "locked" (and the aliases "in-operation",
// "out-of-operation", "not-switchable") or a raw status byte ("0xEF", "239"), optionally
// followed by ",CODE" and ",CODE,VERSION" (language code and version of a present slot).
std::optional<SlotPreset> parseSlotPreset(const std::string& text);

}  // namespace dexsim
