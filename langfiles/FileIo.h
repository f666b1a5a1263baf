#pragma once
// Whole-file reading and crash-safe replacement of a file, and the identity stamp by which
// the INI cache tells a changed file from an unchanged one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabsend {

// What stat() tells about a file: enough to notice any change made through the file system
// (a rewrite in place changes size or times, a replacement changes the inode).
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;  // modification time, nanoseconds since the epoch
    std::int64_t ctimeNs = 0;  // status change time, nanoseconds since the epoch
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of a regular file; exists is false for a missing file or anything else.
FileStamp statFile(const std::string& path);

// Reads the whole regular file. False when it is missing, not a regular file or unreadable.
bool readWholeFile(const std::string& path, std::string& out);

// Nanoseconds since the epoch on the clock the file system stamps files with.
std::int64_t wallClockNs();

// Replaces the file at path with content so that a crash or a failed write never leaves a
// half-written file: the content goes to a temporary file in the same folder, is flushed to
// disk and then renamed over path. The folder must exist. A file that exists and is not
// writable is not replaced (as a plain writer could not open it either). A writable file in
// a folder where no file may be created is rewritten in place, as a plain writer would, but
// without the crash safety. On failure the old file is untouched (apart from a failure in
// the middle of such an in-place rewrite), the temporary file removed, and false returned
// (why: the reason).
bool saveFileAtomically(const std::string& path, std::string_view content,
                        std::string* why = nullptr);

// Faults of the file system that the tests make on every platform alike (root may write
// anything on Linux, and Windows has neither file size limits nor folder modes): writes
// fail as on a full disk, files and folders refuse to be written as read-only ones do for an
// ordinary user. Empty in the program.
struct FileSystemFaults {
    // A file written by saveFileAtomically cannot grow beyond this many bytes: the write
    // fails there, as on a full disk. Negative: no limit.
    std::int64_t fileSizeLimit = -1;
    // Paths exactly as given to saveFileAtomically (a file) or its folder part (a folder):
    // such a file is not writable, in such a folder no file can be created.
    std::vector<std::string> readOnly;
};
FileSystemFaults& fileSystemFaults();

}  // namespace tabsend
