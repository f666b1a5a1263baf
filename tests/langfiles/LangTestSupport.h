#pragma once
// Helpers for the language-file tests: a scratch folder, whole-file read and write, and a
// builder for small language source files.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "langfiles/FileIo.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tabsend::testkit {

// A fresh folder in the system's temporary folder, removed with everything in it at the end
// of the test (also when the test left read-only files or folders behind).
class TempDir {
  public:
    TempDir() {
        namespace fs = std::filesystem;
        std::random_device seed;
        std::mt19937_64 rng((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
        const fs::path base = fs::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path p = base / ("langfiles-test-" + std::to_string(rng() % 1000000000));
            std::error_code ec;
            if (fs::create_directory(p, ec)) {
                path_ = p.generic_string();
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder in " + base.string());
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(path_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code ignored;
            fs::permissions(it->path(), fs::perms::owner_read | fs::perms::owner_write,
                            fs::perm_options::add, ignored);
        }
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of everything in the folder.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(path_, ec)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

  private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// "0x00,0x01,..." with n values.
inline std::string hexList(int n, int start = 0) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < n; ++i) {
        const int v = (start + i) & 0xFF;
        if (i != 0) out += ',';
        out += "0x";
        out += kHex[v >> 4];
        out += kHex[v & 0x0F];
    }
    return out;
}

// A language source file built key by key. Strings get a well-formed bitmap of their length
// unless a raw value is given.
class SourceBuilder {
  public:
    SourceBuilder& info(const std::string& key, const std::string& value) {
        info_ += key + "=" + value + "\r\n";
        return *this;
    }
    SourceBuilder& header(const std::string& language, const std::string& version,
                          const std::string& code, const std::string& strNum) {
        return info("Language", language)
            .info("LanVer", version)
            .info("LanCode", code)
            .info("StrNum", strNum);
    }
    SourceBuilder& str(int i, int len, int dispLine) {
        return raw(i, std::to_string(len), std::to_string(dispLine), hexList(len, i));
    }
    SourceBuilder& raw(int i, const std::string& len, const std::string& dispLine,
                       const std::string& array) {
        const std::string n = std::to_string(i);
        strings_ += "Str" + n + "BMLen=" + len + "\r\n";
        strings_ += "Str" + n + "BMDispLine=" + dispLine + "\r\n";
        strings_ += "Str" + n + "BMArray=" + array + "\r\n";
        return *this;
    }
    SourceBuilder& line(const std::string& text) {
        strings_ += text + "\r\n";
        return *this;
    }
    std::string text() const { return "[Laninfo]\r\n" + info_ + "[LanStrcodeBM]\r\n" + strings_; }
    void writeTo(const std::string& path) const { writeFile(path, text()); }

  private:
    std::string info_;
    std::string strings_;
};

// A source file of n strings with the given lengths repeating, display line 1.
inline std::string simpleSource(const std::string& language, const std::string& version, int code,
                                const std::vector<int>& lengths) {
    SourceBuilder b;
    b.header(language, version, std::to_string(code), std::to_string(lengths.size()));
    for (std::size_t i = 0; i < lengths.size(); ++i) b.str(static_cast<int>(i), lengths[i], 1);
    return b.text();
}

// Lets no file written by saveFileAtomically grow beyond `bytes` while it lives: its writes
// fail there as on a full disk (through the file-system fault seam, so on every platform).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(std::int64_t bytes) : old_(fileSystemFaults().fileSizeLimit) {
        fileSystemFaults().fileSizeLimit = bytes;
    }
    ~FileSizeLimit() { fileSystemFaults().fileSizeLimit = old_; }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    std::int64_t old_;
};

// Makes a file or a folder read-only for the file functions while it lives, as it is for an
// ordinary user (root writes anything on Linux): a read-only file is not written, in a
// read-only folder no file is created. Paths as the code under test is given them.
class ReadOnly {
  public:
    explicit ReadOnly(std::string path) : path_(std::move(path)) {
        fileSystemFaults().readOnly.push_back(path_);
    }
    ~ReadOnly() {
        auto& ro = fileSystemFaults().readOnly;
        for (auto it = ro.begin(); it != ro.end(); ++it) {
            if (*it == path_) {
                ro.erase(it);
                break;
            }
        }
    }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;

  private:
    std::string path_;
};

#ifndef _WIN32
// Runs `check` with the rights of an ordinary user: in a child process that gives up root
// when the tests run as root (root writes read-only files and folders). True when the
// check passed. POSIX only: the tests of real file modes use it.
inline bool asOrdinaryUser(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

}  // namespace tabsend::testkit
