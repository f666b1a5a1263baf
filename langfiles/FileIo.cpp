#include "langfiles/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace tabsend {

namespace {

std::int64_t toNs(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL +
           static_cast<std::int64_t>(t.tv_nsec);
}

void setWhy(std::string* why, const std::string& what) {
    if (why != nullptr) *why = what + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True (errno set to EACCES) when the tests made path read-only.
bool refusedByFault(const std::string& path) {
    const auto& ro = fileSystemFaults().readOnly;
    if (std::find(ro.begin(), ro.end(), path) == ro.end()) return false;
    errno = EACCES;
    return true;
}

// Writes data from the start of an empty file.
bool writeAll(int fd, std::string_view data) {
    const std::int64_t limit = fileSystemFaults().fileSizeLimit;
    const bool full = limit >= 0 && data.size() > static_cast<std::uint64_t>(limit);
    if (full) data = data.substr(0, static_cast<std::size_t>(limit));
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    if (full) errno = EFBIG;
    return !full;
}

}  // namespace

FileSystemFaults& fileSystemFaults() {
    static FileSystemFaults faults;
    return faults;
}

FileStamp statFile(const std::string& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.exists = true;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::int64_t>(st.st_size);
    s.mtimeNs = toNs(st.st_mtim);
    s.ctimeNs = toNs(st.st_ctim);
    return s;
}

bool readWholeFile(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    out.clear();
    // One byte more than the size, so that the end shows as a read of 0 without growing.
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    bool ok = true;
    for (;;) {
        if (got == out.size()) out.resize(out.size() * 2);  // the file has grown meanwhile
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out.resize(ok ? got : 0);
    return ok;
}

std::int64_t wallClockNs() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return toNs(t);
}

namespace {
bool rewriteInPlace(const std::string& path, std::string_view content, std::string* why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        setWhy(why, "cannot write " + path);
        return false;
    }
    bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) setWhy(why, "cannot write " + path);
    return ok;
}
}  // namespace

bool saveFileAtomically(const std::string& path, std::string_view content, std::string* why) {
    mode_t mode = 0;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            errno = EISDIR;
            setWhy(why, path + " is not a regular file");
            return false;
        }
        if (refusedByFault(path) || ::access(path.c_str(), W_OK) != 0) {
            setWhy(why, "cannot write " + path);
            return false;
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::string folder = folderOf(path);
    std::string temp = folder + "/." + baseOf(path) + ".XXXXXX";
    const int fd = refusedByFault(folder) ? -1 : ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int saved = errno;
        // A writable file in a folder we may not create files in: rewrite it in place, as a
        // plain profile writer would (without the crash safety of the rename).
        if (exists && (saved == EACCES || saved == EPERM || saved == EROFS)) {
            return rewriteInPlace(path, content, why);
        }
        setWhy(why, "cannot create a file in " + folder);
        errno = saved;
        return false;
    }
    bool ok = writeAll(fd, content);
    if (!ok) setWhy(why, "cannot write " + temp);
    if (ok && ::fchmod(fd, mode) != 0) {
        ok = false;
        setWhy(why, "cannot set the mode of " + temp);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        setWhy(why, "cannot flush " + temp);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        setWhy(why, "cannot close " + temp);
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        setWhy(why, "cannot replace " + path);
    }
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return false;
    }
    // Make the rename itself durable; a failure here does not undo the replacement.
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace tabsend
