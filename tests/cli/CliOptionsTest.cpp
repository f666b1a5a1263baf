#include "tools/cli/CliOptions.h"

#include <gtest/gtest.h>

namespace tabsend::cli {
namespace {

ParseResult parse(std::vector<std::string> args) {
    return parseCommandLine(args);
}

TEST(CliOptions, DownloadTakesPortSlotsManualTableAndLanguage) {
    auto r = parse({"download", "--port", "Com3", "--slot1", "en.ini", "--slot3", "fr.ini",
                    "--manual", "9600,None", "--table", "/tmp/t.ini", "--language", "DE"});
    ASSERT_TRUE(r.options) << r.error;
    const Options& o = *r.options;
    EXPECT_EQ(o.command, Command::Download);
    EXPECT_EQ(o.port, "Com3");
    EXPECT_EQ(o.slotFile[0], "en.ini");
    EXPECT_EQ(o.slotFile[1], "");
    EXPECT_EQ(o.slotFile[2], "fr.ini");
    ASSERT_TRUE(o.manual);
    EXPECT_EQ(o.manual->baud, "9600");
    EXPECT_EQ(o.manual->parity, "None");
    EXPECT_EQ(o.table, "/tmp/t.ini");
    EXPECT_EQ(o.language, 1);
}

TEST(CliOptions, ManualSettingForms) {
    struct Case {
        const char* text;
        bool ok;
        const char* parity;
    };
    const Case cases[] = {
        {"19200,e", true, "Even"},
        {"19200,EVEN", true, "Even"},
        {"9600,n", true, "None"},
        {"9600,none", true, "None"},
        {"9600,o", false, ""},
        {"fast,e", false, ""},
        {"9600", false, ""},
        {",e", false, ""},
        {"19200,e,8,1", false, ""},
        // Only rates a serial port offers.
        {"0,even", false, ""},
        {"9999999,none", false, ""},
        {"12345,e", false, ""},
        {"019200,e", false, ""},
        {"115200,n", true, "None"},
        {"57600,e", true, "Even"},
    };
    for (const auto& c : cases) {
        auto m = parseManual(c.text);
        EXPECT_EQ(m.has_value(), c.ok) << c.text;
        if (m && c.ok) {
            EXPECT_EQ(m->parity, c.parity) << c.text;
        }
    }
}

TEST(CliOptions, RefusesIncompleteOrWrongCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"flash"},
        {"download", "--slot1", "en.ini"},  // no port
        {"read"},                           // no port
        {"toggle", "--port", "Com1"},       // no slot
        {"toggle", "--port", "Com1", "--slot", "4"},
        {"read", "--port", "Com1", "--slot1", "x"},  // files belong to compile/download
        {"compile", "--slot1"},                      // missing value
        {"compile", "--language", "nl"},
        {"compile", "--colour"},
    };
    for (const auto& args : bad) {
        auto r = parse(args);
        EXPECT_FALSE(r.options) << (args.empty() ? std::string("(none)") : args[0]);
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(CliOptions, CompileNeedsNoPortAndToggleTakesTheSlot) {
    auto c = parse({"compile"});
    ASSERT_TRUE(c.options);
    EXPECT_EQ(c.options->command, Command::Compile);
    auto t = parse({"toggle", "--port", "/dev/pts/4", "--slot", "2", "-q"});
    ASSERT_TRUE(t.options) << t.error;
    EXPECT_EQ(t.options->toggleSlot, 2);
    EXPECT_TRUE(t.options->quiet);
    auto h = parse({"--help"});
    ASSERT_TRUE(h.options);
    EXPECT_EQ(h.options->command, Command::Help);
}

}  // namespace
}  // namespace tabsend::cli
