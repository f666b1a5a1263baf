#pragma once
// Parsed INI files kept in memory between reads, so that the thousands of single-value
// reads of a compile or a download parse each file once.
//
// A cached copy is used only while the file is provably unchanged: its stamp (device,
// inode, size, modification and status-change times in nanoseconds) must be the same as
// when it was read. A file written so recently that a later write could still carry the
// same time stamps (the file system stamps files with a coarse clock) is compared byte for
// byte with the cached text on every read until its time stamps are old enough; from then on
// the stamp alone decides. A stamp that lies in the future (a skewed clock, local-time stamps
// on a removable disk) never grows old by this clock; such a file is compared only until it
// has been seen unchanged for the same span since it was first read with that stamp: any
// later write lands in a later time stamp.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "langfiles/FileIo.h"
#include "langfiles/IniDocument.h"

namespace tabsend {

// How the cache reaches the file system (the tests put a scripted one in its place).
class FileProbe {
  public:
    virtual ~FileProbe() = default;
    virtual FileStamp stamp(const std::string& path) = 0;
    virtual bool read(const std::string& path, std::string& out) = 0;
    virtual std::int64_t nowNs() = 0;
};

class SystemFileProbe : public FileProbe {
  public:
    FileStamp stamp(const std::string& path) override { return statFile(path); }
    bool read(const std::string& path, std::string& out) override {
        return readWholeFile(path, out);
    }
    std::int64_t nowNs() override { return wallClockNs(); }
};

class IniFileCache {
  public:
    // How long after its last change a file's stamp alone is trusted: file systems with
    // sub-second time stamps, and those that stamp whole seconds (FAT: two seconds).
    static constexpr std::int64_t kSettleNs = 20'000'000;
    static constexpr std::int64_t kSettleCoarseNs = 2'500'000'000;

    explicit IniFileCache(FileProbe& probe, std::size_t maxFiles = 8);
    IniFileCache();  // on the real file system
    IniFileCache(const IniFileCache&) = delete;
    IniFileCache& operator=(const IniFileCache&) = delete;

    // The parsed file, or nullptr when it is missing or unreadable.
    std::shared_ptr<const IniDocument> document(const std::string& path);
    // One value as the INI reader delivers it ("" for a missing file, section or key).
    std::string read(std::string_view section, std::string_view key, const std::string& path);
    // Drops the cached copy of one file (after this program has written it).
    void forget(const std::string& path);
    void clear();

    // Counters for tests and benchmarks.
    std::uint64_t parses() const;
    std::uint64_t contentChecks() const;

  private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const IniDocument> doc;
        std::string bytes;  // the text read, kept only while the stamp is not yet trusted
        bool settled = false;
        std::int64_t firstReadNs = 0;  // clock at the first read with this stamp
        std::uint64_t lastUse = 0;
    };

    std::shared_ptr<const IniDocument> lookup(const std::string& path);
    static bool isSettled(const FileStamp& s, std::int64_t readStartNs);
    static std::int64_t settleMargin(const FileStamp& s);
    void evict();

    std::unique_ptr<SystemFileProbe> ownProbe_;
    FileProbe& probe_;
    std::size_t maxFiles_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t useCounter_ = 0;
    std::uint64_t parses_ = 0;
    std::uint64_t contentChecks_ = 0;
};

// The cache behind GetFromini, ReadIniValue and WriteIniValue.
IniFileCache& sharedIniCache();

}  // namespace tabsend
