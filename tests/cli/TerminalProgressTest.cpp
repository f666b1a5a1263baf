#include "tools/cli/TerminalProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tabsend::cli {
namespace {

// Captures what the progress printer writes.
struct Captured {
    Captured() : file(std::tmpfile()) {}
    ~Captured() { std::fclose(file); }
    std::string text() {
        std::fflush(file);
        std::rewind(file);
        std::string s;
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) s.append(buf, n);
        return s;
    }
    std::FILE* file;
};

TEST(TerminalProgress, LogModeKeepsPhasesRetriesAndPercentStepsOnly) {
    Captured out;
    {
        TerminalProgress p(out.file, false, false);
        p.setProgressRange(0, 100);
        p.setItemInfo("Read Device ID");
        for (int i = 0; i < 50; ++i) {
            p.setItemInfo("Try No. 0,Language 1,string code " + std::to_string(i) + "bitmap data");
        }
        p.setItemInfo("Try No. 1,Language 1,string code 49bitmap data");
        p.setProgressValue(40);
        p.setItemInfo("Try No. 0,Language 1,string code 50bitmap data");
        p.setItemInfo("Try No. 0,Language 1,string code 51bitmap data");
    }
    const std::string s = out.text();
    EXPECT_NE(s.find("  0%  Read Device ID\n"), std::string::npos);
    // First tries at the percentage already shown say nothing new.
    EXPECT_EQ(s.find("string code 0bitmap data\n"), std::string::npos);
    EXPECT_EQ(s.find("string code 1bitmap data\n"), std::string::npos);
    EXPECT_NE(s.find("Try No. 1,Language 1,string code 49"), std::string::npos);  // a retry
    EXPECT_NE(s.find(" 40%  Try No. 0,Language 1,string code 50"), std::string::npos);
    EXPECT_EQ(s.find("string code 51bitmap"), std::string::npos);
    EXPECT_EQ(s.find('\r'), std::string::npos);
}

TEST(TerminalProgress, TerminalModeRewritesOneLineAndEndsItBeforeAMessage) {
    Captured out;
    {
        TerminalProgress p(out.file, true, false);
        TerminalMessages m(out.file, &p);
        p.setItemInfo("Connection start....");
        p.setItemInfo("9600,e,8,1");
        m.showMessage("Can not establish the connection!");
        EXPECT_EQ(m.last(), "Can not establish the connection!");
        EXPECT_EQ(m.count(), 1);
    }
    const std::string s = out.text();
    // The shorter second text is padded over the first one.
    EXPECT_NE(s.find("\r  0%  9600,e,8,1          "), std::string::npos);
    EXPECT_NE(s.find("\nCan not establish the connection!\n"), std::string::npos);
}

TEST(TerminalProgress, QuietPrintsNoProgressButMessagesStill) {
    Captured out;
    {
        TerminalProgress p(out.file, false, true);
        TerminalMessages m(out.file, &p);
        p.setItemInfo("Read Device ID");
        m.showMessage("Download complete!");
    }
    EXPECT_EQ(out.text(), "Download complete!\n");
}

TEST(TerminalProgress, ResultsGoToTheOutputAndEveryOtherMessageToTheErrorStream) {
    Captured out;
    Captured err;
    {
        TerminalProgress p(out.file, false, true);  // quiet: errors are still shown
        TerminalMessages m(out.file, &p, err.file, {"Download complete!", "  Set complete!"});
        m.showMessage("  Set complete!");
        m.showMessage("Communication timeout!");
        m.showMessage("data receive error！  The line was lost");
        m.showMessage("Download complete!");
        EXPECT_EQ(m.count(), 4);
        EXPECT_EQ(m.last(), "Download complete!");
    }
    EXPECT_EQ(out.text(), "  Set complete!\nDownload complete!\n");
    EXPECT_EQ(err.text(), "Communication timeout!\ndata receive error！  The line was lost\n");
}

}  // namespace
}  // namespace tabsend::cli
