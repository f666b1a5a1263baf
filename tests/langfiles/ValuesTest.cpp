// Numbers in INI values and the display of 8-bit texts.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "langfiles/IniNumbers.h"
#include "langfiles/TextEncoding.h"

namespace tabsend {
namespace {

TEST(LeadingNumber, ReadsTheNumberTheTextBeginsWith) {
    struct Case {
        const char* text;
        double expected;
    };
    for (const Case& c :
         {Case{"40", 40}, Case{"  \t 12abc", 12}, Case{"-3.5x", -3.5}, Case{"+7", 7}, Case{"", 0},
          Case{"abc", 0}, Case{"0x1F", 0}, Case{"1e3", 1000}, Case{"2E-1z", 0.2}, Case{"5e", 5},
          Case{"5e+", 5}, Case{".5", 0.5}, Case{"3.", 3}, Case{"-", 0}, Case{"- 4", 0},
          Case{"1 2", 1}, Case{"007", 7}, Case{"1,5", 1}, Case{"262144", 262144}}) {
        EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.expected) << '"' << c.text << '"';
    }
    EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour) {
    struct Case {
        double x;
        double expected;
    };
    for (const Case& c :
         {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{3.5, 4}, Case{-0.5, 0}, Case{-1.5, -2},
          Case{-2.5, -2}, Case{2.4999, 2}, Case{2.5001, 3}, Case{-2.6, -3}, Case{7, 7}}) {
        EXPECT_EQ(RoundHalfEven(c.x), c.expected) << c.x;
    }
}

TEST(LeadingWholeNumber, RoundsAndRefusesWhatDoesNotFit32Bits) {
    EXPECT_EQ(LeadingWholeNumber("40.5 bytes"), 40);
    EXPECT_EQ(LeadingWholeNumber("41.5"), 42);
    EXPECT_EQ(LeadingWholeNumber("x"), 0);
    EXPECT_EQ(LeadingWholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(LeadingWholeNumber("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(LeadingWholeNumber("2147483648"), std::nullopt);
    EXPECT_EQ(LeadingWholeNumber("1e999"), std::nullopt);
}

TEST(WholeValueNumber, TakesTheWholeTextAsOneNumber) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    for (const Case& c :
         {Case{"12", 12}, Case{"  12 \t", 12}, Case{"+3", 3}, Case{"-5", -5}, Case{"12.5", 12},
          Case{"13.5", 14}, Case{"0", 0}, Case{"", std::nullopt}, Case{"   ", std::nullopt},
          Case{"12abc", std::nullopt}, Case{"1 2", std::nullopt}, Case{"abc", std::nullopt},
          Case{"0x10", std::nullopt}, Case{"99999999999", std::nullopt}, Case{".", std::nullopt}}) {
        EXPECT_EQ(WholeValueNumber(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(DisplayText, KeepsUtf8AndDecodesWindows1252) {
    struct Case {
        std::string bytes;
        std::string shown;
    };
    for (const Case& c : {
             Case{"English", "English"},
             Case{"Fran\xE7"
                  "ais",
                  "Français"},              // Windows-1252
             Case{"Français", "Français"},  // already UTF-8
             Case{"\x80 5 \x9C"
                  "uvre",
                  "€ 5 œuvre"},                                 // 0x80..0x9F block
             Case{"Deutsch \xC4\xD6\xDC\xDF", "Deutsch ÄÖÜß"},  // looks like broken UTF-8
             Case{"\xC3\x28", "Ã("},                            // invalid sequence
             Case{"\xE0\x80\x80", "à€€"},                       // overlong form is not UTF-8
             Case{"\xED\xA0\x80", "í\u00A0€"},                  // surrogate is not UTF-8
             Case{"\x81\x8D", "\xC2\x81\xC2\x8D"},              // unassigned bytes kept as C1
         }) {
        EXPECT_EQ(displayText(c.bytes), c.shown) << c.bytes;
    }
    EXPECT_TRUE(isValidUtf8("Volapük Māori \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("abc\xC3"));           // cut short
}

}  // namespace
}  // namespace tabsend
