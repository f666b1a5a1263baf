#pragma once
// What tells the two builds of Tabsend apart. Each program links its own BuildInfo.cpp,
// compiled with the build's letter and name, so the difference lives in one place.

#include <string>

namespace tabsend {

// "N" for the Normal build, "C" for the Compatibility build.
char BuildLetter();
// "Normal" or "Compatibility": the folder the build is delivered in.
const char* BuildName();
// The version label of the About tab, e.g. "DEX Language Tool (Ver1.6.0N)".
std::string VersionLabel();

}  // namespace tabsend
