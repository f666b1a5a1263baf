#include "tools/langgen/LangGen.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "tools/langgen/Font5x7.h"

namespace tabsend::langgen {

namespace {

constexpr std::int64_t kSlotAreaBytes = 0x80000;
constexpr std::int32_t kMaxStrings = 32767;
constexpr std::int32_t kMaxBitmap = 1001;  // the largest bitmap a string can have

// splitmix64: small, fast and the same everywhere.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::int32_t between(std::int32_t lo, std::int32_t hi) {
        const auto span = static_cast<std::uint64_t>(hi - lo) + 1U;
        return lo + static_cast<std::int32_t>(next() % span);
    }

  private:
    std::uint64_t state_;
};

void appendHexList(std::string& out, const std::vector<std::uint8_t>& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) out += ',';
        out += "0x";
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 0x0F];
    }
}

bool hasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

std::string header(const std::string& comment, const std::string& name, const std::string& version,
                   std::int32_t code, std::size_t strings) {
    if (name.empty() || version.empty() || hasLineBreak(name) || hasLineBreak(version))
        throw std::invalid_argument("name and version must be one non-empty line each");
    std::string out = "; " + comment + "\r\n";
    out += "[Laninfo]\r\n";
    out += "Language=" + name + "\r\n";
    out += "LanVer=" + version + "\r\n";
    out += "LanCode=" + std::to_string(code) + "\r\n";
    out += "StrNum=" + std::to_string(strings) + "\r\n";
    out += "[LanStrcodeBM]\r\n";
    return out;
}

void appendString(std::string& out, std::size_t i, int dispLine,
                  const std::vector<std::uint8_t>& bytes) {
    const std::string n = std::to_string(i);
    out += "Str" + n + "BMLen=" + std::to_string(bytes.size()) + "\r\n";
    out += "Str" + n + "BMDispLine=" + std::to_string(dispLine) + "\r\n";
    out += "Str" + n + "BMArray=";
    appendHexList(out, bytes);
    out += "\r\n";
}

std::vector<char32_t> decodeUtf8(const std::string& s) {
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 1;
        char32_t cp = c;
        if (c >= 0xC0 && c < 0xE0) {
            len = 2;
            cp = c & 0x1FU;
        } else if (c >= 0xE0 && c < 0xF0) {
            len = 3;
            cp = c & 0x0FU;
        } else if (c >= 0xF0 && c < 0xF8) {
            len = 4;
            cp = c & 0x07U;
        } else if (c >= 0x80) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + len > s.size()) {
            out.push_back(0xFFFD);
            break;
        }
        for (std::size_t k = 1; k < len; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3FU);
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

// Accent marks in the top row, one bit per glyph column.
constexpr std::uint8_t kGrave = 0b00010;
constexpr std::uint8_t kAcute = 0b01000;
constexpr std::uint8_t kCircumflex = 0b00100;
constexpr std::uint8_t kDiaeresis = 0b01010;
constexpr std::uint8_t kTilde = 0b01110;

struct Accented {
    char32_t c;
    const char* base;  // one or two capitals
    std::uint8_t accent;
};

constexpr Accented kAccented[] = {
    {U'à', "A", kGrave},      {U'á', "A", kAcute},      {U'â', "A", kCircumflex},
    {U'ä', "A", kDiaeresis},  {U'ã', "A", kTilde},      {U'å', "A", kCircumflex},
    {U'ç', "C", 0},           {U'è', "E", kGrave},      {U'é', "E", kAcute},
    {U'ê', "E", kCircumflex}, {U'ë', "E", kDiaeresis},  {U'ì', "I", kGrave},
    {U'í', "I", kAcute},      {U'î', "I", kCircumflex}, {U'ï', "I", kDiaeresis},
    {U'ñ', "N", kTilde},      {U'ò', "O", kGrave},      {U'ó', "O", kAcute},
    {U'ô', "O", kCircumflex}, {U'ö', "O", kDiaeresis},  {U'õ', "O", kTilde},
    {U'ù', "U", kGrave},      {U'ú', "U", kAcute},      {U'û', "U", kCircumflex},
    {U'ü', "U", kDiaeresis},  {U'ÿ', "Y", kDiaeresis},  {U'ß', "SS", 0},
    {U'œ', "OE", 0},          {U'æ', "AE", 0},
};

void appendGlyph(std::vector<std::uint8_t>& out, char32_t c, std::uint8_t accent) {
    std::array<std::uint8_t, 5> columns{};
    if (!GlyphColumns(c, columns)) columns = {0x7F, 0x41, 0x41, 0x41, 0x7F};  // a box
    for (std::size_t x = 0; x < 5; ++x) {
        out.push_back(static_cast<std::uint8_t>((columns[x] << 1) | ((accent >> x) & 1U)));
    }
    out.push_back(0);
}

}  // namespace

std::string GenerateLanguageSource(const Options& o) {
    if (o.strings < 1 || o.strings > kMaxStrings)
        throw std::invalid_argument("the string count must be 1 to 32767");
    if (o.minLen < 1 || o.maxLen > kMaxBitmap || o.minLen > o.maxLen)
        throw std::invalid_argument("bitmap lengths must satisfy 1 <= min <= max <= 1000");
    const auto count = static_cast<std::size_t>(o.strings);
    std::string out =
        header("Language source file written by langgen, " + std::to_string(o.strings) +
                   " strings, seed " + std::to_string(o.seed),
               o.name, o.version, o.code, count);
    out.reserve(out.size() + count * (static_cast<std::size_t>(o.maxLen) * 5 + 80));
    Random rnd(o.seed);
    std::int64_t total = 0;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t len = rnd.between(o.minLen, o.maxLen);
        const int dispLine = rnd.between(1, 4);
        bytes.resize(static_cast<std::size_t>(len));
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rnd.next() >> 56);
        total += len;
        appendString(out, i, dispLine, bytes);
    }
    if (total > kSlotAreaBytes)
        throw std::invalid_argument("the bitmaps (" + std::to_string(total) +
                                    " bytes) do not fit a slot area of 524288 bytes");
    return out;
}

std::vector<std::uint8_t> RenderText(const std::string& utf8) {
    std::vector<std::uint8_t> out;
    for (char32_t c : decodeUtf8(utf8)) {
        if (c >= U'a' && c <= U'z') c -= 32;
        // Accented capitals look like their small letters here.
        if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || c == 0x152) c += (c == 0x152 ? 1 : 32);
        const Accented* hit = nullptr;
        for (const Accented& a : kAccented) {
            if (a.c == c) hit = &a;
        }
        if (hit == nullptr) {
            appendGlyph(out, c, 0);
            continue;
        }
        for (const char* p = hit->base; *p != '\0'; ++p) {
            appendGlyph(out, static_cast<char32_t>(*p), p == hit->base ? hit->accent : 0);
        }
    }
    return out;
}

std::string RenderLanguageSource(const std::vector<std::string>& texts, std::int32_t code,
                                 const std::string& name, const std::string& version) {
    if (texts.empty() || texts.size() > static_cast<std::size_t>(kMaxStrings))
        throw std::invalid_argument("1 to 32767 texts are needed");
    std::string out = header("Language source file rendered by langgen with its 5x7 font", name,
                             version, code, texts.size());
    std::int64_t total = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::vector<std::uint8_t> bytes = RenderText(texts[i]);
        if (bytes.empty() || bytes.size() > static_cast<std::size_t>(kMaxBitmap))
            throw std::invalid_argument("text " + std::to_string(i) +
                                        " is empty or longer than 166 characters");
        total += static_cast<std::int64_t>(bytes.size());
        appendString(out, i, bytes.size() > 255 ? 2 : 1, bytes);
    }
    if (total > kSlotAreaBytes)
        throw std::invalid_argument("the bitmaps do not fit a slot area of 524288 bytes");
    return out;
}

std::string ToWindows1252(const std::string& utf8) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    for (char32_t c : decodeUtf8(utf8)) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char replacement = '?';
        for (std::size_t k = 0; k < 32; ++k) {
            if (kHigh[k] == c) replacement = static_cast<char>(0x80 + k);
        }
        out += replacement;
    }
    return out;
}

std::vector<std::string> ReadTextLines(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) {
        throw std::invalid_argument("cannot read " + path + ": " +
                                    (ec ? ec.message() : std::string("no such file")));
    }
    if (fs::is_directory(st))
        throw std::invalid_argument(path + " is a directory, not a text file");
    if (!fs::is_regular_file(st)) throw std::invalid_argument(path + " is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::invalid_argument("cannot read " + path + ": " + std::strerror(errno));
    std::vector<std::string> texts;
    std::string line;
    std::size_t lineNo = 1;
    const auto endLine = [&] {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) {
            if (texts.size() == 32767)
                throw std::invalid_argument(path + " holds more than 32767 texts");
            texts.push_back(std::move(line));
        }
        line.clear();
        ++lineNo;
    };
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            endLine();
            continue;
        }
        if (line.size() == kMaxTextLineBytes) {
            throw std::invalid_argument(path + ": line " + std::to_string(lineNo) +
                                        " is longer than " + std::to_string(kMaxTextLineBytes) +
                                        " bytes");
        }
        line.push_back(static_cast<char>(c));
    }
    if (in.bad()) throw std::invalid_argument("cannot read " + path + ": " + std::strerror(errno));
    endLine();
    if (texts.empty())
        throw std::invalid_argument(path + " holds no text (one per line is needed)");
    return texts;
}

}  // namespace tabsend::langgen
