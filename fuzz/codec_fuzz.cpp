// The download's message codec fed directly with any numbers, as no caller does today: the
// bitmap messages must stay inside the 1001-byte buffer for every package number and
// length, and the rounding division must agree with exact arithmetic for every divisor.
//
// Input: k (1 byte), length (4), target/index (3), num (8), den (8), then bitmap bytes.

#include <cstdint>
#include <cstring>

#include "download/DownloadCodec.h"
#include "fuzz/FuzzInput.h"

using tabsend::fuzz::FuzzInput;
using tabsend::fuzz::require;

namespace {

std::int64_t int64From(FuzzInput& in) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | in.byte();
    std::int64_t out = 0;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

// num / den rounded half to even, computed in 128 bits.
std::int64_t exactRoundHalfEven(std::int64_t num, std::int64_t den) {
    const __int128 n = num;
    const __int128 d = den;
    __int128 q = n / d;
    __int128 r = n % d;
    if (r < 0) {
        q -= 1;
        r += d;
    }
    if (2 * r > d || (2 * r == d && (q & 1) != 0)) q += 1;
    return static_cast<std::int64_t>(q);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t k = in.byte();
    const std::uint32_t high = in.word();
    const auto length = static_cast<std::int32_t>(high << 16 | in.word());
    const std::uint8_t target = in.byte();
    const std::int32_t index = in.word();
    const std::int64_t num = int64From(in);
    const std::int64_t den = int64From(in);
    tabsend::BitmapBuffer bitmap{};
    const auto rest = in.bytes(bitmap.size());
    std::memcpy(bitmap.data(), rest.data(), rest.size());

    const tabsend::MessageBytes m = tabsend::BitmapPackageRequest(target, index, k, bitmap, length);
    require(m.size() >= 5 && m.size() == 5u + m[4] && m[4] <= tabsend::kPackageBytes);
    if (k == 0) require(m[4] == 0);
    for (std::size_t b = 0; b < m[4]; ++b) {
        const std::size_t at = static_cast<std::size_t>(k - 1) * 255 + b;
        require(m[5 + b] == (at < bitmap.size() ? bitmap[at] : 0));
    }
    const tabsend::MessageBytes single =
        tabsend::SingleBitmapRequest(target, index, 0x40000, bitmap, length);
    require(single.size() == 8u + single[7]);

    if (den > 0) {
        require(tabsend::DivideRoundHalfEven(num, den) == exactRoundHalfEven(num, den));
    } else {
        require(tabsend::DivideRoundHalfEven(num, den) == 0);
    }
    return 0;
}
