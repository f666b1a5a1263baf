#include "download/DownloadCodec.h"

#include <algorithm>
#include <limits>
#include <span>

#include "langfiles/IniNumbers.h"

namespace tabsend {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> toBytes(std::int64_t v) {
    std::array<std::uint8_t, N> out{};
    for (std::size_t k = N; k-- > 0;) {
        out[k] = static_cast<std::uint8_t>(v & 0xFF);
        v /= 256;
    }
    return out;
}

template <typename T>
T clampToField(std::string_view text) {
    const double v = RoundHalfEven(LeadingNumber(text));
    if (!(v > 0)) return 0;  // negative, zero or not a number
    constexpr auto hi = std::numeric_limits<T>::max();
    if (v >= static_cast<double>(hi)) return hi;
    return static_cast<T>(v);
}

void append(MessageBytes& m, std::span<const std::uint8_t> bytes) {
    m.insert(m.end(), bytes.begin(), bytes.end());
}

void appendNumber16(MessageBytes& m, std::int32_t index) {
    const auto b = LongToBytes2(index);
    append(m, b);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A piece of hexadecimal digits with a value 00..FF; anything else gives 0.
std::uint8_t hexPiece(std::string_view piece) {
    unsigned value = 0;
    for (char c : piece) {
        const int d = hexDigit(c);
        if (d < 0) return 0;
        value = value * 16 + static_cast<unsigned>(d);
        if (value > 0xFF) return 0;
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::array<std::uint8_t, 4> LongToBytes4(std::int32_t v) {
    return toBytes<4>(v);
}
std::array<std::uint8_t, 2> LongToBytes2(std::int32_t v) {
    return toBytes<2>(v);
}
std::array<std::uint8_t, 2> IntToBytes2(std::int16_t v) {
    return toBytes<2>(v);
}

BitmapBuffer HexListToBytes(std::string_view text) {
    // 1. every "0x" removed
    std::string s;
    s.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '0' && i + 1 < text.size() && text[i + 1] == 'x') {
            ++i;
            continue;
        }
        s.push_back(text[i]);
    }
    // 2. commas become blanks; 3. CR, LF and tab removed
    std::string t;
    t.reserve(s.size());
    for (char c : s) {
        if (c == ',') {
            t.push_back(' ');
        } else if (c != '\r' && c != '\n' && c != '\t') {
            t.push_back(c);
        }
    }
    // 4. blanks at both ends removed
    const auto first = t.find_first_not_of(' ');
    const auto last = t.find_last_not_of(' ');
    BitmapBuffer out{};
    if (first == std::string::npos) return out;
    const std::string_view body = std::string_view(t).substr(first, last - first + 1);
    // 5./6. split at blanks, piece j into byte j
    std::size_t j = 0;
    std::size_t pos = 0;
    while (pos <= body.size() && j < out.size()) {
        const auto blank = body.find(' ', pos);
        const auto end = blank == std::string_view::npos ? body.size() : blank;
        const std::string_view piece = body.substr(pos, end - pos);
        if (!piece.empty()) out[j++] = hexPiece(piece);
        if (blank == std::string_view::npos) break;
        pos = blank + 1;
    }
    return out;
}

std::int64_t DivideRoundHalfEven(std::int64_t num, std::int64_t den) {
    if (den <= 0) return 0;
    std::int64_t q = num / den;
    std::int64_t r = num % den;
    if (r < 0) {  // floor division for negative numerators
        q -= 1;
        r += den;
    }
    // 0 <= r < den. r is compared with den - r, not 2r with den: 2r overflows when den is
    // above 2^62. q + 1 cannot overflow: a remainder leaves q at most INT64_MAX / 2.
    const std::int64_t rest = den - r;
    if (r > rest || (r == rest && (q & 1) != 0)) q += 1;
    return q;
}

std::uint8_t IniByte(std::string_view text) {
    return clampToField<std::uint8_t>(text);
}
std::int16_t IniInt16(std::string_view text) {
    return clampToField<std::int16_t>(text);
}
std::int32_t IniInt32(std::string_view text) {
    return clampToField<std::int32_t>(text);
}

std::uint8_t CountSetBits(std::uint8_t value) {
    std::uint8_t k = 0;
    for (int bit = 0; bit < 8; ++bit) k = static_cast<std::uint8_t>(k + ((value >> bit) & 1));
    return k;
}

MessageBytes DeviceIdRequest() {
    return {0x0E, 0x05, 0x00};
}

MessageBytes EraseRequest(std::uint8_t slot) {
    return {slot};
}

MessageBytes AssemblyInfoRequest(std::uint8_t lanTotalNum) {
    return {0, 1, 1, lanTotalNum};
}

MessageBytes LanguageInfoLongRequest(std::uint8_t slot, std::uint8_t item, std::int32_t value) {
    MessageBytes m{slot, item, 4};
    append(m, LongToBytes4(value));
    return m;
}

MessageBytes LanguageCodeRequest(std::uint8_t slot, std::int32_t lanType) {
    MessageBytes m{slot, 3, 2};
    append(m, LongToBytes2(lanType));
    return m;
}

MessageBytes CompleteSignalRequest(std::uint8_t slot) {
    return {static_cast<std::uint8_t>(9 + slot)};
}

MessageBytes StringIndexRequest(std::uint8_t target, std::int32_t index, std::uint8_t dispLine,
                                std::int16_t len, std::int32_t addr) {
    MessageBytes m{target, 100};
    appendNumber16(m, index);
    m.push_back(7);
    m.push_back(dispLine);
    append(m, IntToBytes2(len));
    append(m, LongToBytes4(addr));
    return m;
}

MessageBytes SingleBitmapRequest(std::uint8_t target, std::int32_t index, std::int32_t addr,
                                 const BitmapBuffer& bytes, std::int32_t length) {
    const auto l = static_cast<std::size_t>(std::clamp<std::int32_t>(length, 0, kPackageBytes));
    MessageBytes m{target};
    appendNumber16(m, index);
    append(m, LongToBytes4(addr));
    m.push_back(static_cast<std::uint8_t>(l));
    m.insert(m.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(l));
    return m;
}

MessageBytes BitmapHeadRequest(std::uint8_t target, std::int32_t index, std::int32_t addr,
                               std::uint8_t packages) {
    MessageBytes m{target};
    appendNumber16(m, index);
    m[1] = static_cast<std::uint8_t>(m[1] | 0x80);
    append(m, LongToBytes4(addr));
    m.push_back(packages);
    return m;
}

MessageBytes BitmapPackageRequest(std::uint8_t target, std::int32_t index, std::uint8_t k,
                                  const BitmapBuffer& bytes, std::int32_t length) {
    const std::int64_t offset = static_cast<std::int64_t>(kPackageBytes) * (k - 1);
    // Packages count from 1: a package 0 lies outside the bitmap and carries no bytes, as
    // a package past its end does.
    const std::int64_t m64 =
        k == 0 ? 0 : std::clamp<std::int64_t>(length - offset, 0, kPackageBytes);
    MessageBytes m{target};
    appendNumber16(m, index);
    m.push_back(k);
    m.push_back(static_cast<std::uint8_t>(m64));
    // Bytes beyond the buffer are sent as zero, like values missing from the text.
    for (std::int64_t b = offset; b < offset + m64; ++b) {
        m.push_back(b < static_cast<std::int64_t>(bytes.size()) ? bytes[static_cast<std::size_t>(b)]
                                                                : std::uint8_t{0});
    }
    return m;
}

std::int32_t PackageCount(std::int32_t length) {
    if (length <= 0) return 0;
    return length / kPackageBytes + (length % kPackageBytes > 0 ? 1 : 0);
}

MessageBytes SlotReadRequest(std::uint8_t slot, std::uint8_t item) {
    return {static_cast<std::uint8_t>(100 + slot), item};
}

MessageBytes ToggleRequest(std::uint8_t slot) {
    return {static_cast<std::uint8_t>(12 + slot), 4};
}

MessageBytes ConnectRequest() {
    return {0x01};
}
MessageBytes DisconnectRequest() {
    return {0x00};
}

}  // namespace tabsend
