// The language code table.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "langfiles/LanguageCodeManage.h"

namespace tabsend {
namespace {

constexpr std::int32_t two(char a, char b) {
    return a * 256 + b;
}

TEST(LanguageCodeTable, Has186DistinctRows) {
    const auto table = LanguageCodeTable();
    EXPECT_EQ(table.size(), 186U);
    std::set<std::int32_t> codes;
    std::set<std::string> names;
    for (const auto& row : table) {
        codes.insert(row.code);
        names.insert(std::string(row.name));
        EXPECT_FALSE(row.name.empty());
    }
    EXPECT_EQ(codes.size(), 186U);
    EXPECT_EQ(names.size(), 186U);
    // The ISO codes of the five one-bit languages have no row.
    for (std::int32_t c :
         {two('e', 'n'), two('f', 'r'), two('e', 's'), two('d', 'e'), two('i', 't')})
        EXPECT_EQ(codes.count(c), 0U) << c;
}

TEST(GetLanguageName, NamesKnownCodesAndWritesOthersAsDigits) {
    struct Case {
        std::int32_t code;
        const char* name;
    };
    for (const Case& c : {
             Case{1, "English"},
             Case{2, "French"},
             Case{4, "Spanish"},
             Case{8, "German"},
             Case{16, "Italian"},
             Case{61556, "Brazil"},
             Case{24929, "Afar"},
             Case{31349, "Zulu"},
             Case{28788, "Portuguese"},
             Case{two('a', 'e'), "Avestan"},
             Case{two('s', 'd'), "Sindhi "},  // the blank belongs to the name
             Case{two('g', 'n'), "Guaraní"},
             Case{two('m', 'i'), "Māori"},
             Case{two('p', 'i'), "Pāli"},
             Case{two('v', 'o'), "Volapük"},
             Case{two('i', 'a'), "Interlingua(IALA)"},
             Case{two('n', 'b'), "Norwegian Bokmal"},
             Case{two('r', 'm'), "Raeto Romance"},
             Case{two('s', 'h'), "Serbo Croatian"},
             Case{two('z', 'h'), "Chinese"},
             Case{two('c', 'u'), "Church Slavic"},
             Case{25966, "25966"},  // en
             Case{two('f', 'r'), "26226"},
             Case{two('d', 'e'), "25701"},
             Case{0, "0"},
             Case{3, "3"},
             Case{255, "255"},
             Case{-1, "-1"},
             Case{-24929, "-24929"},
             Case{two('P', 'T'), "20564"},     // no case folding
             Case{0x7074 | 0x10000, "94324"},  // no masking to 16 bits
         }) {
        EXPECT_EQ(GetLanguageName(c.code), c.name) << c.code;
    }
}

}  // namespace
}  // namespace tabsend
