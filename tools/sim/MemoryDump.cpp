#include "tools/sim/MemoryDump.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <system_error>

namespace dexsim {

namespace {

std::string hex(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", width, v);
    return buf;
}

template <typename T>
std::string valueOr(bool set, T v) {
    return set ? std::to_string(v) : std::string("-");
}

bool writeAtomically(const std::filesystem::path& file, const char* bytes, std::size_t n,
                     std::string& error) {
    std::filesystem::path tmp = file;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes, static_cast<std::streamsize>(n));
        out.flush();
        if (!out) {
            error = "cannot write " + tmp.string();
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, file, ec);
    if (ec) {
        error = "cannot rename " + tmp.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

std::string formatIndex(const DexioModel& model) {
    std::string s;
    s += "# dexio-sim memory index\n";
    s += "# memory.bin: slot 1 at offset 0x000000 (device 0x040000), slot 2 at 0x080000 "
         "(0x0C0000), slot 3 at 0x100000 (0x140000)\n";
    const auto langs = model.totalLanguages();
    s += "languages " + (langs ? std::to_string(*langs) : std::string("-")) + "\n";
    for (int n = 1; n <= kSlotCount; ++n) {
        const SlotInfo i = model.slot(n);
        s += "slot " + std::to_string(n) + " status " + hex(i.status, 2) + " present " +
             std::to_string(i.present) + " in_operation " + std::to_string(i.inOperation) +
             " switchable " + std::to_string(i.switchable) + " total_strings " +
             valueOr(i.totalStringsSet, i.totalStrings) + " version " +
             valueOr(i.versionSet, i.version) + " code " +
             valueOr(i.languageCodeSet, i.languageCode) + " erases " + std::to_string(i.erases) +
             " completes " + std::to_string(i.completes) + "\n";
    }
    s += "# slot string disp_line len addr bitmap_bytes\n";
    for (int n = 1; n <= kSlotCount; ++n) {
        const auto& index = model.index(n);
        const auto& bitmaps = model.bitmapsReceived(n);
        std::set<std::uint16_t> strings;
        for (const auto& [k, v] : index) strings.insert(k);
        for (const auto& [k, v] : bitmaps) strings.insert(k);
        for (const std::uint16_t str : strings) {
            const auto e = index.find(str);
            const auto b = bitmaps.find(str);
            const bool has = e != index.end();
            s += std::to_string(n) + " " + std::to_string(str) + " " +
                 (has ? std::to_string(e->second.dispLine) : "-") + " " +
                 (has ? std::to_string(e->second.len) : "-") + " " +
                 (has ? hex(e->second.addr, 8) : "-") + " " +
                 (b != bitmaps.end() ? std::to_string(b->second) : "-") + "\n";
        }
    }
    return s;
}

bool writeDump(const DexioModel& model, const std::filesystem::path& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir.string() + ": " + ec.message();
        return false;
    }
    const auto image = model.image();
    if (!writeAtomically(dir / kImageFileName, reinterpret_cast<const char*>(image.data()),
                         image.size(), error))
        return false;
    const std::string index = formatIndex(model);
    return writeAtomically(dir / kIndexFileName, index.data(), index.size(), error);
}

}  // namespace dexsim
