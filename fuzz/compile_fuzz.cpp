// The source-file check and the compile on a fuzzed language source file: never a crash;
// a refused compile shows one message and leaves the table as it was; a finished one leaves
// a table whose slot says what the source said. The busy notice is closed on every way out.
//
// The input is the source file; its length picks the slot (1..3), so that the check for
// English in slot 1 is reached as well as the other slots.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "fuzz/FuzzInput.h"
#include "langfiles/IniDocument.h"
#include "langfiles/IniFile.h"
#include "langfiles/LanCompiler.h"
#include "tests/support/RecordingSeams.h"

using namespace tabsend;
using tabsend::fuzz::require;

namespace {

std::filesystem::path scratchFolder() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
    const auto dir = base / ("compile-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path dir = scratchFolder();
    const std::string source = (dir / "source.ini").string();
    const std::string table = (dir / "LanTable.ini").string();
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::filesystem::remove(table);
    const int slot = 1 + static_cast<int>(size % 3);

    const SourceFileCheck check = CheckSourceFile(source, slot);
    if (check.result == SelectCheck::Accepted) {
        require(!check.language.empty() && !check.version.empty());
    }

    SharedState state;
    state.LanTablePath = table;
    const Messages texts = MessagesForLanguage(kUiEnglish);
    testkit::RecordingMessages messages;
    testkit::RecordingBusyNotice notice;
    testkit::CountingWindowRefresh window;
    testkit::CountingPump pump;
    LanCompiler c{state, texts, messages, notice, window, pump};
    if (c.SelectFile(slot, source) != SelectCheck::Accepted) {
        require(check.result != SelectCheck::Accepted);
        return 0;
    }
    require(check.result == SelectCheck::Accepted);
    const Flag16 result = c.Compile();
    require(!notice.open);
    require(messages.shown.size() == 1);
    const Flag16& flag = slot == 1   ? state.LanSetFlag1
                         : slot == 2 ? state.LanSetFlag2
                                     : state.LanSetFlag3;
    if (result == kTrue) {
        require(flag == kTrue);
        const std::string info = "Lan" + std::to_string(slot) + "Info";
        // The version as written to the table and read back (a reader drops one pair of
        // quotes around a value, as it did in the source file).
        IniDocument written;
        written.set(info, "LanVer", check.version);
        require(GetFromini(info, "LanVer", table) == written.get(info, "LanVer"));
        require(GetFromini("LanAssInfo", "LanTotalNum", table) == "1");
    } else {
        require(result == kFalse);
        require(flag == kFalse);
    }
    return 0;
}
