// The tests made when a source file is picked, and the reading of bitmap texts.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "langfiles/SourceFile.h"
#include "tests/langfiles/LangTestSupport.h"

namespace tabsend {
namespace {

using testkit::TempDir;
using testkit::writeFile;

struct SelectCase {
    const char* what;
    std::string file;
    int slot;
    SelectCheck result;
};

class SelectSourceFile : public ::testing::TestWithParam<SelectCase> {};

std::string laninfo(const std::string& body) {
    return "[Laninfo]\r\n" + body + "[LanStrcodeBM]\r\nStr0BMLen=1\r\nStr0BMDispLine=1\r\n";
}

TEST_P(SelectSourceFile, AcceptsOrNamesTheMessage) {
    const SelectCase& c = GetParam();
    TempDir d;
    const std::string path = d.file("lang.ini");
    writeFile(path, c.file);
    const SourceFileCheck check = CheckSourceFile(path, c.slot);
    EXPECT_EQ(check.result, c.result) << c.what;
    if (c.result == SelectCheck::Accepted) {
        EXPECT_FALSE(check.language.empty());
        EXPECT_FALSE(check.version.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SelectSourceFile,
    ::testing::Values(
        SelectCase{"English in slot 1", laninfo("Language=English\r\nLanVer=3\r\nLanCode=1\r\n"), 1,
                   SelectCheck::Accepted},
        SelectCase{"French in slot 1", laninfo("Language=French\r\nLanVer=3\r\nLanCode=2\r\n"), 1,
                   SelectCheck::SelectEnglishFirst},
        SelectCase{"French in slot 2", laninfo("Language=French\r\nLanVer=3\r\nLanCode=2\r\n"), 2,
                   SelectCheck::Accepted},
        SelectCase{"English in slot 3", laninfo("Language=English\r\nLanVer=3\r\nLanCode=1\r\n"), 3,
                   SelectCheck::Accepted},
        SelectCase{"no Laninfo section", "[Other]\r\nLanguage=English\r\nLanVer=1\r\n", 2,
                   SelectCheck::FileTypeNotFit},
        SelectCase{"not an INI file at all", "\x89PNG\r\n\x1a\n\0\0", 3,
                   SelectCheck::FileTypeNotFit},
        SelectCase{"empty Language", laninfo("Language=\r\nLanVer=3\r\nLanCode=1\r\n"), 1,
                   SelectCheck::FileTypeNotFit},
        SelectCase{"Language of blanks", laninfo("Language=   \r\nLanVer=3\r\n"), 2,
                   SelectCheck::FileTypeNotFit},
        SelectCase{"missing LanVer", laninfo("Language=English\r\nLanCode=1\r\n"), 1,
                   SelectCheck::FileTypeNotFit},
        SelectCase{"empty LanVer comes before the code test",
                   laninfo("Language=French\r\nLanVer=\r\nLanCode=2\r\n"), 1,
                   SelectCheck::FileTypeNotFit},
        SelectCase{"code 1.0 is 1", laninfo("Language=English\r\nLanVer=3\r\nLanCode=1.0\r\n"), 1,
                   SelectCheck::Accepted},
        SelectCase{"code 1 followed by text",
                   laninfo("Language=English\r\nLanVer=3\r\nLanCode=1 (en)\r\n"), 1,
                   SelectCheck::Accepted},
        SelectCase{"code 1.4 is not rounded",
                   laninfo("Language=English\r\nLanVer=3\r\nLanCode=1.4\r\n"), 1,
                   SelectCheck::SelectEnglishFirst},
        SelectCase{"slot 1 without LanCode", laninfo("Language=English\r\nLanVer=3\r\n"), 1,
                   SelectCheck::SelectEnglishFirst},
        SelectCase{"slot 2 without LanCode", laninfo("Language=Klingon\r\nLanVer=3\r\n"), 2,
                   SelectCheck::Accepted},
        SelectCase{"names in other letter case",
                   "[LANINFO]\nlanguage = English\nlanver = 7\nlancode = 1\n", 1,
                   SelectCheck::Accepted}));

TEST(SelectSourceFileOther, NothingToReadMeansNothingToShow) {
    TempDir d;
    EXPECT_EQ(CheckSourceFile("", 1).result, SelectCheck::NotReadable);  // cancelled dialog
    EXPECT_EQ(CheckSourceFile(d.file("missing.ini"), 2).result, SelectCheck::NotReadable);
    EXPECT_EQ(CheckSourceFile(d.path(), 2).result, SelectCheck::NotReadable);  // a folder
    const Messages en = MessagesForLanguage(kUiEnglish);
    EXPECT_EQ(SelectionMessage(SelectCheck::NotReadable, en), nullptr);
    EXPECT_EQ(SelectionMessage(SelectCheck::Accepted, en), nullptr);
    EXPECT_EQ(*SelectionMessage(SelectCheck::FileTypeNotFit, en), "File type is not fit!");
    EXPECT_EQ(*SelectionMessage(SelectCheck::SelectEnglishFirst, en),
              "Please select English language file for language 1!");
}

TEST(SelectSourceFileOther, GivesNameAndVersionAsWritten) {
    TempDir d;
    const std::string path = d.file("fr.ini");
    writeFile(path, laninfo("Language = \"Fran\xE7"
                            "ais\" \r\nLanVer= 12 \r\nLanCode=2\r\n"));
    const SourceFileCheck check = CheckSourceFile(path, 3);
    ASSERT_EQ(check.result, SelectCheck::Accepted);
    EXPECT_EQ(check.language,
              "Fran\xE7"
              "ais");
    EXPECT_EQ(check.version, "12");
}

// ---- Bitmap texts ----

struct BitmapCase {
    const char* text;
    bool ok;
    std::vector<std::uint8_t> bytes;
};

class BitmapText : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapText, SplitsAsTheDownloadReadsIt) {
    const BitmapCase& c = GetParam();
    std::vector<std::uint8_t> bytes{0xEE};
    EXPECT_EQ(SplitBitmapText(c.text, bytes), c.ok) << '"' << c.text << '"';
    if (c.ok) {
        EXPECT_EQ(bytes, c.bytes) << '"' << c.text << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BitmapText,
    ::testing::Values(BitmapCase{"0x00,0x1F,0xA5", true, {0x00, 0x1F, 0xA5}},
                      BitmapCase{"0x1F,0xA5,", true, {0x1F, 0xA5}},
                      BitmapCase{"0x1F 0xA5", true, {0x1F, 0xA5}},
                      BitmapCase{"1F,a5", true, {0x1F, 0xA5}},
                      BitmapCase{"0x1,0xa", true, {0x01, 0x0A}},
                      BitmapCase{"\t0x1F,\r\n0xA5\t", true, {0x1F, 0xA5}}, BitmapCase{"", true, {}},
                      BitmapCase{"  ", true, {}}, BitmapCase{"0x01,,0x02", false, {}},
                      BitmapCase{"0x01, 0x02", false, {}}, BitmapCase{",0x01", true, {0x01}},
                      BitmapCase{"0X01", false, {}}, BitmapCase{"0x123", false, {}},
                      BitmapCase{"0xZZ", false, {}}, BitmapCase{"0x1G", false, {}},
                      BitmapCase{"0x01;0x02", false, {}}, BitmapCase{"-1", false, {}}));

TEST(BitmapTextLength, TakesUpTo1001Values) {
    std::string text = "00";
    for (int i = 1; i < 1001; ++i) text += ",FF";
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(SplitBitmapText(text, bytes));
    EXPECT_EQ(bytes.size(), 1001U);
    EXPECT_EQ(bytes.back(), 0xFF);
    EXPECT_FALSE(SplitBitmapText(text + ",01", bytes));
}

}  // namespace
}  // namespace tabsend
