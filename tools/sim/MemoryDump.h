#pragma once
// Writes what the unit holds to a folder, so that a test or a trainer can compare it with the
// source files: the memory image of the three slot areas and a readable index.
//
//   memory.bin  the three 0x80000-byte slot areas back to back: slot 1 at file offset 0
//               (device address 0x40000), slot 2 at 0x80000 (0xC0000), slot 3 at 0x100000
//               (0x140000). Bytes never written or erased read 0xFF.
//   index.txt   text lines (see formatIndex).
//
// Both files are written to a temporary name first and renamed, so a reader never sees half
// a file.

#include <filesystem>
#include <string>

#include "tools/sim/DexioModel.h"

namespace dexsim {

inline constexpr const char* kImageFileName = "memory.bin";
inline constexpr const char* kIndexFileName = "index.txt";

// The index text:
//   # comment lines
//   languages <n>                       (assembly information; "-" when none arrived)
//   slot <n> status 0x<hh> present <0|1> in_operation <0|1> switchable <0|1>
//        total_strings <v> version <v> code <v> erases <n> completes <n>   (one line)
//   <slot> <string> <disp_line> <len> 0x<addr> <bitmap_bytes>
// Values never received print as "-". One string line per string that has an index entry or
// a received bitmap, ordered by slot and string number.
std::string formatIndex(const DexioModel& model);

// Writes memory.bin and index.txt into `dir` (created if missing). Gives false and a reason
// in `error` when a file cannot be written.
bool writeDump(const DexioModel& model, const std::filesystem::path& dir, std::string& error);

}  // namespace dexsim
