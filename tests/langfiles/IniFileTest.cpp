// INI files on disk: GetFromini, ReadIniValue, WriteIniValue, the cache of parsed files and
// the crash-safe replacement of a file.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "langfiles/FileIo.h"
#include "langfiles/IniCache.h"
#include "langfiles/IniFile.h"
#include "tests/langfiles/LangTestSupport.h"

namespace tabsend {
namespace {

#ifndef _WIN32
using testkit::asOrdinaryUser;
#endif
using testkit::FileSizeLimit;
using testkit::readFile;
using testkit::ReadOnly;
using testkit::TempDir;
using testkit::writeFile;

using FileTime = std::filesystem::file_time_type;

FileTime mtimeOf(const std::string& path) {
    return std::filesystem::last_write_time(path);
}

void setMtime(const std::string& path, const FileTime& t) {
    std::error_code ec;
    std::filesystem::last_write_time(path, t, ec);
    ASSERT_FALSE(ec) << ec.message();
}

// ---- GetFromini / ReadIniValue / WriteIniValue ----

TEST(IniFiles, WriteCreatesTheFileAndEveryWriteIsReadBack) {
    TempDir d;
    const std::string path = d.file("LanTable.ini");
    EXPECT_EQ(GetFromini("Lan1Info", "LanVer", path), "");
    ASSERT_TRUE(WriteIniValue("Lan1Info", "LanVer", "3", path));
    EXPECT_EQ(readFile(path), "[Lan1Info]\r\nLanVer=3\r\n");
    EXPECT_EQ(GetFromini("lan1info", "LANVER", path), "3");
    // The same size and, most likely, the same time stamp: the new value must show.
    ASSERT_TRUE(WriteIniValue("Lan1Info", "LanVer", "4", path));
    EXPECT_EQ(ReadIniValue("Lan1Info", "LanVer", path), "4");
    ASSERT_TRUE(WriteIniValue("Lan1Info", "Language", "English", path));
    ASSERT_TRUE(WriteIniValue("LanAssInfo", "LanTotalNum", "1", path));
    EXPECT_EQ(readFile(path),
              "[Lan1Info]\r\nLanVer=4\r\nLanguage=English\r\n[LanAssInfo]\r\nLanTotalNum=1\r\n");
    EXPECT_EQ(GetFromini("Lan1Info", "Language", path), "English");
}

#ifndef _WIN32  // symbolic links are POSIX's (on Windows they need rights users lack)
// A table that is a symbolic link is written through to its target: the link stays a link
// and the target gets the content (replaced there, with nothing left behind).
struct LinkCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link name -> what it names
    std::string target;                                      // the file that gets written
    bool targetExists;
};

class IniFileLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(IniFileLink, IsWrittenThroughToItsTarget) {
    const LinkCase& c = GetParam();
    TempDir d;
    std::filesystem::create_directory(d.file("real"));
    if (c.targetExists) writeFile(d.file(c.target), "[A]\r\nold=1\r\n");
    for (const auto& [link, to] : c.links) std::filesystem::create_symlink(to, d.file(link));
    const std::string path = d.file(c.links.front().first);

    ASSERT_TRUE(WriteIniValue("A", "k", "v", path));

    for (const auto& [link, to] : c.links) {
        EXPECT_TRUE(std::filesystem::is_symlink(d.file(link))) << link;
        EXPECT_EQ(std::filesystem::read_symlink(d.file(link)).string(), to) << link;
    }
    EXPECT_EQ(readFile(d.file(c.target)),
              std::string(c.targetExists ? "[A]\r\nold=1\r\nk=v\r\n" : "[A]\r\nk=v\r\n"));
    EXPECT_EQ(GetFromini("A", "k", path), "v");
    // Only the links and the target: no temporary file in either folder.
    std::size_t entries = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(d.path())) {
        entries += e.is_directory() ? 0 : 1;
    }
    EXPECT_EQ(entries, c.links.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Links, IniFileLink,
    ::testing::Values(
        LinkCase{"relative", {{"LanTable.ini", "real/t.ini"}}, "real/t.ini", true},
        LinkCase{
            "chain", {{"LanTable.ini", "mid.ini"}, {"mid.ini", "real/t.ini"}}, "real/t.ini", true},
        LinkCase{"dangling", {{"LanTable.ini", "real/new.ini"}}, "real/new.ini", false}),
    [](const auto& p) { return std::string(p.param.name); });
#endif

TEST(IniFiles, WriteKeepsEveryOtherLineAndTheFileMode) {
    TempDir d;
    const std::string path = d.file("table.ini");
    const std::string before =
        "; made by hand\n[Lan1Info]\nLanVer = 2 \n# note\nLanguage=Fran\xE7"
        "ais\n\n[X]\rk=v";
    writeFile(path, before);
#ifndef _WIN32  // file modes are POSIX's
    ::chmod(path.c_str(), 0640);
#endif
    ASSERT_TRUE(WriteIniValue("LAN1INFO", "lanver", "3", path));
    EXPECT_EQ(readFile(path),
              "; made by hand\n[Lan1Info]\nLanVer=3\r\n# note\nLanguage=Fran\xE7"
              "ais\n\n[X]\rk=v");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
#endif
}

TEST(IniFiles, WriteFailsWithoutTheFolderOrOnSomethingThatIsNoFile) {
    TempDir d;
    EXPECT_FALSE(WriteIniValue("A", "k", "v", d.file("missing/LanTable.ini")));
    ASSERT_TRUE(std::filesystem::create_directory(d.file("LanTable.ini")));
    EXPECT_FALSE(WriteIniValue("A", "k", "v", d.file("LanTable.ini")));
    EXPECT_EQ(GetFromini("A", "k", d.file("LanTable.ini")), "");
}

TEST(IniFiles, WriteRefusesValuesThatWouldBreakTheFile) {
    TempDir d;
    const std::string path = d.file("t.ini");
    writeFile(path, "[A]\r\nk=1\r\n");
    EXPECT_FALSE(WriteIniValue("A", "k", "1\r\n[B]", path));
    EXPECT_EQ(readFile(path), "[A]\r\nk=1\r\n");
}

// Every way a file can change on disk must show in the next read.
struct ChangeCase {
    const char* what;
    void (*change)(const std::string& path);
};

class IniFileChange : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(IniFileChange, IsSeenByTheNextRead) {
    TempDir d;
    const std::string path = d.file("src.ini");
    writeFile(path, "[A]\r\nk=1111\r\n");
    ASSERT_EQ(ReadIniValue("A", "k", path), "1111");
    ASSERT_EQ(ReadIniValue("A", "k", path), "1111");
    GetParam().change(path);
    EXPECT_EQ(ReadIniValue("A", "k", path), "2222") << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Changes, IniFileChange,
    ::testing::Values(ChangeCase{"rewritten in place with another size",
                                 [](const std::string& p) {
                                     writeFile(p, "[A]\r\nk=2222\r\nx=1\r\n");
                                 }},
                      ChangeCase{"rewritten in place, same size, same modification time",
                                 [](const std::string& p) {
                                     const FileTime old = mtimeOf(p);
                                     writeFile(p, "[A]\r\nk=2222\r\n");
                                     setMtime(p, old);
                                 }},
                      ChangeCase{"rewritten in place, same size, time moved within the same second",
                                 [](const std::string& p) {
                                     FileTime when = mtimeOf(p);
                                     writeFile(p, "[A]\r\nk=2222\r\n");
                                     when += std::chrono::microseconds(1);
                                     setMtime(p, when);
                                 }},
                      ChangeCase{"replaced by another file of the same size and time",
                                 [](const std::string& p) {
                                     const FileTime old = mtimeOf(p);
                                     writeFile(p + ".new", "[A]\r\nk=2222\r\n");
                                     setMtime(p + ".new", old);
                                     std::filesystem::rename(p + ".new", p);
                                 }},
                      ChangeCase{"written through WriteIniValue", [](const std::string& p) {
                                     ASSERT_TRUE(WriteIniValue("A", "k", "2222", p));
                                 }}));

TEST(IniFileCache, ParsesAnUnchangedFileOnce) {
    TempDir d;
    const std::string path = d.file("src.ini");
    writeFile(path, "[A]\r\nk=1\r\n");
    IniFileCache cache;
    for (int i = 0; i < 200; ++i) ASSERT_EQ(cache.read("A", "k", path), "1");
    EXPECT_EQ(cache.parses(), 1U);
    writeFile(path, "[A]\r\nk=22\r\n");
    EXPECT_EQ(cache.read("A", "k", path), "22");
    EXPECT_EQ(cache.parses(), 2U);
    ::unlink(path.c_str());
    EXPECT_EQ(cache.read("A", "k", path), "");
    EXPECT_EQ(cache.document(path), nullptr);
}

// A file system under the test's control: stamps, contents and the clock are set by hand.
class ScriptedProbe : public FileProbe {
  public:
    struct File {
        FileStamp stamp;
        std::string bytes;
    };
    FileStamp stamp(const std::string& path) override {
        const auto it = files.find(path);
        return it == files.end() ? FileStamp{} : it->second.stamp;
    }
    bool read(const std::string& path, std::string& out) override {
        ++reads;
        const auto it = files.find(path);
        if (it == files.end()) return false;
        out = it->second.bytes;
        return true;
    }
    std::int64_t nowNs() override { return now; }

    void put(const std::string& path, const std::string& bytes, std::int64_t changedNs) {
        File& f = files[path];
        f.bytes = bytes;
        f.stamp = {true, 1, 42, static_cast<std::int64_t>(bytes.size()), changedNs, changedNs};
    }

    std::map<std::string, File> files;
    std::int64_t now = 1'700'000'000'123'456'789;
    int reads = 0;
};

constexpr std::int64_t kMs = 1'000'000;

TEST(IniFileCacheStamps, SameStampOtherTextIsSeenWhileTheStampIsRecent) {
    ScriptedProbe fs;
    IniFileCache cache(fs);
    fs.put("f", "[A]\nk=1\n", fs.now - 1 * kMs);
    EXPECT_EQ(cache.read("A", "k", "f"), "1");
    fs.files["f"].bytes = "[A]\nk=2\n";  // same size, same stamp: a write within one clock tick
    EXPECT_EQ(cache.read("A", "k", "f"), "2");
    EXPECT_EQ(cache.parses(), 2U);
}

TEST(IniFileCacheStamps, AnOldStampIsTrustedWithoutReadingTheFile) {
    ScriptedProbe fs;
    IniFileCache cache(fs);
    fs.put("f", "[A]\nk=1\n", fs.now - 1000 * kMs + 7);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(cache.read("A", "k", "f"), "1");
    EXPECT_EQ(fs.reads, 1);
    EXPECT_EQ(cache.contentChecks(), 0U);
}

TEST(IniFileCacheStamps, ARecentFileIsComparedUntilItsStampIsOldEnough) {
    ScriptedProbe fs;
    IniFileCache cache(fs);
    fs.put("f", "[A]\nk=1\n", fs.now - 5 * kMs + 3);
    EXPECT_EQ(cache.read("A", "k", "f"), "1");
    EXPECT_EQ(cache.read("A", "k", "f"), "1");
    EXPECT_EQ(fs.reads, 2);  // compared byte for byte
    fs.now += 30 * kMs;
    EXPECT_EQ(cache.read("A", "k", "f"), "1");  // compared once more, now trusted
    EXPECT_EQ(cache.read("A", "k", "f"), "1");
    EXPECT_EQ(fs.reads, 3);
    EXPECT_EQ(cache.parses(), 1U);
}

TEST(IniFileCacheStamps, WholeSecondStampsAreTrustedOnlyAfterSeconds) {
    ScriptedProbe fs;
    IniFileCache cache(fs);
    const std::int64_t second = 1'700'000'000'000'000'000;
    fs.put("f", "[A]\nk=1\n", second);
    fs.now = second + 1000 * kMs;  // would be old enough for a fine stamp
    EXPECT_EQ(cache.read("A", "k", "f"), "1");
    fs.files["f"].bytes = "[A]\nk=3\n";
    EXPECT_EQ(cache.read("A", "k", "f"), "3");
    fs.now = second + 3000 * kMs;
    EXPECT_EQ(cache.read("A", "k", "f"), "3");
    const int reads = fs.reads;
    EXPECT_EQ(cache.read("A", "k", "f"), "3");
    EXPECT_EQ(fs.reads, reads);
}

// A stamp in the future never grows old by this clock: the file is compared only until it
// has been seen unchanged for the settling time since its first read, and a change inside
// that time is still seen.
TEST(IniFileCacheStamps, AFutureStampIsComparedOnlyForTheSettlingTime) {
    for (const std::int64_t ahead : {std::int64_t{3'600'000} * kMs, std::int64_t{5} * kMs}) {
        ScriptedProbe fs;
        IniFileCache cache(fs);
        // Whole seconds in the future, as a FAT disk would stamp it.
        const std::int64_t stamp = (fs.now + ahead) / 1'000'000'000 * 1'000'000'000 + 1'000'000'000;
        fs.put("f", "[A]\nk=1\n", stamp);
        EXPECT_EQ(cache.read("A", "k", "f"), "1");
        fs.now += 100 * kMs;
        fs.files["f"].bytes = "[A]\nk=2\n";  // same size, same stamp
        EXPECT_EQ(cache.read("A", "k", "f"), "2") << "a change is seen while unsettled";
        for (int i = 0; i < 2000; ++i) {
            fs.now += 2 * kMs;
            ASSERT_EQ(cache.read("A", "k", "f"), "2");
        }
        // 4 s of reads: compared for the 2.5 s of a whole-second stamp, then trusted.
        EXPECT_LE(cache.contentChecks(), 1300U) << ahead;
        EXPECT_GE(cache.contentChecks(), 1200U) << ahead;
    }
}

TEST(IniFileCacheStamps, KeepsAFewFilesAndDropsTheLeastRecentlyUsed) {
    ScriptedProbe fs;
    IniFileCache cache(fs, 2);
    for (const char* f : {"a", "b", "c"}) fs.put(f, "[A]\nk=" + std::string(f) + "\n", 0);
    EXPECT_EQ(cache.read("A", "k", "a"), "a");
    EXPECT_EQ(cache.read("A", "k", "b"), "b");
    EXPECT_EQ(cache.read("A", "k", "a"), "a");
    EXPECT_EQ(cache.read("A", "k", "c"), "c");  // drops b
    EXPECT_EQ(cache.parses(), 3U);
    EXPECT_EQ(cache.read("A", "k", "a"), "a");
    EXPECT_EQ(cache.parses(), 3U);
    EXPECT_EQ(cache.read("A", "k", "b"), "b");
    EXPECT_EQ(cache.parses(), 4U);
}

// ---- Crash-safe replacement ----

TEST(AtomicSave, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    TempDir d;
    const std::string path = d.file("LanTable.ini");
    const std::string old = "[LanAssInfo]\r\nLanTotalNum=2\r\n";
    writeFile(path, old);
    const std::string big(200000, 'x');
    std::string why;
    {
        FileSizeLimit full(4096);
        EXPECT_FALSE(saveFileAtomically(path, big, &why));
        EXPECT_FALSE(WriteIniValue("Big", "k", big.substr(0, 4999), path));
    }
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(d.entries(), std::vector<std::string>{"LanTable.ini"});
    ASSERT_TRUE(saveFileAtomically(path, big));
    EXPECT_EQ(readFile(path), big);
    EXPECT_EQ(d.entries(), std::vector<std::string>{"LanTable.ini"});
}

TEST(AtomicSave, ARegularWriteReplacesTheFileWhole) {
    TempDir d;
    const std::string path = d.file("t.ini");
    ASSERT_TRUE(saveFileAtomically(path, "one"));
    ASSERT_TRUE(saveFileAtomically(path, "two, longer"));
    EXPECT_EQ(readFile(path), "two, longer");
    ASSERT_TRUE(saveFileAtomically(path, ""));
    EXPECT_EQ(readFile(path), "");
}

TEST(AtomicSave, AReadOnlyFileIsNotWrittenOnEveryPlatform) {
    TempDir d;
    const std::string path = d.file("LanTable.ini");
    writeFile(path, "old");
    {
        ReadOnly ro(path);
        std::string why;
        EXPECT_FALSE(saveFileAtomically(path, "new", &why));
        EXPECT_NE(why.find("cannot write"), std::string::npos) << why;
        EXPECT_FALSE(WriteIniValue("A", "k", "v", path));
    }
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(d.entries(), std::vector<std::string>{"LanTable.ini"});
}

TEST(AtomicSave, AReadOnlyFolderGetsNoNewFileButItsWritableFileIsRewrittenInPlace) {
    TempDir d;
    const std::string path = d.file("LanTable.ini");
    writeFile(path, "old\r\n");
    {
        ReadOnly ro(d.path());
        EXPECT_TRUE(saveFileAtomically(path, "new\r\nlonger\r\n"));
        EXPECT_FALSE(saveFileAtomically(d.file("Other.ini"), "x"));
    }
    EXPECT_EQ(readFile(path), "new\r\nlonger\r\n");  // bytes as given, no text mode
    EXPECT_EQ(d.entries(), std::vector<std::string>{"LanTable.ini"});
}

#ifndef _WIN32  // the same with real file modes and an ordinary user's rights
TEST(AtomicSave, AReadOnlyFileIsNotWritten) {
    TempDir d;
    ::chmod(d.path().c_str(), 0777);
    const std::string path = d.file("LanTable.ini");
    writeFile(path, "old");
    ::chmod(path.c_str(), 0444);
    EXPECT_TRUE(asOrdinaryUser([&] { return !saveFileAtomically(path, "new"); }));
    EXPECT_EQ(readFile(path), "old");
}

TEST(AtomicSave, AWritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    TempDir d;
    const std::string path = d.file("LanTable.ini");
    writeFile(path, "old");
    ::chmod(path.c_str(), 0666);
    ::chmod(d.path().c_str(), 0555);
    EXPECT_TRUE(asOrdinaryUser([&] { return saveFileAtomically(path, "new"); }));
    // A new file cannot be made there at all.
    const std::string other = d.file("Other.ini");
    EXPECT_TRUE(asOrdinaryUser([&] { return !saveFileAtomically(other, "x"); }));
    ::chmod(d.path().c_str(), 0755);
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(d.entries().size(), 1U);  // no temporary file left
}
#endif

TEST(IniEditSession, SavesOnceAndRefusesToReplaceWhatItCouldNotRead) {
    TempDir d;
    const std::string path = d.file("t.ini");
    writeFile(path, "[A]\nk=1\n");
    IniEditSession s(path);
    ASSERT_TRUE(s.loaded());
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(s.doc().set("B", "k" + std::to_string(i), "v"));
    EXPECT_EQ(readFile(path), "[A]\nk=1\n");  // nothing on disk before the save
    ASSERT_TRUE(s.save());
    EXPECT_EQ(GetFromini("B", "k999", path), "v");
    EXPECT_EQ(GetFromini("A", "k", path), "1");

    const std::string folder = d.file("LanTable.ini");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    IniEditSession onFolder(folder);
    onFolder.doc().set("A", "k", "1");
    EXPECT_FALSE(onFolder.save());
}

}  // namespace
}  // namespace tabsend
