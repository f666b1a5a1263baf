#include "link/SerialPort.h"

#include <cctype>
#include <charconv>

namespace tabsend {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

namespace {

std::optional<int> toInt(std::string_view s) {
    s = trimBlanks(s);
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}
}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text) {
    std::string_view fields[4];
    int n = 0;
    bool more = true;  // a comma followed the last field taken
    while (n < 4 && more) {
        auto comma = text.find(',');
        fields[n++] = text.substr(0, comma);
        more = comma != std::string_view::npos;
        if (more) text.remove_prefix(comma + 1);
    }
    if (n != 4 || more) return std::nullopt;  // fewer or more than four fields
    LineSettings s;
    auto baud = toInt(fields[0]);
    auto data = toInt(fields[2]);
    auto stop = toInt(fields[3]);
    auto par = trimBlanks(fields[1]);
    if (!baud || !data || !stop || par.size() != 1 || *baud <= 0) return std::nullopt;
    switch (std::tolower(static_cast<unsigned char>(par[0]))) {
        case 'n':
            s.parity = Parity::None;
            break;
        case 'e':
            s.parity = Parity::Even;
            break;
        case 'o':
            s.parity = Parity::Odd;
            break;
        case 'm':
            s.parity = Parity::Mark;
            break;
        case 's':
            s.parity = Parity::Space;
            break;
        default:
            return std::nullopt;
    }
    if (*data < 5 || *data > 8 || (*stop != 1 && *stop != 2)) return std::nullopt;
    s.baud = *baud;
    s.dataBits = *data;
    s.stopBits = *stop;
    return s;
}

std::string formatLineSettings(const LineSettings& s) {
    static constexpr char letters[] = {'n', 'e', 'o', 'm', 's'};
    return std::to_string(s.baud) + ',' + letters[static_cast<int>(s.parity)] + ',' +
           std::to_string(s.dataBits) + ',' + std::to_string(s.stopBits);
}

int bitsPerCharacter(const LineSettings& s) {
    return 1 + s.dataBits + (s.parity == Parity::None ? 0 : 1) + s.stopBits;
}

}  // namespace tabsend
