#include "langfiles/IniNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "langfiles/IniDocument.h"

namespace tabsend {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the number at the start of s (sign, digits, fraction, exponent), 0 when s does
// not start with one.
std::size_t numberLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fraction = 0;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t expStart = j;
        while (j < s.size() && isDigit(s[j])) ++j;
        if (j > expStart) i = j;
    }
    return i;
}

double convert(std::string_view number) {
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0.0;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), value,
                                   std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: an exponent far out either way.
        const std::size_t e = number.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

std::optional<std::int32_t> toInt32(double rounded) {
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

}  // namespace

double LeadingNumber(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && isIniBlank(text[b])) ++b;
    text.remove_prefix(b);
    const std::size_t len = numberLength(text);
    if (len == 0) return 0.0;
    return convert(text.substr(0, len));
}

double RoundHalfEven(double x) {
    if (!std::isfinite(x)) return x;
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff > 0.5) return lower + 1.0;
    if (diff < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::optional<std::int32_t> LeadingWholeNumber(std::string_view text) {
    return toInt32(RoundHalfEven(LeadingNumber(text)));
}

std::optional<std::int32_t> WholeValueNumber(std::string_view text) {
    const std::string_view t = trimIniBlanks(text);
    const std::size_t len = numberLength(t);
    if (len == 0 || len != t.size()) return std::nullopt;
    return toInt32(RoundHalfEven(convert(t)));
}

}  // namespace tabsend
