#pragma once
// Helpers for the language-file tests: a scratch folder, whole-file read and write, and a
// builder for small language source files.

#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tabsend::testkit {

// A fresh folder under /tmp, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = "/tmp/langfiles-test-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        const std::string cmd =
            "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
        [[maybe_unused]] const int rc = std::system(cmd.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of everything in the folder, "." and ".." left out.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(path_.c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(d);
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

// Lets no file of this process grow beyond `bytes` while it lives: writes fail as on a full
// disk (EFBIG; the signal that would end the process is ignored).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Runs `check` with the rights of an ordinary user: in a child process that gives up root
// when the tests run as root (root writes read-only files and folders). True when the
// check passed.
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

}  // namespace tabsend::testkit
