// The bitmap hex-list readers: the download's HexListToBytes and the compiler's strict
// SplitBitmapText. Whatever the text, neither may fail; where the strict reader accepts a
// text, the download must read the very same bytes from it (and zeros after them).

#include <cstdint>
#include <string_view>
#include <vector>

#include "download/DownloadCodec.h"
#include "fuzz/FuzzInput.h"
#include "langfiles/SourceFile.h"

using tabsend::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tabsend::BitmapBuffer loose = tabsend::HexListToBytes(text);
    std::vector<std::uint8_t> strict;
    if (tabsend::SplitBitmapText(text, strict)) {
        require(strict.size() <= tabsend::kBitmapBufferBytes);
        for (std::size_t i = 0; i < loose.size(); ++i) {
            require(loose[i] == (i < strict.size() ? strict[i] : 0));
        }
    }
    return 0;
}
