// The file functions of FileIo.h on Windows. Paths are UTF-8 and go through the wide-character
// calls; every file is read and written as raw bytes (no text mode, so "\r\n" stays "\r\n");
// an existing file is replaced with MoveFileExW, as rename() refuses an existing target.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "langfiles/FileIo.h"

namespace tabsend {

namespace {

// 100 ns intervals between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr std::int64_t kEpochDifference100ns = 116444736000000000LL;

std::int64_t toNs(std::int64_t since1601in100ns) {
    return (since1601in100ns - kEpochDifference100ns) * 100;
}

std::int64_t toNs(const FILETIME& t) {
    return toNs(static_cast<std::int64_t>(static_cast<std::uint64_t>(t.dwHighDateTime) << 32 |
                                          t.dwLowDateTime));
}

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// The C library's number for the errors a file operation commonly meets, so that the reasons
// read as on the other platforms; 0 for any other error.
int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_DIRECTORY:
            return EISDIR;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        default:
            return 0;
    }
}

void setWhy(std::string* why, const std::string& what, DWORD error) {
    if (why == nullptr) return;
    if (const int e = errnoFor(error); e != 0) {
        *why = what + ": " + std::strerror(e);
        return;
    }
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n > 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    if (reason.empty()) reason = "error " + std::to_string(error);
    *why = what + ": " + reason;
}

std::size_t lastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = lastSeparator(path);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True (with the error a read-only file or folder gives) when the tests made path read-only.
bool refusedByFault(const std::string& path) {
    const auto& ro = fileSystemFaults().readOnly;
    if (std::find(ro.begin(), ro.end(), path) == ro.end()) return false;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

// Writes data into an empty file opened for writing.
bool writeAll(HANDLE h, std::string_view data) {
    const std::int64_t limit = fileSystemFaults().fileSizeLimit;
    const bool full = limit >= 0 && data.size() > static_cast<std::uint64_t>(limit);
    if (full) data = data.substr(0, static_cast<std::size_t>(limit));
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(h, data.data(), chunk, &written, nullptr)) return false;
        if (written == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        data.remove_prefix(written);
    }
    if (full) ::SetLastError(ERROR_DISK_FULL);
    return !full;
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool close() {
        if (!valid()) return true;
        const bool ok = ::CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool rewriteInPlace(const std::string& path, std::string_view content, std::string* why) {
    Handle h(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        setWhy(why, "cannot write " + path, ::GetLastError());
        return false;
    }
    bool ok = writeAll(h.get(), content) && ::FlushFileBuffers(h.get()) != 0;
    DWORD error = ok ? 0 : ::GetLastError();
    if (!h.close() && ok) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) setWhy(why, "cannot write " + path, error);
    return ok;
}

// A name for the temporary file that no other writer of this process or another uses.
std::string temporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%lx.%x.tmp", ::GetCurrentProcessId(),
                  counter.fetch_add(1) ^ static_cast<unsigned>(::GetTickCount()));
    return folderOf(path) + "/." + baseOf(path) + suffix;
}

}  // namespace

FileSystemFaults& fileSystemFaults() {
    static FileSystemFaults faults;
    return faults;
}

FileStamp statFile(const std::string& path) {
    FileStamp s;
    Handle h(::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) return s;
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(h.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        ::GetFileType(h.get()) != FILE_TYPE_DISK) {
        return s;
    }
    s.exists = true;
    s.device = info.dwVolumeSerialNumber;
    s.inode = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    s.size = static_cast<std::int64_t>(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 |
                                       info.nFileSizeLow);
    s.mtimeNs = toNs(info.ftLastWriteTime);
    // The change time moves with renames and attribute changes too, as ctime does.
    if (::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof basic)) {
        s.ctimeNs = toNs(basic.ChangeTime.QuadPart);
    } else {
        s.ctimeNs = s.mtimeNs;
    }
    return s;
}

bool readWholeFile(const std::string& path, std::string& out) {
    Handle h(::CreateFileW(wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid() || ::GetFileType(h.get()) != FILE_TYPE_DISK) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h.get(), &size)) return false;
    out.clear();
    // One byte more than the size, so that the end shows as a read of 0 without growing.
    out.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == out.size()) out.resize(out.size() * 2);  // the file has grown meanwhile
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - got, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(h.get(), out.data() + got, want, &n, nullptr)) {
            out.clear();
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    out.resize(got);
    return true;
}

std::int64_t wallClockNs() {
    FILETIME t{};
    ::GetSystemTimePreciseAsFileTime(&t);
    return toNs(t);
}

bool saveFileAtomically(const std::string& path, std::string_view content, std::string* why) {
    const std::wstring target = wide(path);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    const bool exists = ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &attributes);
    if (exists) {
        if ((attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            setWhy(why, path + " is not a regular file", ERROR_DIRECTORY);
            return false;
        }
        if ((attributes.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 || refusedByFault(path)) {
            setWhy(why, "cannot write " + path, ERROR_ACCESS_DENIED);
            return false;
        }
    }

    const std::string folder = folderOf(path);
    const std::string temp = temporaryName(path);
    const std::wstring tempW = wide(temp);
    Handle h(refusedByFault(folder) ? INVALID_HANDLE_VALUE
                                    : ::CreateFileW(tempW.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        const DWORD error = ::GetLastError();
        // A writable file in a folder we may not create files in: rewrite it in place, as a
        // plain profile writer would (without the crash safety of the replacement).
        if (exists && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)) {
            return rewriteInPlace(path, content, why);
        }
        setWhy(why, "cannot create a file in " + folder, error);
        return false;
    }
    bool ok = writeAll(h.get(), content);
    DWORD error = 0;
    if (!ok) {
        error = ::GetLastError();
        setWhy(why, "cannot write " + temp, error);
    }
    if (ok && !::FlushFileBuffers(h.get())) {
        ok = false;
        error = ::GetLastError();
        setWhy(why, "cannot flush " + temp, error);
    }
    if (!h.close() && ok) {
        ok = false;
        error = ::GetLastError();
        setWhy(why, "cannot close " + temp, error);
    }
    if (ok && !::MoveFileExW(tempW.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
        setWhy(why, "cannot replace " + path, error);
    }
    if (!ok) {
        ::DeleteFileW(tempW.c_str());
        ::SetLastError(error);
        return false;
    }
    return true;
}

}  // namespace tabsend
