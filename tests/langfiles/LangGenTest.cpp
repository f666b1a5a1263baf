// The langgen generator and the example language files.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "langfiles/IniDocument.h"
#include "langfiles/IniFile.h"
#include "langfiles/IniNumbers.h"
#include "langfiles/LanCompiler.h"
#include "tests/langfiles/LangTestSupport.h"
#include "tests/support/RecordingSeams.h"
#include "tools/langgen/LangGen.h"

namespace tabsend {
namespace {

using testkit::readFile;
using testkit::TempDir;
using testkit::writeFile;

const std::string kExamples = TABSEND_EXAMPLES_DIR;

std::vector<std::string> lines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

struct Harness {
    Harness() { state.LanTablePath = dir.file("LanTable.ini"); }
    TempDir dir;
    SharedState state;
    Messages texts = MessagesForLanguage(kUiEnglish);
    testkit::RecordingMessages messages;
    testkit::RecordingBusyNotice notice;
    testkit::CountingWindowRefresh window;
    testkit::CountingPump pump;
    LanCompiler c{state, texts, messages, notice, window, pump};
    std::string value(const std::string& s, const std::string& k) const {
        return GetFromini(s, k, state.LanTablePath);
    }
};

TEST(ExampleFiles, CompileIntoTheThreeSlots) {
    Harness h;
    ASSERT_EQ(h.c.SelectFile(1, kExamples + "/english.ini"), SelectCheck::Accepted);
    ASSERT_EQ(h.c.SelectFile(2, kExamples + "/german.ini"), SelectCheck::Accepted);
    ASSERT_EQ(h.c.SelectFile(3, kExamples + "/french.ini"), SelectCheck::Accepted);
    ASSERT_EQ(h.c.Compile(), kTrue);
    EXPECT_EQ(h.messages.shown, std::vector<std::string>{"  Set complete!"});
    EXPECT_EQ(h.value("LanAssInfo", "LanTotalNum"), "3");
    const char* types[] = {"1", "8", "2"};
    for (int n = 1; n <= 3; ++n) {
        const std::string info = "Lan" + std::to_string(n) + "Info";
        EXPECT_EQ(h.value(info, "LanType"), types[n - 1]);
        EXPECT_EQ(h.value(info, "TotalStrNum"), "36");
        EXPECT_EQ(h.state.LanSetFlag(n), kTrue);
    }
    EXPECT_EQ(h.c.Boxes(1).language, "English");
    EXPECT_EQ(h.c.Boxes(2).language, "Deutsch");
    EXPECT_EQ(h.c.Boxes(3).language, "Français");
    EXPECT_EQ(h.value("Lan3Info", "Language"),
              "Fran\xE7"
              "ais");  // 8-bit in the file
}

TEST(ExampleFiles, HoldBitmapsLongerThan255BytesAndMatchTheirTexts) {
    const struct {
        const char* file;
        const char* texts;
        std::int32_t code;
        const char* name;
        const char* version;
    } examples[] = {{"english.ini", "english.txt", 1, "English", "3"},
                    {"german.ini", "german.txt", 8, "Deutsch", "2"},
                    {"french.ini", "french.txt", 2,
                     "Fran\xE7"
                     "ais",
                     "4"}};
    for (const auto& e : examples) {
        const std::string text = readFile(kExamples + "/" + e.file);
        const IniDocument doc = IniDocument::parse(text);
        int longOnes = 0;
        for (int i = 0; i < 36; ++i) {
            if (LeadingNumber(doc.value("LanStrcodeBM", "Str" + std::to_string(i) + "BMLen")) > 255)
                ++longOnes;
        }
        EXPECT_GE(longOnes, 1) << e.file;
        // The committed file is what langgen makes of the texts.
        const auto texts = lines(kExamples + "/texts/" + e.texts);
        ASSERT_EQ(texts.size(), 36U) << e.texts;
        EXPECT_EQ(text, langgen::RenderLanguageSource(texts, e.code, e.name, e.version)) << e.file;
    }
}

TEST(LangGen, WritesAFileTheCompilerTakes) {
    langgen::Options o;
    o.strings = 200;
    o.minLen = 1;
    o.maxLen = 1001;
    o.seed = 99;
    o.code = 16;
    o.name = "Italiano";
    o.version = "12";
    Harness h;
    const std::string path = h.dir.file("gen.ini");
    const std::string text = langgen::GenerateLanguageSource(o);
    writeFile(path, text);

    const IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.get("Laninfo", "StrNum"), "200");
    EXPECT_EQ(doc.get("Laninfo", "LanCode"), "16");
    EXPECT_EQ(doc.get("Laninfo", "Language"), "Italiano");
    EXPECT_EQ(doc.get("Laninfo", "LanVer"), "12");
    std::int64_t total = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string k = "Str" + std::to_string(i);
        const double len = LeadingNumber(doc.value("LanStrcodeBM", k + "BMLen"));
        const double disp = LeadingNumber(doc.value("LanStrcodeBM", k + "BMDispLine"));
        EXPECT_GE(len, 1);
        EXPECT_LE(len, 1001);
        EXPECT_GE(disp, 1);
        EXPECT_LE(disp, 4);
        EXPECT_LE(doc.value("LanStrcodeBM", k + "BMArray").size(), 5004U);
        total += static_cast<std::int64_t>(len);
    }

    ASSERT_EQ(h.c.SelectFile(2, path), SelectCheck::Accepted);
    ASSERT_EQ(h.c.Compile(), kTrue);
    EXPECT_EQ(h.value("Lan2Info", "TotalStrNum"), "200");
    EXPECT_EQ(h.value("Lan2Info", "TotalSize"), std::to_string(total));
}

TEST(LangGen, TheSameOptionsGiveTheSameText) {
    langgen::Options o;
    o.strings = 50;
    const std::string a = langgen::GenerateLanguageSource(o);
    EXPECT_EQ(a, langgen::GenerateLanguageSource(o));
    o.seed = 2;
    EXPECT_NE(a, langgen::GenerateLanguageSource(o));
}

TEST(LangGen, RefusesOptionsThatCannotGiveAValidFile) {
    const auto with = [](auto change) {
        langgen::Options o;
        change(o);
        return o;
    };
    const langgen::Options bad[] = {
        with([](langgen::Options& o) { o.strings = 0; }),
        with([](langgen::Options& o) { o.strings = 32768; }),
        with([](langgen::Options& o) { o.minLen = 0; }),
        with([](langgen::Options& o) { o.maxLen = 1002; }),
        with([](langgen::Options& o) { o.minLen = 70; }),  // above maxLen 64
        with([](langgen::Options& o) {
            o.strings = 600;
            o.minLen = o.maxLen = 1000;
        }),
        with([](langgen::Options& o) { o.name = ""; }),
        with([](langgen::Options& o) { o.version = "1\r\n[x]"; }),
    };
    for (const auto& o : bad)
        EXPECT_THROW(langgen::GenerateLanguageSource(o), std::invalid_argument);
}

TEST(LangGenRender, DrawsCapitalsWithAccentsInTheTopRow) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(langgen::RenderText("I"), (Bytes{0x00, 0x82, 0xFE, 0x82, 0x00, 0x00}));
    EXPECT_EQ(langgen::RenderText("i"), langgen::RenderText("I"));
    EXPECT_EQ(langgen::RenderText("é"), (Bytes{0xFE, 0x92, 0x92, 0x93, 0x82, 0x00}));
    EXPECT_EQ(langgen::RenderText("É"), langgen::RenderText("é"));
    EXPECT_EQ(langgen::RenderText("ß"), langgen::RenderText("SS"));
    EXPECT_EQ(langgen::RenderText("€"), (Bytes{0xFE, 0x82, 0x82, 0x82, 0xFE, 0x00}));  // a box
    EXPECT_EQ(langgen::RenderText("Hello world").size(), 66U);
    EXPECT_THROW(langgen::RenderLanguageSource({std::string(167, 'A')}, 1, "E", "1"),
                 std::invalid_argument);
}

TEST(LangGenRender, ConvertsNamesToWindows1252) {
    EXPECT_EQ(langgen::ToWindows1252("Français €"),
              "Fran\xE7"
              "ais \x80");
    EXPECT_EQ(langgen::ToWindows1252("Māori"), "M?ori");
    EXPECT_EQ(langgen::ToWindows1252("plain"), "plain");
}

TEST(LangGenProgram, PrintsWhatTheLibraryMakes) {
    const std::string cmd = std::string(TABSEND_LANGGEN) +
                            " --strings 7 --min-len 3 --max-len 9 --seed 5 --code 8 --name Deutsch "
                            "--version 2";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0);
    langgen::Options o;
    o.strings = 7;
    o.minLen = 3;
    o.maxLen = 9;
    o.seed = 5;
    o.code = 8;
    o.name = "Deutsch";
    o.version = "2";
    EXPECT_EQ(out, langgen::GenerateLanguageSource(o));

    std::FILE* bad =
        ::popen((std::string(TABSEND_LANGGEN) + " --strings 0 2>/dev/null").c_str(), "r");
    ASSERT_NE(bad, nullptr);
    while (std::fread(buf, 1, sizeof buf, bad) > 0) {
    }
    EXPECT_NE(::pclose(bad), 0);
}

// Texts to render: only a regular file is read, and reading stops at the first line or
// text count beyond what a language file can hold, with the reason.
TEST(LangGenTexts, ReadsLinesAndRefusesWhatIsNoTextFileWithItsReason) {
    TempDir d;
    writeFile(d.file("ok.txt"), "Hallo\r\n\r\nWelt\n");
    EXPECT_EQ(langgen::ReadTextLines(d.file("ok.txt")),
              (std::vector<std::string>{"Hallo", "Welt"}));

    writeFile(d.file("long.txt"), "a\n" + std::string(5000, 'x'));
    writeFile(d.file("many.txt"), [] {
        std::string t;
        for (int i = 0; i < 32768; ++i) t += "t\n";
        return t;
    }());
    writeFile(d.file("empty.txt"), "\r\n\n");
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {d.path(), "is a directory"},
#ifndef _WIN32  // a device with endless content
        {"/dev/urandom", "is not a regular file"},
#endif
        {d.file("missing.txt"), "cannot read"},
        {d.file("long.txt"), "line 2 is longer than 4096 bytes"},
        {d.file("many.txt"), "more than 32767 texts"},
        {d.file("empty.txt"), "holds no text"},
    };
    for (const Case& c : cases) {
        try {
            langgen::ReadTextLines(c.path);
            ADD_FAILURE() << c.path << " was read";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.path << ": " << e.what();
        }
    }
}

#ifndef _WIN32  // a device file and the exit status of system() are POSIX's
TEST(LangGenTexts, TheProgramExitsNonZeroForADevice) {
    const std::string cmd = std::string(TABSEND_LANGGEN) + " --render /dev/urandom >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    ASSERT_NE(rc, -1);
    EXPECT_TRUE(WIFEXITED(rc));
    EXPECT_NE(WEXITSTATUS(rc), 0);
}
#endif

}  // namespace
}  // namespace tabsend
