// Downloads over a real pseudo-terminal that end in the unit's memory: three slots byte for
// byte at the compiled addresses, the read-back and a slot switched out of operation, and a
// download through lost and damaged replies.

#include <algorithm>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "langfiles/IniFile.h"
#include "tests/e2e/E2eSupport.h"

namespace e2e {
namespace {

using TransferE2e = E2eTest;

// Bitmap bytes that are easy to tell apart: every value 00..FF occurs across a string.
Bytes Pattern(std::size_t length, unsigned salt) {
    Bytes b(length);
    for (std::size_t k = 0; k < length; ++k)
        b[k] = static_cast<std::uint8_t>((k * 7u + salt * 31u + (k >> 8) * 3u) & 0xFFu);
    return b;
}

bool IsBitmapKind(const std::string& kind) {
    return kind == "bitmap" || kind == "head" || kind == "package";
}

// Frame bytes: 0 address, 1 function, 2.. data.
int StringNumber(const LogEntry& e) {
    return ((e.request.at(3) & 0x7F) << 8) | e.request.at(4);
}

TEST_F(TransferE2e, ThreeSlotsLandByteForByteAtTheCompiledAddressesAndOneIsSwitchedOut) {
    Simulator& sim = StartSim({"--settings", "19200,e,8,1", "--erase-ms", "30"});
    ASSERT_TRUE(sim.ok());

    // Slot 1: 302 strings, so string numbers above 255 (string 300: 01 2C) occur.
    // Slot 2: bitmaps at the single-message limit and just above it (head + packages).
    const std::vector<fs::path> sources{
        Write("english.ini", GeneratedSource(302, 1, 24, 11, 1, "English", "12")),
        Write("german.ini", SourceText("German", "34", 8,
                                       {Pattern(255, 1), Pattern(256, 2), Pattern(510, 3),
                                        Pattern(1, 4), Pattern(300, 5), Pattern(254, 6)})),
        Write("french.ini", GeneratedSource(5, 30, 80, 13, 2, "French", "56"))};

    const CliRun download = Cli(DownloadArgs(sim.pty(), sources));
    ASSERT_EQ(download.status, 0) << download.out << download.err;
    EXPECT_TRUE(Contains(download.out, "Download complete!")) << download.out;
    auto rows = LastSlotTable(download.out);
    ASSERT_EQ(rows.size(), 3u) << download.out;
    const std::vector<std::tuple<std::string, std::string, std::string>> inOperation{
        {"in operation", "12", "English"},
        {"in operation", "34", "German"},
        {"in operation", "56", "French"}};
    for (std::size_t s = 0; s < 3; ++s) {
        EXPECT_EQ(rows[s].slot, static_cast<int>(s + 1));
        EXPECT_EQ(std::tie(rows[s].state, rows[s].version, rows[s].language),
                  std::tie(std::get<0>(inOperation[s]), std::get<1>(inOperation[s]),
                           std::get<2>(inOperation[s])))
            << download.out;
    }

    const CliRun toggle =
        Cli({"toggle", "--port", sim.pty(), "--slot", "2", "--table", Table().string()});
    ASSERT_EQ(toggle.status, 0) << toggle.out << toggle.err;
    rows = LastSlotTable(toggle.out);
    ASSERT_EQ(rows.size(), 3u) << toggle.out;
    EXPECT_EQ(rows[0].state, "in operation");
    EXPECT_EQ(rows[1].state, "out of operation");
    EXPECT_EQ(rows[1].language, "German");
    EXPECT_EQ(rows[2].state, "in operation");

    ASSERT_EQ(sim.stop(), 0);
    const std::string index = sim.indexText();
    EXPECT_TRUE(Contains(index, "slot 2 status 0xFC present 1 in_operation 0")) << index;
    EXPECT_TRUE(MemoryHoldsSources(sim.memory(), index, Table(), sources));

    // How slot 2's long bitmaps travelled: 255 bytes in one message, 256 and 510 as a head
    // (string number with bit 7) and packages of 255 + 1 and 255 + 255 bytes.
    // A request repeated at once is a retry (a reply that came too late on a busy machine).
    std::map<int, std::vector<int>> slot2;  // string -> sizes (single) or P then package sizes
    const Bytes* previous = nullptr;
    const auto accepted = sim.accepted();
    for (const LogEntry& e : accepted) {
        const bool retry = previous && *previous == e.request;
        previous = &e.request;
        if (retry || !IsBitmapKind(e.kind) || e.request.at(2) != 8) continue;
        std::vector<int>& seen = slot2[StringNumber(e)];
        if (e.kind == "bitmap") seen.push_back(e.request.at(9));  // L
        if (e.kind == "head") {
            EXPECT_EQ(e.request.at(3) & 0x80, 0x80);
            seen.push_back(-e.request.at(9));  // -P
        }
        if (e.kind == "package") seen.push_back(e.request.at(6));  // M
    }
    EXPECT_EQ(slot2[0], (std::vector<int>{255}));
    EXPECT_EQ(slot2[1], (std::vector<int>{-2, 255, 1}));
    EXPECT_EQ(slot2[2], (std::vector<int>{-2, 255, 255}));
    EXPECT_EQ(slot2[3], (std::vector<int>{1}));
    EXPECT_EQ(slot2[4], (std::vector<int>{-2, 255, 45}));
}

TEST_F(TransferE2e, LostAndDamagedRepliesAreRetriedAndTheDownloadStaysByteExact) {
    // 5 % of the replies lost and 5 % damaged, from a fixed seed.
    Simulator& sim = StartSim({"--settings", "19200,e,8,1", "--erase-ms", "30", "--drop", "0.05",
                               "--corrupt", "0.05", "--seed", "7"});
    ASSERT_TRUE(sim.ok());
    const std::vector<fs::path> sources{
        Write("english.ini", GeneratedSource(40, 100, 600, 21, 1, "English", "1")),
        Write("german.ini", GeneratedSource(12, 1, 300, 22, 8, "German", "2")),
        Write("french.ini", GeneratedSource(12, 1, 300, 23, 2, "French", "3"))};

    const CliRun run = Cli(DownloadArgs(sim.pty(), sources));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Download complete!")) << run.out;

    ASSERT_EQ(sim.stop(), 0);
    EXPECT_TRUE(MemoryHoldsSources(sim.memory(), sim.indexText(), Table(), sources));

    // The faults did hit the bitmap transfer, and each was followed by a new try.
    int drops = 0;
    int damaged = 0;
    const auto accepted = sim.accepted();
    for (std::size_t i = 0; i < accepted.size(); ++i) {
        const LogEntry& e = accepted[i];
        if (e.faults.empty() || !IsBitmapKind(e.kind)) continue;
        if (Contains(e.faults, "drop")) ++drops;
        if (Contains(e.faults, "corrupt")) ++damaged;
        ASSERT_LT(i + 1, accepted.size());
        EXPECT_EQ(accepted[i + 1].request, e.request) << "request #" << e.number;
    }
    EXPECT_GE(drops, 1);
    EXPECT_GE(damaged, 1);
}

// What correct generators and editors write: a byte-order mark, a 1,001-byte bitmap with
// 0x prefixes (5,004 characters), and bitmaps whose trailing zero bytes were left out of the
// list. All of it lands in the unit byte for byte, the missing bytes as 0, with one warning.
TEST_F(TransferE2e, LongAndShortenedBitmapListsLandExactly) {
    Bytes big(1001);
    for (std::size_t k = 0; k < big.size(); ++k) big[k] = static_cast<std::uint8_t>(k * 7 + 1);
    std::string text = "\xEF\xBB\xBF" + SourceText("English", "1", 1, {big, {1, 2, 3}, {9}});
    // Strings 1 and 2 claim more bytes than their lists hold.
    const auto lengthen = [&text](const std::string& from, const std::string& to) {
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    lengthen("Str1BMLen=3\r\n", "Str1BMLen=6\r\n");
    lengthen("Str2BMLen=1\r\n", "Str2BMLen=4\r\n");
    const fs::path en = Write("en.ini", text);

    Simulator& sim = StartSim({"--erase-ms", "30"});
    ASSERT_TRUE(sim.ok());
    const CliRun run = Cli(DownloadArgs(sim.pty(), {en}));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, en.string() + " (slot 1): 2 strings with fewer bitmap values"))
        << run.err;
    ASSERT_EQ(sim.stop(), 0);

    const Bytes memory = sim.memory();
    const std::map<int, Bytes> want{{0, big}, {1, Bytes{1, 2, 3, 0, 0, 0}}, {2, Bytes{9, 0, 0, 0}}};
    for (const auto& [i, bytes] : want) {
        const std::string key = "Str" + std::to_string(i);
        const long addr =
            std::stol(tabsend::GetFromini("Lan1Stringcode", key + "Addr", Table().string()));
        ASSERT_GE(addr, 0x40000);
        const auto off = static_cast<std::size_t>(addr - 0x40000);
        ASSERT_LE(off + bytes.size(), memory.size());
        EXPECT_EQ(Bytes(memory.begin() + static_cast<long>(off),
                        memory.begin() + static_cast<long>(off + bytes.size())),
                  bytes)
            << key;
    }
}

}  // namespace
}  // namespace e2e
