#include "langfiles/IniCache.h"

#include <algorithm>

namespace tabsend {

IniFileCache::IniFileCache(FileProbe& probe, std::size_t maxFiles)
    : probe_(probe), maxFiles_(std::max<std::size_t>(maxFiles, 1)) {}

IniFileCache::IniFileCache()
    : ownProbe_(std::make_unique<SystemFileProbe>()), probe_(*ownProbe_), maxFiles_(8) {}

std::int64_t IniFileCache::settleMargin(const FileStamp& s) {
    constexpr std::int64_t kSecond = 1'000'000'000;
    const bool wholeSeconds = s.mtimeNs % kSecond == 0 && s.ctimeNs % kSecond == 0;
    return wholeSeconds ? kSettleCoarseNs : kSettleNs;
}

bool IniFileCache::isSettled(const FileStamp& s, std::int64_t readStartNs) {
    const std::int64_t lastChange = std::max(s.mtimeNs, s.ctimeNs);
    return readStartNs - lastChange > settleMargin(s);
}

std::shared_ptr<const IniDocument> IniFileCache::lookup(const std::string& path) {
    // The clock is read before the file: a write after this moment carries a later stamp.
    const std::int64_t now = probe_.nowNs();
    const FileStamp stamp = probe_.stamp(path);
    auto it = entries_.find(path);
    if (!stamp.exists) {
        if (it != entries_.end()) entries_.erase(it);
        return nullptr;
    }
    std::string bytes;
    bool haveBytes = false;
    if (it != entries_.end() && it->second.stamp == stamp) {
        Entry& e = it->second;
        e.lastUse = ++useCounter_;
        if (e.settled) return e.doc;
        ++contentChecks_;
        if (!probe_.read(path, bytes)) {
            entries_.erase(it);
            return nullptr;
        }
        if (bytes == e.bytes) {
            if (isSettled(stamp, now) || now - e.firstReadNs > settleMargin(stamp)) {
                e.settled = true;
                std::string().swap(e.bytes);
            }
            return e.doc;
        }
        haveBytes = true;  // same stamp, other text: read it anew below
    }
    if (!haveBytes && !probe_.read(path, bytes)) {
        if (it != entries_.end()) entries_.erase(it);
        return nullptr;
    }
    ++parses_;
    Entry fresh;
    fresh.stamp = stamp;
    fresh.doc = std::make_shared<const IniDocument>(IniDocument::parse(bytes));
    fresh.settled = isSettled(stamp, now);
    fresh.firstReadNs = now;
    if (!fresh.settled) fresh.bytes = std::move(bytes);
    fresh.lastUse = ++useCounter_;
    auto doc = fresh.doc;
    entries_[path] = std::move(fresh);
    evict();
    return doc;
}

void IniFileCache::evict() {
    while (entries_.size() > maxFiles_) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        }
        entries_.erase(oldest);
    }
}

std::shared_ptr<const IniDocument> IniFileCache::document(const std::string& path) {
    std::lock_guard lock(mutex_);
    return lookup(path);
}

std::string IniFileCache::read(std::string_view section, std::string_view key,
                               const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto doc = lookup(path);
    return doc ? doc->get(section, key) : std::string();
}

void IniFileCache::forget(const std::string& path) {
    std::lock_guard lock(mutex_);
    entries_.erase(path);
}

void IniFileCache::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::uint64_t IniFileCache::parses() const {
    std::lock_guard lock(mutex_);
    return parses_;
}

std::uint64_t IniFileCache::contentChecks() const {
    std::lock_guard lock(mutex_);
    return contentChecks_;
}

IniFileCache& sharedIniCache() {
    static IniFileCache cache;
    return cache;
}

}  // namespace tabsend
