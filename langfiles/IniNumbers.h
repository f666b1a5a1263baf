#pragma once
// Numbers in INI values.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tabsend {

// The number that begins the text: blanks (space, tab) in front are skipped, then an
// optional sign, decimal digits with an optional fraction and an optional exponent; reading
// stops at the first character that cannot continue the number. Text without a number
// reads as 0. "12abc" is 12, " -3.5x" is -3.5, "abc" and "" are 0, "0x1F" is 0.
double LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2).
double RoundHalfEven(double x);

// LeadingNumber rounded halves-to-even, when the result fits a signed 32-bit number.
std::optional<std::int32_t> LeadingWholeNumber(std::string_view text);

// The whole text as one number: blanks around it are allowed, anything else makes it "not a
// number" (nothing). A fraction is rounded halves-to-even; the result must fit a signed
// 32-bit number. "  12 " is 12, "12.5" is 12, "12abc", "", "1 2" are nothing.
std::optional<std::int32_t> WholeValueNumber(std::string_view text);

}  // namespace tabsend
