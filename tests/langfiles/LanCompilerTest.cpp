// The compiler, the slot selection and Reset: what LanTable.ini, the slot records, the busy
// notice and the messages show afterwards.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "langfiles/IniDocument.h"
#include "langfiles/IniFile.h"
#include "langfiles/LanCompiler.h"
#include "tests/langfiles/LangTestSupport.h"
#include "tests/support/RecordingSeams.h"

namespace tabsend {
namespace {

using testkit::FileSizeLimit;
using testkit::readFile;
using testkit::simpleSource;
using testkit::SourceBuilder;
using testkit::TempDir;
using testkit::writeFile;

std::string dummyInfo(int n) {
    return "[Lan" + std::to_string(n) +
           "Info]\r\nLanDummy=\r\nTotalSize=\r\nTotalStrNum=\r\nLanVer=\r\nLanType=\r\nLanguage="
           "\r\n";
}

std::string dummyCodes(int n) {
    std::string s = "[Lan" + std::to_string(n) + "Stringcode]\r\n";
    for (int i = 0; i < 800; ++i) {
        const std::string k = "Str" + std::to_string(i);
        s += k + "Dummy=\r\n" + k + "BMDispLine=\r\n" + k + "Len=\r\n" + k + "Addr=\r\n";
    }
    return s;
}

std::string dummySlot(int n) {
    return dummyInfo(n) + dummyCodes(n);
}

class Compiler : public ::testing::Test {
  protected:
    void SetUp() override { state.LanTablePath = dir.file("LanTable.ini"); }

    std::string table() const { return readFile(state.LanTablePath); }
    std::string value(const std::string& section, const std::string& key) const {
        return GetFromini(section, key, state.LanTablePath);
    }
    bool has(const std::string& section, const std::string& key) const {
        return IniDocument::parse(table()).contains(section, key);
    }
    std::string source(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        writeFile(path, text);
        return path;
    }
    void select(int n, const std::string& path) {
        ASSERT_EQ(c.SelectFile(n, path), SelectCheck::Accepted) << path;
    }
    // The widths the bar was set to while slot `index` (0-based, in writing order) ran.
    std::vector<int> barWidthsOfSlot(std::size_t index) const {
        std::vector<std::vector<int>> slots;
        for (int w : notice.widths) {
            if (w == 0) slots.emplace_back();
            if (!slots.empty()) slots.back().push_back(w);
        }
        return index < slots.size() ? slots[index] : std::vector<int>{};
    }

    TempDir dir;
    SharedState state;
    Messages texts = MessagesForLanguage(kUiEnglish);
    testkit::RecordingMessages messages;
    testkit::RecordingBusyNotice notice;
    testkit::CountingWindowRefresh window;
    testkit::CountingPump pump;
    LanCompiler c{state, texts, messages, notice, window, pump};
};

using Shown = std::vector<std::string>;

// The messages as their first lines: a message may add its detail on further lines.
Shown firstLines(const Shown& shown) {
    Shown out;
    for (const std::string& m : shown) out.push_back(m.substr(0, m.find('\n')));
    return out;
}

TEST_F(Compiler, WritesTheExampleTableByteForByte) {
    SourceBuilder en;
    en.header("English", "3", "1", "3").str(0, 40, 1).str(1, 64, 2).str(2, 40, 1);
    const std::string path = source("english.ini", en.text());
    select(1, path);
    ASSERT_EQ(c.Compile(), kTrue);

    const std::string expected =
        "[LanAssInfo]\r\nLanTotalNum=1\r\n"
        "[Lan1Stringcode]\r\n"
        "Str0Dummy=0\r\nStr0BMDispLine=1\r\nStr0Len=40\r\nStr0Addr=262144\r\n"
        "Str1Dummy=0\r\nStr1BMDispLine=2\r\nStr1Len=64\r\nStr1Addr=262184\r\n"
        "Str2Dummy=0\r\nStr2BMDispLine=1\r\nStr2Len=40\r\nStr2Addr=262248\r\n"
        "[Lan1Info]\r\n"
        "TotalSize=144\r\nLanDummy=0\r\nTotalStrNum=3\r\nLanVer=3\r\nLanType=1\r\nLanguage="
        "English\r\n" +
        dummySlot(2) + dummySlot(3);
    EXPECT_EQ(table(), expected);

    EXPECT_EQ(messages.shown, Shown{"  Set complete!"});
    EXPECT_EQ(notice.lines,
              (Shown{"Create Language 1 Index table ", "Clear Language 2 Index table ",
                     "Clear Language 3 Index table "}));
    EXPECT_FALSE(notice.open);
    EXPECT_EQ(state.LanSetFlag1, kTrue);
    EXPECT_EQ(state.LanSetPath1, path);
    EXPECT_EQ(state.LanSetFlag2, kFalse);
    EXPECT_EQ(state.LanSetPath2, "");
    EXPECT_EQ(state.LanSetFlag3, kFalse);
    EXPECT_EQ(c.LanSelectedCount, 0);
    EXPECT_TRUE(c.RestoreEnabled());
    EXPECT_EQ(c.Boxes(1).language, "English");
    EXPECT_EQ(c.Boxes(1).version, "3");
    EXPECT_TRUE(c.Boxes(1).clearEnabled);
    EXPECT_EQ(c.Boxes(2).language, "");
    EXPECT_FALSE(c.Boxes(3).clearEnabled);
    EXPECT_EQ(dir.entries().size(), 2U);  // the source and the table, no temporary file
}

TEST_F(Compiler, WithoutAnySlotWritesThreeDummySlots) {
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(table(),
              "[LanAssInfo]\r\nLanTotalNum=0\r\n" + dummySlot(1) + dummySlot(2) + dummySlot(3));
    EXPECT_EQ(messages.shown, Shown{"  Set complete!"});
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(state.LanSetFlag(n), kFalse);
        EXPECT_EQ(state.LanSetPath(n), "");
        EXPECT_EQ(c.LanFileSelected(n), kFalse);
    }
    // 800 entries: the bar grows twenty times by 250 twips.
    std::vector<int> expected{0};
    for (int k = 1; k <= 20; ++k) expected.push_back(250 * k);
    EXPECT_EQ(barWidthsOfSlot(0), expected);
    EXPECT_EQ(barWidthsOfSlot(2), expected);
}

TEST_F(Compiler, Slot2AloneStartsAtItsOwnBase) {
    const std::string path = source("fr.ini", simpleSource("French", "5", 2, {10, 20, 30}));
    select(2, path);
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(value("LanAssInfo", "LanTotalNum"), "1");
    EXPECT_EQ(value("Lan2Stringcode", "Str0Addr"), "786432");
    EXPECT_EQ(value("Lan2Stringcode", "Str1Addr"), "786442");
    EXPECT_EQ(value("Lan2Stringcode", "Str2Addr"), "786462");
    EXPECT_EQ(value("Lan2Info", "TotalSize"), "60");
    EXPECT_EQ(value("Lan2Info", "LanType"), "2");
    EXPECT_TRUE(has("Lan1Info", "LanDummy"));
    EXPECT_EQ(value("Lan1Info", "TotalStrNum"), "");
    EXPECT_TRUE(has("Lan3Stringcode", "Str799Addr"));
    EXPECT_EQ(state.LanSetFlag1, kFalse);
    EXPECT_EQ(state.LanSetFlag2, kTrue);
    EXPECT_EQ(state.LanSetPath2, path);
    EXPECT_EQ(state.LanSetFlag3, kFalse);
    EXPECT_EQ(notice.lines.front(), "Clear Language 1 Index table ");
    EXPECT_EQ(notice.lines[1], "Create Language 2 Index table ");
}

TEST_F(Compiler, AddressesAddUpTheRoundedLengths) {
    std::string unprefixed1001 = "00";
    for (int i = 1; i < 1001; ++i) unprefixed1001 += ",7F";
    SourceBuilder b;
    b.header("English", "1", "1", " 7 ")
        .raw(0, "1", "1", "0x01")
        .raw(1, "1001", "255", unprefixed1001)
        .raw(2, "255", "2.5", testkit::hexList(255))
        .raw(3, "256", "3.5", testkit::hexList(256))
        .raw(4, "40.5", "1", testkit::hexList(40))
        .raw(5, "41.5", "1", testkit::hexList(42))
        .raw(6, " 7 bytes", "1 line", testkit::hexList(9));
    select(1, source("en.ini", b.text()));
    const std::string third = source("third.ini", simpleSource("Deutsch", "2", 8, {5, 6}));
    select(3, third);
    ASSERT_EQ(c.Compile(), kTrue) << (messages.shown.empty() ? "" : messages.shown[0]);
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"Str0Addr", "262144"},  {"Str1Addr", "262145"},  {"Str2Addr", "263146"},
        {"Str3Addr", "263401"},  {"Str4Addr", "263657"},  {"Str5Addr", "263697"},
        {"Str6Addr", "263739"},  {"Str1Len", "1001"},     {"Str4Len", "40"},
        {"Str5Len", "42"},       {"Str6Len", "7"},        {"Str1BMDispLine", "255"},
        {"Str2BMDispLine", "2"}, {"Str3BMDispLine", "4"}, {"Str6BMDispLine", "1"}};
    for (const auto& [key, v] : expected) EXPECT_EQ(value("Lan1Stringcode", key), v) << key;
    EXPECT_EQ(value("Lan1Info", "TotalSize"), "1602");
    EXPECT_EQ(value("Lan1Info", "TotalStrNum"), "7");
    EXPECT_EQ(value("Lan3Stringcode", "Str0Addr"), "1310720");
    EXPECT_EQ(value("Lan3Stringcode", "Str1Addr"), "1310725");
    EXPECT_EQ(value("Lan3Info", "TotalSize"), "11");
    EXPECT_EQ(value("LanAssInfo", "LanTotalNum"), "2");
}

TEST_F(Compiler, ADamagedSlot2StopsAfterSlot1AndClearsSlot2sRecords) {
    const std::string p1 = source("en.ini", simpleSource("English", "3", 1, {4, 5}));
    const std::string p2 = source("de.ini", simpleSource("Deutsch", "2", 8, {6, 7, 8}));
    const std::string p3 = source("fr.ini", simpleSource("French", "5", 2, {9}));
    select(1, p1);
    select(2, p2);
    select(3, p3);
    ASSERT_EQ(c.Compile(), kTrue);
    const std::string before = table();
    messages.shown.clear();

    writeFile(p1, simpleSource("English", "4", 1, {4, 5}));
    SourceBuilder damaged;
    damaged.header("Deutsch", "9", "8", "4").str(0, 6, 1).str(1, 7, 0).str(2, 8, 1).str(3, 9, 1);
    writeFile(p2, damaged.text());
    EXPECT_EQ(c.Compile(), kFalse);

    EXPECT_EQ(messages.shown, Shown{"Language File damaged!"});
    EXPECT_FALSE(notice.open);
    EXPECT_EQ(value("LanAssInfo", "LanTotalNum"), "3");
    EXPECT_EQ(value("Lan1Info", "LanVer"), "4");
    // Nothing of the damaged file went in, and slot 3 was not written.
    const std::string after = table();
    const std::size_t from = before.find("[Lan2Stringcode]");
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(after.substr(after.find("[Lan2Stringcode]")), before.substr(from));
    EXPECT_EQ(value("Lan2Info", "LanVer"), "2");
    EXPECT_EQ(state.LanSetFlag1, kTrue);
    EXPECT_EQ(state.LanSetPath1, p1);
    EXPECT_EQ(state.LanSetFlag2, kFalse);
    EXPECT_EQ(state.LanSetPath2, "");
    EXPECT_EQ(state.LanSetFlag3, kTrue);
    EXPECT_EQ(state.LanSetPath3, p3);
    // The selection shown stays as it was.
    EXPECT_EQ(c.LanFileSelected2, kTrue);
    EXPECT_EQ(c.Boxes(2).language, "Deutsch");
}

TEST_F(Compiler, EntriesOfALongerEarlierCompileStay) {
    const std::string path =
        source("en.ini", simpleSource("English", "1", 1, std::vector<int>(500, 3)));
    select(1, path);
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(value("Lan1Stringcode", "Str499Addr"), std::to_string(262144 + 499 * 3));
    writeFile(path, simpleSource("English", "2", 1, std::vector<int>(300, 5)));
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(value("Lan1Info", "TotalStrNum"), "300");
    EXPECT_EQ(value("Lan1Stringcode", "Str299Addr"), std::to_string(262144 + 299 * 5));
    EXPECT_EQ(value("Lan1Stringcode", "Str300Dummy"), "0");
    EXPECT_EQ(value("Lan1Stringcode", "Str300Addr"), std::to_string(262144 + 300 * 3));
    EXPECT_EQ(value("Lan1Stringcode", "Str499Len"), "3");
    EXPECT_EQ(value("Lan1Stringcode", "Str499Addr"), std::to_string(262144 + 499 * 3));
    // A dummy slot blanks entries 0..799 only.
    c.Clear(1);
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(value("Lan1Stringcode", "Str499Addr"), "");
    EXPECT_EQ(value("Lan1Info", "TotalStrNum"), "");
}

// ---- Files that cannot be compiled, and awkward files that can ----

struct SourceCase {
    const char* what;
    std::string file;
    bool compiles;
};

SourceCase withString1(const char* what, const std::string& len, const std::string& disp,
                       const std::string& array, bool compiles) {
    SourceBuilder b;
    b.header("English", "7", "1", "3").str(0, 4, 1).raw(1, len, disp, array).str(2, 4, 1);
    return {what, b.text(), compiles};
}

SourceCase withStrNum(const char* what, const std::string& strNum, bool compiles) {
    SourceBuilder b;
    b.header("English", "7", "1", strNum).str(0, 4, 1).str(1, 4, 1).str(2, 4, 1);
    return {what, b.text(), compiles};
}

std::string hexValues(int n) {
    return testkit::hexList(n);
}

// n values written without prefixes, so that more than 1000 fit the 4999 characters.
std::string unprefixedValues(int n) {
    std::string s = "00";
    for (int i = 1; i < n; ++i) s += ",11";
    return s;
}

std::string tooLargeForTheSlot() {
    SourceBuilder b;
    b.header("English", "7", "1", "525");
    std::string kilobyte = "00";
    for (int i = 1; i < 1000; ++i) kilobyte += ",11";
    for (int i = 0; i < 525; ++i) b.raw(i, "1000", "1", kilobyte);
    return b.text();
}

std::string exactlyTheSlot() {
    SourceBuilder b;
    b.header("English", "7", "1", "525");
    std::string kilobyte = "00";
    for (int i = 1; i < 1000; ++i) kilobyte += ",11";
    for (int i = 0; i < 524; ++i) b.raw(i, "1000", "1", kilobyte);
    b.raw(524, "288", "1", kilobyte);  // 524 x 1000 + 288 = 524288
    return b.text();
}

// StrNum 32768: strings 0..32767, every number the line can carry.
TEST_F(Compiler, TakesTheLargestStringCount) {
    SourceBuilder b;
    b.header("English", "7", "1", "32768");
    for (int i = 0; i < 32768; ++i) b.raw(i, "1", "1", "0x01");
    select(1, source("en.ini", b.text()));
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(value("Lan1Info", "TotalStrNum"), "32768");
    EXPECT_EQ(value("Lan1Stringcode", "Str32767Len"), "1");
}

// A list shorter than BMLen compiles with the length of BMLen; the compiler counts it.
TEST_F(Compiler, CountsStringsWithFewerValuesThanTheirLength) {
    SourceBuilder b;
    b.header("English", "7", "1", "3");
    b.raw(0, "4", "1", "0x01,0x02");
    b.raw(1, "2", "1", "0x01,0x02");
    b.raw(2, "5", "1", "0x01");
    select(1, source("en.ini", b.text()));
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(c.PaddedStrings(1), 2);
    EXPECT_EQ(c.PaddedStrings(2), 0);
    EXPECT_EQ(value("Lan1Stringcode", "Str2Len"), "5");
    EXPECT_EQ(value("Lan1Info", "TotalSize"), "11");
}

class CompileSource : public Compiler, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(CompileSource, RefusesWithOneMessageAndLeavesNothingHalfDone) {
    const SourceCase& sc = GetParam();
    const std::string path = source("en.ini", simpleSource("English", "1", 1, {4, 4, 4}));
    select(1, path);
    ASSERT_EQ(c.Compile(), kTrue);
    const std::string before = table();
    messages.shown.clear();

    writeFile(path, sc.file);
    const Flag16 result = c.Compile();
    if (sc.compiles) {
        EXPECT_EQ(result, kTrue) << sc.what;
        EXPECT_EQ(messages.shown, Shown{"  Set complete!"}) << sc.what;
        EXPECT_EQ(state.LanSetFlag1, kTrue) << sc.what;
        EXPECT_EQ(value("Lan1Info", "LanVer"), "7") << sc.what;
    } else {
        EXPECT_EQ(result, kFalse) << sc.what;
        EXPECT_EQ(messages.shown, Shown{"Language File damaged!"}) << sc.what;
        EXPECT_EQ(table(), before) << sc.what;
        EXPECT_EQ(state.LanSetFlag1, kFalse) << sc.what;
        EXPECT_EQ(state.LanSetPath1, "") << sc.what;
    }
    EXPECT_FALSE(notice.open);
}

INSTANTIATE_TEST_SUITE_P(
    StrNum, CompileSource,
    ::testing::Values(withStrNum("StrNum missing", "", false),
                      withStrNum("StrNum not a number", "abc", false),
                      withStrNum("StrNum with text after the number", "3 strings", false),
                      withStrNum("StrNum 0", "0", false), withStrNum("StrNum -5", "-5", false),
                      withStrNum("StrNum above 32768", "32769", false),
                      withStrNum("StrNum beyond the strings present", "4", false),
                      withStrNum("StrNum with blanks around", "  3 ", true),
                      withStrNum("StrNum 2.5 rounds to 2", "2.5", true)));

INSTANTIATE_TEST_SUITE_P(
    Strings, CompileSource,
    ::testing::Values(
        withString1("BMLen 0", "0", "1", hexValues(4), false),
        withString1("BMLen missing", "", "1", hexValues(4), false),
        withString1("BMLen not a number", "abc", "1", hexValues(4), false),
        withString1("BMLen negative", "-3", "1", hexValues(4), false),
        withString1("BMLen 0.4 rounds to 0", "0.4", "1", hexValues(4), false),
        withString1("BMLen above 1001", "1002", "1", hexValues(4), false),
        withString1("BMDispLine 0", "4", "0", hexValues(4), false),
        withString1("BMDispLine missing", "4", "", hexValues(4), false),
        withString1("BMDispLine 256", "4", "256", hexValues(4), false),
        withString1("BMDispLine negative", "4", "-1", hexValues(4), false),
        withString1("BMArray missing", "4", "1", "", false),
        withString1("BMArray with fewer values than BMLen", "4", "1", hexValues(3), true),
        withString1("BMArray with one value for BMLen 1001", "1001", "1", "0x01", true),
        withString1("BMArray with an empty piece", "4", "1", "0x01,,0x02,0x03,0x04", false),
        withString1("BMArray with comma and blank", "4", "1", "0x01, 0x02, 0x03, 0x04", false),
        withString1("BMArray with 0X prefix", "4", "1", "0X01,0X02,0X03,0X04", false),
        withString1("BMArray with a three-digit piece", "4", "1", "0x01,0x02,0x03,0x104", false),
        withString1("BMArray with a non-hex piece", "4", "1", "0x01,0x02,0xG3,0x04", false),
        withString1("BMArray with 1002 values", "4", "1", unprefixedValues(1002), false),
        withString1("BMLen 1001 with 1001 values", "1001", "1", unprefixedValues(1001), true),
        withString1("BMLen 1001 with 1001 prefixed values", "1001", "1", hexValues(1001), true),
        SourceCase{"slot larger than its area", tooLargeForTheSlot(), false},
        withString1("BMArray with a trailing comma", "4", "1", hexValues(4) + ",", true),
        withString1("BMArray separated by blanks", "4", "1", "0x01 0x02 0x03 0x04", true),
        withString1("BMArray without prefixes", "4", "1", "1,2,a,FF", true),
        withString1("BMArray with more values than BMLen", "4", "1", hexValues(9), true),
        withString1("BMArray in quotes", "4", "1", "\"" + hexValues(4) + "\"", true),
        withString1("BMLen with text after it", "4 bytes", "1", hexValues(4), true),
        SourceCase{"slot filling its area exactly", exactlyTheSlot(), true}));

// ---- The table cannot be written ----

TEST_F(Compiler, AFullDiskShowsOneMessageAndKeepsTheOldTableAndRecords) {
    const std::string p1 = source("en.ini", simpleSource("English", "3", 1, {4, 5, 6}));
    const std::string p2 = source("fr.ini", simpleSource("French", "2", 2, {7}));
    select(1, p1);
    ASSERT_EQ(c.Compile(), kTrue);
    const std::string before = table();
    messages.shown.clear();
    select(2, p2);
    writeFile(p1, simpleSource("English", "4", 1, {4, 5, 6}));
    {
        FileSizeLimit full(4096);
        EXPECT_EQ(c.Compile(), kFalse);
    }
    EXPECT_EQ(firstLines(messages.shown), Shown{"Language File set error!"});
    EXPECT_EQ(table(), before);
    EXPECT_EQ(state.LanSetFlag1, kTrue);  // the old record still matches the old table
    EXPECT_EQ(state.LanSetPath1, p1);
    EXPECT_EQ(state.LanSetFlag2, kFalse);  // never flagged over entries not on disk
    EXPECT_EQ(state.LanSetPath2, "");
    EXPECT_FALSE(notice.open);
    EXPECT_EQ(dir.entries().size(), 3U);  // two sources and the table, no temporary file
}

TEST_F(Compiler, ADamagedSlotKeepsItsRecordsWhenNothingReachedTheFile) {
    const std::string p1 = source("en.ini", simpleSource("English", "3", 1, {4, 5}));
    select(1, p1);
    ASSERT_EQ(c.Compile(), kTrue);
    const std::string before = table();
    SourceBuilder damaged;
    damaged.header("English", "4", "1", "2").str(0, 4, 1).str(1, 4, 0);
    writeFile(p1, damaged.text());
    messages.shown.clear();
    {
        FileSizeLimit full(16);
        EXPECT_EQ(c.Compile(), kFalse);
    }
    EXPECT_EQ(firstLines(messages.shown), (Shown{"Language File damaged!", "write error！"}));
    EXPECT_EQ(table(), before);
    // The old table still holds slot 1 as compiled before, and so do the records.
    EXPECT_EQ(state.LanSetFlag1, kTrue);
    EXPECT_EQ(state.LanSetPath1, p1);
}

struct FailureCase {
    const char* what;
    int slot1;  // 0 none, 1 good file, 2 damaged file
    bool reset;
    Shown shown;
};

class TableWriteFailure : public Compiler, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TableWriteFailure, NamesTheMostImportantThingThatWasLost) {
    const FailureCase& fc = GetParam();
    writeFile(state.LanTablePath, "[LanAssInfo]\r\nLanTotalNum=2\r\n");
    if (fc.slot1 != 0) {
        SourceBuilder b;
        b.header("English", "1", "1", "2").str(0, 4, 1).str(1, 4, fc.slot1 == 2 ? 0 : 1);
        select(1, source("en.ini", b.text()));
    }
    {
        FileSizeLimit full(16);
        if (fc.reset) {
            c.Reset();
        } else {
            EXPECT_EQ(c.Compile(), kFalse);
        }
    }
    EXPECT_EQ(firstLines(messages.shown), fc.shown) << fc.what;
    EXPECT_EQ(table(), "[LanAssInfo]\r\nLanTotalNum=2\r\n") << fc.what;
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(state.LanSetFlag(n), kFalse) << fc.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableWriteFailure,
    ::testing::Values(FailureCase{"compile with a file", 1, false, {"Language File set error!"}},
                      FailureCase{"compile without files", 0, false, {"ini error！"}},
                      FailureCase{"compile whose first slot is damaged",
                                  2,
                                  false,
                                  {"Language File damaged!", "write error！"}},
                      FailureCase{"reset", 0, true, {"ini error！", "Reset complete!"}}));

TEST_F(Compiler, ATableInAMissingFolderIsAFailedWrite) {
    state.LanTablePath = dir.file("gone/LanTable.ini");
    select(1, source("en.ini", simpleSource("English", "1", 1, {4})));
    EXPECT_EQ(c.Compile(), kFalse);
    EXPECT_EQ(firstLines(messages.shown), Shown{"Language File set error!"});
    // The second line names the table and the system's reason.
    ASSERT_EQ(messages.shown.size(), 1u);
    const std::string detail = messages.shown[0].substr(messages.shown[0].find('\n') + 1);
    EXPECT_NE(detail.find(state.LanTablePath), std::string::npos) << detail;
    EXPECT_NE(detail.find("No such file or directory"), std::string::npos) << detail;
    EXPECT_EQ(state.LanSetFlag1, kFalse);
    EXPECT_FALSE(c.RestoreEnabled());
}

TEST_F(Compiler, AReadOnlyTableKeepsTheOldTableAndAReadOnlyFolderIsWrittenInPlaceEverywhere) {
    const std::string p1 = source("en.ini", simpleSource("English", "3", 1, {4}));
    select(1, p1);
    ASSERT_EQ(c.Compile(), kTrue);
    const std::string before = table();
    {
        testkit::ReadOnly ro(state.LanTablePath);
        messages.shown.clear();
        EXPECT_EQ(c.Compile(), kFalse);
        EXPECT_EQ(firstLines(messages.shown), Shown{"Language File set error!"});
        EXPECT_EQ(state.LanSetFlag1, kTrue);
        EXPECT_EQ(state.LanSetPath1, p1);
    }
    EXPECT_EQ(table(), before);
    select(1, source("en2.ini", simpleSource("English", "4", 1, {4})));
    {
        testkit::ReadOnly ro(dir.path());
        EXPECT_EQ(c.Compile(), kTrue);
    }
    EXPECT_EQ(GetFromini("Lan1Info", "LanVer", state.LanTablePath), "4");
    EXPECT_EQ(dir.entries().size(), 3U);  // two sources and the table, no temporary file
}

#ifndef _WIN32  // the same with real file modes and an ordinary user's rights
TEST_F(Compiler, AReadOnlyTableKeepsTheOldTableAndAReadOnlyFolderIsWrittenInPlace) {
    const std::string p1 = source("en.ini", simpleSource("English", "3", 1, {4}));
    select(1, p1);
    ASSERT_EQ(c.Compile(), kTrue);
    const std::string before = table();
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(p1.c_str(), 0644);
    ::chmod(state.LanTablePath.c_str(), 0444);
    // In a child with an ordinary user's rights: the compile fails with one message and the
    // records stay as the old table has them.
    EXPECT_TRUE(testkit::asOrdinaryUser([&] {
        messages.shown.clear();
        return c.Compile() == kFalse &&
               firstLines(messages.shown) == Shown{"Language File set error!"} &&
               state.LanSetFlag1 == kTrue && state.LanSetPath1 == p1;
    }));
    EXPECT_EQ(table(), before);
    // A table that can be written, in a folder that cannot: written in place.
    select(1, source("en2.ini", simpleSource("English", "4", 1, {4})));
    ::chmod(state.LanTablePath.c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(testkit::asOrdinaryUser([&] { return c.Compile() == kTrue; }));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_NE(table(), before);
    EXPECT_EQ(GetFromini("Lan1Info", "LanVer", state.LanTablePath), "4");
}
#endif

// ---- Busy notice, events, UI language ----

TEST_F(Compiler, TheBarGrowsEvery40Strings) {
    select(1, source("a.ini", simpleSource("English", "1", 1, std::vector<int>(1000, 1))));
    select(2, source("b.ini", simpleSource("B", "1", 66, std::vector<int>(39, 1))));
    select(3, source("c.ini", simpleSource("C", "1", 67, std::vector<int>(300, 1))));
    ASSERT_EQ(c.Compile(), kTrue);
    std::vector<int> thousand{0};
    for (int k = 1; k <= 25; ++k) thousand.push_back(200 * k);
    EXPECT_EQ(barWidthsOfSlot(0), thousand);
    EXPECT_EQ(barWidthsOfSlot(1), std::vector<int>{0});
    EXPECT_EQ(barWidthsOfSlot(2), (std::vector<int>{0, 667, 1333, 2000, 2667, 3333, 4000, 4667}));
}

TEST_F(Compiler, LetsEventsThroughForEveryEntryButNotThousandsOfTimes) {
    select(1, source("a.ini", simpleSource("English", "1", 1, std::vector<int>(100, 2))));
    ASSERT_EQ(c.Compile(), kTrue);
    const long entries = 100 + 800 + 800;
    // Pending events are let through without waiting: a wait per entry would make a
    // compile take seconds (one 10 ms tick per string).
    EXPECT_EQ(pump.yields, 0);
    EXPECT_GE(pump.pending, entries);
    EXPECT_LE(pump.pending, 2 * entries);
    EXPECT_GE(window.count, entries);
    EXPECT_GE(notice.repaints, 4);
}

// A stop request (the pump throws, as tabsend-cli's does on Ctrl-C) is noticed while a large
// slot's entries go into the table, before the next slot starts, and no table is written.
TEST_F(Compiler, AStopWhileASlotGoesIntoTheTableEndsTheCompileThere) {
    struct Stop {};
    class StoppingPump : public EventPump {
      public:
        explicit StoppingPump(long at) : at_(at) {}
        void yieldOnce() override {}
        void processPending() override {
            if (++calls_ == at_) throw Stop{};
        }

      private:
        long at_;
        long calls_ = 0;
    };
    const int strings = 3000;
    select(1, source("a.ini", simpleSource("English", "1", 1, std::vector<int>(strings, 2))));
    StoppingPump stopping(strings + 1);  // the first pass after every entry was checked
    LanCompiler stopped(state, texts, messages, notice, window, stopping);
    ASSERT_EQ(stopped.SelectFile(1, dir.file("a.ini")), SelectCheck::Accepted);
    EXPECT_THROW(stopped.Compile(), Stop);
    EXPECT_EQ(notice.lines, Shown{"Create Language 1 Index table "});
    EXPECT_FALSE(std::filesystem::exists(state.LanTablePath));
}

TEST(CompilerLanguage, BusyNoticeAndMessagesSpeakTheUiLanguage) {
    TempDir dir;
    SharedState state;
    state.LanTablePath = dir.file("LanTable.ini");
    const Messages german = MessagesForLanguage(kUiGerman);
    testkit::RecordingMessages messages;
    testkit::RecordingBusyNotice notice;
    testkit::CountingWindowRefresh window;
    testkit::CountingPump pump;
    LanCompiler c(state, german, messages, notice, window, pump);
    writeFile(dir.file("en.ini"), simpleSource("English", "1", 1, {3}));
    ASSERT_EQ(c.SelectFile(1, dir.file("en.ini")), SelectCheck::Accepted);
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_EQ(notice.lines,
              (Shown{"Sprache erstellen 1 Indextabelle ", "Sprache löschen 2 Indextabelle ",
                     "Sprache löschen 3 Indextabelle "}));
    EXPECT_EQ(messages.shown, Shown{"  Einstellung abgeschlossen!"});
    messages.shown.clear();
    writeFile(dir.file("fr.ini"), simpleSource("Francais", "1", 2, {3}));
    EXPECT_EQ(c.SelectFile(1, dir.file("fr.ini")), SelectCheck::SelectEnglishFirst);
    EXPECT_EQ(messages.shown, Shown{"Bitte englische Sprachdatei für Sprache 1 wählen!"});
}

// ---- Selection, Clear, Restore, Reset ----

TEST_F(Compiler, RefusedOrCancelledPicksKeepTheSlot) {
    const std::string en = source("en.ini", simpleSource("English", "3", 1, {4}));
    const std::string fr = source("fr.ini", simpleSource("French", "5", 2, {4}));
    const std::string bad = source("bad.ini", "[Other]\r\nx=1\r\n");
    select(1, en);
    EXPECT_EQ(c.SelectFile(1, ""), SelectCheck::NotReadable);
    EXPECT_EQ(c.SelectFile(1, dir.file("missing.ini")), SelectCheck::NotReadable);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(c.SelectFile(1, fr), SelectCheck::SelectEnglishFirst);
    EXPECT_EQ(c.SelectFile(1, bad), SelectCheck::FileTypeNotFit);
    EXPECT_EQ(messages.shown, (Shown{"Please select English language file for language 1!",
                                     "File type is not fit!"}));
    EXPECT_EQ(c.LanFilePath1, en);
    EXPECT_EQ(c.LanFileSelected1, kTrue);
    EXPECT_EQ(c.Boxes(1).language, "English");
    select(2, fr);
    EXPECT_EQ(c.Boxes(2).language, "French");
    EXPECT_EQ(c.Boxes(2).version, "5");
    EXPECT_TRUE(c.Boxes(2).clearEnabled);
}

TEST_F(Compiler, ClearAndRestoreWorkFromTheCompiledState) {
    const std::string en = source("en.ini", simpleSource("English", "3", 1, {4}));
    const std::string fr = source("fr.ini", simpleSource("French", "5", 2, {4}));
    const std::string de = source("de.ini", simpleSource("Deutsch", "8", 8, {4}));
    select(1, en);
    select(2, fr);
    ASSERT_EQ(c.Compile(), kTrue);

    c.Clear(2);
    EXPECT_EQ(state.LanSetFlag2, kFalse);
    EXPECT_EQ(state.LanSetPath2, fr);  // kept for Restore
    EXPECT_EQ(c.LanFileSelected2, kFalse);
    EXPECT_EQ(c.LanFilePath2, "");
    EXPECT_EQ(c.Boxes(2).language, "");
    EXPECT_FALSE(c.Boxes(2).clearEnabled);

    select(3, de);
    writeFile(fr, simpleSource("Changed", "99", 2, {4}));  // Restore shows the table, not the file
    c.Restore();
    EXPECT_EQ(state.LanSetFlag2, kTrue);
    EXPECT_EQ(c.LanFilePath2, fr);
    EXPECT_EQ(c.Boxes(2).language, "French");
    EXPECT_EQ(c.Boxes(2).version, "5");
    EXPECT_TRUE(c.Boxes(2).clearEnabled);
    EXPECT_EQ(c.LanFileSelected3, kFalse);  // compiled as a dummy slot
    EXPECT_EQ(c.LanFilePath3, "");
    EXPECT_EQ(c.Boxes(3).language, "");
    EXPECT_EQ(state.LanSetFlag3, kFalse);
}

TEST_F(Compiler, NamesAreCopiedAsBytesAndShownDecoded) {
    SourceBuilder b;
    b.header(
         "Fran\xE7"
         "ais",
         "2", "2", "1")
        .str(0, 3, 1);
    select(2, source("fr.ini", b.text()));
    EXPECT_EQ(c.Boxes(2).language, "Français");
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_NE(table().find("Language=Fran\xE7"
                           "ais\r\n"),
              std::string::npos);
    EXPECT_EQ(c.Boxes(2).language, "Français");
}

TEST_F(Compiler, ASlot2FileWithoutCodeGetsAnEmptyType) {
    SourceBuilder b;
    b.info("Language", "Klingon").info("LanVer", "1").info("StrNum", "1").str(0, 3, 1);
    select(2, source("x.ini", b.text()));
    ASSERT_EQ(c.Compile(), kTrue);
    EXPECT_TRUE(has("Lan2Info", "LanType"));
    EXPECT_EQ(value("Lan2Info", "LanType"), "");
    EXPECT_EQ(state.LanSetFlag2, kTrue);
}

TEST_F(Compiler, ResetWritesThreeDummySlotsAndStartValues) {
    ASSERT_EQ((c.Reset(), table()),
              "[LanAssInfo]\r\nLanTotalNum=0\r\n" + dummySlot(1) + dummySlot(2) + dummySlot(3));
    EXPECT_EQ(messages.shown, Shown{"Reset complete!"});

    select(1, source("en.ini", simpleSource("English", "3", 1, {4, 4, 4})));
    select(2, source("fr.ini", simpleSource("French", "5", 2, {4})));
    ASSERT_EQ(c.Compile(), kTrue);
    state.SlaveAddress = 5;
    state.DownloadStep = 7;
    messages.shown.clear();
    notice.lines.clear();
    c.Reset();
    EXPECT_EQ(value("LanAssInfo", "LanTotalNum"), "0");
    EXPECT_EQ(value("Lan1Info", "Language"), "");
    EXPECT_EQ(value("Lan1Stringcode", "Str0Addr"), "");
    EXPECT_TRUE(has("Lan1Stringcode", "Str799Addr"));
    EXPECT_EQ(value("Lan2Info", "TotalStrNum"), "");
    EXPECT_EQ(notice.lines, (Shown{"Clear Language 1 Index table ", "Clear Language 2 Index table ",
                                   "Clear Language 3 Index table "}));
    EXPECT_EQ(messages.shown, Shown{"Reset complete!"});
    EXPECT_FALSE(notice.open);
    EXPECT_EQ(state.SlaveAddress, 33);
    EXPECT_EQ(state.DownloadStep, 0);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(state.LanSetFlag(n), kFalse);
        EXPECT_EQ(state.LanSetPath(n), "");
        EXPECT_EQ(c.LanFileSelected(n), kFalse);
        EXPECT_EQ(c.LanFilePath(n), "");
        EXPECT_EQ(c.Boxes(n).language, "");
        EXPECT_EQ(c.Boxes(n).version, "");
        EXPECT_FALSE(c.Boxes(n).clearEnabled);
    }
    EXPECT_FALSE(c.RestoreEnabled());
    EXPECT_EQ(c.LanSelectedCount, 0);
}

TEST_F(Compiler, SlotWritersCalledAloneWriteTheTableThemselves) {
    select(1, source("en.ini", simpleSource("English", "3", 1, {4, 6})));
    EXPECT_EQ(c.SetLanFile(1), kTrue);
    EXPECT_EQ(value("Lan1Stringcode", "Str1Addr"), "262148");
    EXPECT_EQ(value("Lan1Info", "TotalSize"), "10");
    EXPECT_FALSE(has("LanAssInfo", "LanTotalNum"));
    EXPECT_EQ(state.LanSetFlag1, kFalse);  // records belong to LanCompile
    c.SetLanDummy(2);
    EXPECT_TRUE(has("Lan2Stringcode", "Str799Addr"));
    EXPECT_EQ(value("Lan1Info", "TotalSize"), "10");
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace tabsend
