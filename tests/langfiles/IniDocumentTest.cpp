// Reading and editing INI text with the private-profile rules.

#include <gtest/gtest.h>

#include <string>

#include "langfiles/IniDocument.h"

namespace tabsend {
namespace {

struct ReadCase {
    const char* what;
    std::string file;
    const char* section;
    const char* key;
    std::string expected;
};

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, GivesTheValueAReaderDelivers) {
    const ReadCase& c = GetParam();
    const IniDocument doc = IniDocument::parse(c.file);
    EXPECT_EQ(doc.get(c.section, c.key), c.expected) << c.what;
}

const std::string kAwkward =
    "; a comment [Hidden]\r\n"
    "orphan=before any section\r\n"
    "  [  Lan Info  ]  \r\n"
    " \t Language \t = \t English  Text \t \r\n"
    "LANGUAGE=second spelling\r\n"
    "Empty=\r\n"
    "Blank =   \r\n"
    "#hash=not a comment\r\n"
    "   ;semi=a comment\r\n"
    "inline=1 ; not a comment\r\n"
    "bare line without equals\r\n"
    "a=b=c\r\n"
    "[lan info]\r\n"
    "Language=duplicate section\r\n"
    "OnlyInSecond=x\r\n"
    "[Other] trailing words\r\n"
    "k=other\r\n";

INSTANTIATE_TEST_SUITE_P(
    AwkwardFile, IniRead,
    ::testing::Values(
        ReadCase{"section and key ignore case", kAwkward, "LAN INFO", "language", "English  Text"},
        ReadCase{"blanks around the names asked for are dropped", kAwkward, "  Lan Info ",
                 " Language\t", "English  Text"},
        ReadCase{"first of two keys differing in case wins", kAwkward, "Lan Info", "LANGUAGE",
                 "English  Text"},
        ReadCase{"empty value", kAwkward, "Lan Info", "Empty", ""},
        ReadCase{"value of blanks only", kAwkward, "Lan Info", "Blank", ""},
        ReadCase{"# starts no comment", kAwkward, "Lan Info", "#hash", "not a comment"},
        ReadCase{"; line is a comment", kAwkward, "Lan Info", ";semi", ""},
        ReadCase{"; line is a comment (key without ;)", kAwkward, "Lan Info", "semi", ""},
        ReadCase{"no comment after a value", kAwkward, "Lan Info", "inline", "1 ; not a comment"},
        ReadCase{"line without = is not found", kAwkward, "Lan Info", "bare line without equals",
                 ""},
        ReadCase{"value runs from the first =", kAwkward, "Lan Info", "a", "b=c"},
        ReadCase{"first of two sections wins", kAwkward, "Lan Info", "OnlyInSecond", ""},
        ReadCase{"text after ] of a section line is ignored", kAwkward, "Other", "k", "other"},
        ReadCase{"keys before the first section belong to none", kAwkward, "Lan Info", "orphan",
                 ""},
        ReadCase{"section inside a comment does not exist", kAwkward, "Hidden", "k", ""},
        ReadCase{"missing section", kAwkward, "Nowhere", "Language", ""},
        ReadCase{"missing key", kAwkward, "Other", "Language", ""},
        ReadCase{"empty file", "", "A", "k", ""}));

INSTANTIATE_TEST_SUITE_P(
    Quotes, IniRead,
    ::testing::Values(
        ReadCase{"double quotes", "[A]\nk=\"abc\"\n", "A", "k", "abc"},
        ReadCase{"single quotes", "[A]\nk='abc'\n", "A", "k", "abc"},
        ReadCase{"blanks inside quotes stay", "[A]\nk = \"  x  \" \n", "A", "k", "  x  "},
        ReadCase{"unmatched pair stays", "[A]\nk=\"abc'\n", "A", "k", "\"abc'"},
        ReadCase{"lone quote stays", "[A]\nk=\"\n", "A", "k", "\""},
        ReadCase{"empty quotes", "[A]\nk=\"\"\n", "A", "k", ""},
        ReadCase{"only the outer pair goes", "[A]\nk=\"a\" \"b\"\n", "A", "k", "a\" \"b"},
        ReadCase{"quotes inside stay", "[A]\nk=x\"y\"\n", "A", "k", "x\"y\""}));

INSTANTIATE_TEST_SUITE_P(LineEnds, IniRead,
                         ::testing::Values(ReadCase{"CRLF", "[A]\r\na=1\r\nb=2\r\n", "A", "b", "2"},
                                           ReadCase{"LF", "[A]\na=1\nb=2\n", "A", "b", "2"},
                                           ReadCase{"bare CR", "[A]\ra=1\rb=2\r", "A", "b", "2"},
                                           ReadCase{"mixed, CR line", "[A]\r\na=1\nb=2\rc=3", "A",
                                                    "b", "2"},
                                           ReadCase{"mixed, last line without end",
                                                    "[A]\r\na=1\nb=2\rc=3", "A", "c", "3"},
                                           ReadCase{"blank lines of every kind",
                                                    "\r\n\n\r[A]\r\r\n\na=1", "A", "a", "1"}));

TEST(IniReadBytes, KeepsEightBitBytes) {
    const IniDocument doc = IniDocument::parse(
        "[Laninfo]\r\nLanguage=Fran\xE7"
        "ais\xFF\r\n");
    EXPECT_EQ(doc.get("Laninfo", "Language"),
              "Fran\xE7"
              "ais\xFF");
}

TEST(IniReadLength, ReadsValuesInFull) {
    // 1,001 bitmap values written as 0xNN with commas: 5,004 characters.
    std::string bitmap = "0x00";
    for (int i = 1; i < 1001; ++i) bitmap += ",0x" + std::string(i % 2 ? "AB" : "01");
    ASSERT_EQ(bitmap.size(), 5004U);
    const IniDocument doc =
        IniDocument::parse("[A]\r\nk=" + bitmap + "\r\nq=\"" + std::string(6000, 'y') + "\"\r\n");
    EXPECT_EQ(doc.get("A", "k"), bitmap);
    EXPECT_EQ(doc.get("A", "q"), std::string(6000, 'y'));
}

TEST(IniBom, ALeadingUtf8ByteOrderMarkIsSkipped) {
    const IniDocument doc =
        IniDocument::parse("\xEF\xBB\xBF[Laninfo]\r\nLanguage=English\r\n[B]\r\nk=v\r\n");
    EXPECT_EQ(doc.get("Laninfo", "Language"), "English");
    EXPECT_EQ(doc.get("B", "k"), "v");
    // Only at the very start: elsewhere the bytes are text like any other.
    const IniDocument inside = IniDocument::parse("[A]\r\nk=\xEF\xBB\xBFx\r\n");
    EXPECT_EQ(inside.get("A", "k"), "\xEF\xBB\xBFx");
}

// A rewrite keeps the mark, so the file stays as its editor wrote it; a second mark right
// after the first is text of the first line and comes back too (found by the INI fuzzer).
TEST(IniBom, ARewriteKeepsTheMark) {
    for (const std::string& text :
         {std::string("\xEF\xBB\xBF[A]\r\nk=v\r\n"),
          std::string("\xEF\xBB\xBF\xEF\xBB\xBF\0A\r\n", 11), std::string("[A]\r\nk=v\r\n")}) {
        IniDocument doc = IniDocument::parse(text);
        EXPECT_EQ(doc.serialize(), text);
        ASSERT_TRUE(doc.set("A", "n", "1"));
        const std::string written = doc.serialize();
        EXPECT_EQ(written.starts_with("\xEF\xBB\xBF"), text.starts_with("\xEF\xBB\xBF"));
        EXPECT_EQ(IniDocument::parse(written).serialize(), written);
        EXPECT_EQ(IniDocument::parse(written).get("A", "n"), "1");
    }
}

// ---- Editing ----

// New keys go after the last entry of their section, in front of the blank and comment
// lines that follow it, however many keys are added and however many such lines follow.
TEST(IniEditTrailingLines, NewKeysGoBeforeTheTrailingLinesInOrder) {
    std::string trailing;
    for (int i = 0; i < 2000; ++i) trailing += i % 2 ? "; note\r\n" : "\r\n";
    IniDocument doc = IniDocument::parse("[A]\r\na=1\r\n" + trailing + "[B]\r\nb=2\r\n; end");
    std::string added;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(doc.set("A", "k" + std::to_string(i), std::to_string(i)));
        added += "k" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    }
    ASSERT_TRUE(doc.set("a", "A", "changed"));
    ASSERT_TRUE(doc.set("B", "c", "3"));
    ASSERT_TRUE(doc.set("C", "d", "4"));
    EXPECT_EQ(doc.serialize(), "[A]\r\na=changed\r\n" + added + trailing +
                                   "[B]\r\nb=2\r\nc=3\r\n; end\r\n[C]\r\nd=4\r\n");
    EXPECT_EQ(doc.get("A", "k299"), "299");
    EXPECT_EQ(doc.get("A", "k0"), "0");
}

struct EditCase {
    const char* what;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class IniEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(IniEdit, ChangesOnlyWhatIsWritten) {
    const EditCase& c = GetParam();
    IniDocument doc = IniDocument::parse(c.before);
    ASSERT_TRUE(doc.set(c.section, c.key, c.value)) << c.what;
    EXPECT_EQ(doc.serialize(), c.after) << c.what;
    EXPECT_EQ(IniDocument::parse(doc.serialize()).get(c.section, c.key), c.value) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Writes, IniEdit,
    ::testing::Values(
        EditCase{"new file", "", "Lan1Info", "LanVer", "3", "[Lan1Info]\r\nLanVer=3\r\n"},
        EditCase{"replace in place, keep spelling, keep other lines byte for byte",
                 "; head\n[Sec]\n  MyKey = old  \n; c\r\nother = 1\r[Next]\nx=1", "sec", "mykey",
                 "new", "; head\n[Sec]\nMyKey=new\r\n; c\r\nother = 1\r[Next]\nx=1"},
        EditCase{"new key after the last entry, before trailing blank and comment lines",
                 "[A]\r\na=1\r\n\r\n; tail\r\n[B]\r\nb=1\r\n", "A", "c", "3",
                 "[A]\r\na=1\r\nc=3\r\n\r\n; tail\r\n[B]\r\nb=1\r\n"},
        EditCase{"a line without = counts as an entry", "[A]\nk\n\n", "A", "k", "1",
                 "[A]\nk\nk=1\r\n\n"},
        EditCase{"new section at the end, no blank line, last line gets its end", "[A]\na=1", "B",
                 "k", "v", "[A]\na=1\r\n[B]\r\nk=v\r\n"},
        EditCase{"key into a section that has only a header", "[A]\n[B]\nb=1\n", "a", "k", "v",
                 "[A]\nk=v\r\n[B]\nb=1\n"},
        EditCase{"key into the last section whose last line has no end", "[A]\na=1", "A", "b", "2",
                 "[A]\na=1\r\nb=2\r\n"},
        EditCase{"the first of duplicate sections is written", "[A]\nk=1\n[a]\nk=2\n", "A", "k",
                 "9", "[A]\nk=9\r\n[a]\nk=2\n"},
        EditCase{"the first of duplicate keys is written", "[A]\nk=1\nK=2\n", "A", "K", "9",
                 "[A]\nk=9\r\nK=2\n"},
        EditCase{"a commented-out key is not the key", "[A]\n;k=1\n", "A", "k", "2",
                 "[A]\nk=2\r\n;k=1\n"},
        EditCase{"empty value", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\r\n"},
        EditCase{"value with =, ; and # and 8-bit bytes", "", "A", "k", "a=b ;c #d \xE9",
                 "[A]\r\nk=a=b ;c #d \xE9\r\n"},
        EditCase{"blanks around the names given are dropped", "[A]\r\n", "  A ", " k\t", "1",
                 "[A]\r\nk=1\r\n"}));

TEST(IniEditRefused, NamesAndValuesThatCannotStandOnOneLineChangeNothing) {
    const std::string before = "[A]\r\nk=1\r\n";
    struct Bad {
        const char* section;
        const char* key;
        const char* value;
    };
    for (const Bad& b :
         {Bad{"A", "k", "two\r\nlines"}, Bad{"A", "k", "cr\ronly"}, Bad{"A", "k=x", "1"},
          Bad{"A", "", "1"}, Bad{"  ", "k", "1"}, Bad{"A]", "k", "1"}, Bad{"A", ";k", "1"},
          Bad{"A", "[k]", "1"}, Bad{"A\n", "k", "1"}}) {
        IniDocument doc = IniDocument::parse(before);
        EXPECT_FALSE(doc.set(b.section, b.key, b.value)) << b.section << "/" << b.key;
        EXPECT_EQ(doc.serialize(), before);
    }
}

TEST(IniEditMany, KeepsTheOrderOfNewKeysAndFindsThemAfterInserts) {
    IniDocument doc = IniDocument::parse("[S]\r\nfirst=1\r\n; end of S\r\n[T]\r\nt=1\r\n");
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(doc.set("S", "k" + std::to_string(i), std::to_string(i)));
    ASSERT_TRUE(doc.set("S", "K7", "seven"));  // an update after many inserts
    const IniDocument back = IniDocument::parse(doc.serialize());
    EXPECT_EQ(back.get("S", "first"), "1");
    EXPECT_EQ(back.get("S", "k7"), "seven");
    EXPECT_EQ(back.get("S", "k49"), "49");
    EXPECT_EQ(back.get("T", "t"), "1");
    const std::string text = doc.serialize();
    EXPECT_LT(text.find("k48=48"), text.find("k49=49"));
    EXPECT_LT(text.find("k49=49"), text.find("; end of S"));
}

}  // namespace
}  // namespace tabsend
