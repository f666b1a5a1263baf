// Connecting over a real pseudo-terminal: the automatic search through the line settings,
// the manual setting with its second chance at the download speed, and the ways a connect
// fails (nobody answers, no such port).

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace e2e {
namespace {

// Every connect request the unit saw: "BAUD/STOPBITS outcome".
std::vector<std::string> ConnectTries(const std::vector<LogEntry>& entries) {
    std::vector<std::string> tries;
    for (const LogEntry& e : entries) {
        if (e.kind != "connect") continue;
        std::string t = std::to_string(e.baud) + "/" + std::to_string(e.stopBits);
        if (e.ignored)
            t += " ignored";
        else if (e.reply.empty())
            t += " no reply";
        else
            t += " answered";
        tries.push_back(t);
    }
    return tries;
}

// The progress texts from the first "Connection start...." up to the line `last`.
std::vector<std::string> ConnectTexts(const std::string& out, const std::string& last) {
    const auto lines = OutputLines(out);
    const auto from = FindLine(lines, "Connection start....");
    const auto to = std::find(from, lines.end(), last);
    if (from == lines.end() || to == lines.end()) return {};
    return {from, to + 1};
}

using ConnectE2e = E2eTest;

TEST_F(ConnectE2e, AutomaticSearchTriesSettingsInOrderUntilTheUnitAnswersThenDownloadsAt57600) {
    Simulator& sim = StartSim({"--settings", "19200,n,8,2", "--erase-ms", "30"});
    ASSERT_TRUE(sim.ok());

    const CliRun run = Cli(DownloadArgs(sim.pty(), SmallSlots()));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Download complete!")) << run.out;

    const std::vector<std::string> expectedTexts{
        "Connection start....", "9600,e,8,1",  "Connection Failed!",
        "Connection start....", "9600,n,8,2",  "Connection Failed!",
        "Connection start....", "19200,e,8,1", "Connection Failed!",
        "Connection start....", "19200,n,8,2", "Connection established!"};
    EXPECT_EQ(ConnectTexts(run.out, "Connection established!"), expectedTexts) << run.out;

    ASSERT_EQ(sim.stop(), 0);
    const auto entries = sim.entries();
    const std::vector<std::string> expectedTries{
        "9600/1 ignored",  "9600/1 ignored",  "9600/2 ignored",  "9600/2 ignored",
        "19200/1 ignored", "19200/1 ignored", "19200/2 answered"};
    EXPECT_EQ(ConnectTries(entries), expectedTries);

    // The answer is 21 7E 02 (+CRC); from then on every request comes at 57600,e,8,1.
    const auto accepted = sim.accepted();
    ASSERT_GE(accepted.size(), 3u);
    EXPECT_EQ(accepted[0].kind, "connect");
    EXPECT_EQ(accepted[0].reply, (Bytes{0x21, 0x7E, 0x02, 0x81, 0xAB}));
    EXPECT_EQ(accepted[1].kind, "device-id");
    EXPECT_EQ(accepted.back().kind, "disconnect");
    for (std::size_t i = 1; i < accepted.size(); ++i) {
        EXPECT_EQ(accepted[i].baud, 57600) << "request #" << accepted[i].number;
        EXPECT_EQ(accepted[i].stopBits, 1) << "request #" << accepted[i].number;
    }
}

TEST_F(ConnectE2e, ManualSettingWithoutAnswerGetsASecondChanceAt57600) {
    Simulator& sim = StartSim({"--settings", "57600,e,8,1", "--erase-ms", "30"});
    ASSERT_TRUE(sim.ok());

    auto args = DownloadArgs(sim.pty(), SmallSlots());
    args.insert(args.end(), {"--manual", "9600,even"});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Download complete!")) << run.out;

    // The label keeps the user's setting during the tries at 57600; no "Connection Failed!"
    // in the manual mode.
    const std::vector<std::string> expectedTexts{"Connection start....", "9600,E,8,1",
                                                 "Connection start....", "9600,E,8,1",
                                                 "Connection established!"};
    EXPECT_EQ(ConnectTexts(run.out, "Connection established!"), expectedTexts) << run.out;
    EXPECT_FALSE(Contains(run.out, "Connection Failed!")) << run.out;

    ASSERT_EQ(sim.stop(), 0);
    const std::vector<std::string> expectedTries{"9600/1 ignored", "9600/1 ignored",
                                                 "57600/1 answered"};
    EXPECT_EQ(ConnectTries(sim.entries()), expectedTries);
    EXPECT_TRUE(Contains(sim.indexText(), "slot 3 status 0xFE present 1 in_operation 1"))
        << sim.indexText();
}

// ---- connect failures ----

enum class Line { UnitIgnoresConnect, SilentTerminal, NoSuchPort };

struct FailureCase {
    const char* name;
    Line line;
    int status;
    const char* message;
    const char* absent;  // a message that must not appear
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

// The master side of a pseudo-terminal that nobody serves.
class SilentTerminal {
  public:
    SilentTerminal() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) return;
        termios t{};
        if (::tcgetattr(fd_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
        if (const char* name = ::ptsname(fd_)) path_ = name;
    }
    ~SilentTerminal() {
        if (fd_ >= 0) ::close(fd_);
    }
    const std::string& path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

class ConnectFailureE2e : public E2eTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConnectFailureE2e, EndsWithItsMessageAndExitStatus) {
    const FailureCase& c = GetParam();
    Simulator* sim = nullptr;
    SilentTerminal silent;
    std::string port;
    switch (c.line) {
        case Line::UnitIgnoresConnect:
            sim = &StartSim({"--ignore", "connect", "--settings", "19200,e,8,1"});
            ASSERT_TRUE(sim->ok());
            port = sim->pty();
            break;
        case Line::SilentTerminal:
            ASSERT_FALSE(silent.path().empty());
            port = silent.path();
            break;
        case Line::NoSuchPort:
            port = (Dir() / "no-such-port").string();
            break;
    }

    const CliRun run = Cli(DownloadArgs(port, SmallSlots()));
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    // Errors go to standard error, nothing of them to standard output.
    EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
    EXPECT_FALSE(Contains(run.out, c.message)) << run.out;
    EXPECT_FALSE(Contains(run.out + run.err, c.absent)) << run.out << run.err;

    const auto lines = OutputLines(run.out);
    const auto failed = std::count(lines.begin(), lines.end(), "Connection Failed!");
    if (c.line == Line::NoSuchPort) {
        // The port never opened: no request, no search.
        EXPECT_EQ(FindLine(lines, "Connection start...."), lines.end()) << run.out;
    } else {
        // All eight settings of the automatic search, each reported as failed.
        EXPECT_EQ(failed, 8) << run.out;
    }
    if (sim) {
        ASSERT_EQ(sim->stop(), 0);
        // Two tries at each of the eight settings, in table order; nothing else was sent.
        const std::vector<std::string> expectedTries{
            "9600/1 ignored",   "9600/1 ignored",   "9600/2 ignored",  "9600/2 ignored",
            "19200/1 no reply", "19200/1 no reply", "19200/2 ignored", "19200/2 ignored",
            "38400/1 ignored",  "38400/1 ignored",  "38400/2 ignored", "38400/2 ignored",
            "57600/1 ignored",  "57600/1 ignored",  "57600/2 ignored", "57600/2 ignored"};
        EXPECT_EQ(ConnectTries(sim->entries()), expectedTries);
        EXPECT_EQ(sim->entries().size(), expectedTries.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConnectFailureE2e,
    ::testing::Values(FailureCase{"UnitIgnoresConnect", Line::UnitIgnoresConnect, 5,
                                  "Can not establish the connection!", "Can not open COM port!"},
                      FailureCase{"SilentTerminal", Line::SilentTerminal, 5,
                                  "Can not establish the connection!", "Can not open COM port!"},
                      FailureCase{"NoSuchPort", Line::NoSuchPort, 4, "Can not open COM port!",
                                  "Can not establish the connection!"}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return p.param.name; });

}  // namespace
}  // namespace e2e
