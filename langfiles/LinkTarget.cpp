#include "langfiles/LinkTarget.h"

#include <filesystem>
#include <system_error>

namespace tabsend {

std::string replacementTarget(const std::string& path) {
    namespace fs = std::filesystem;
    constexpr int kMaxLinks = 40;  // what the system follows before giving up (ELOOP)
    fs::path current(path);
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) return current.string();
        fs::path target = fs::read_symlink(current, ec);
        if (ec) return path;
        if (target.is_relative()) target = current.parent_path() / target;
        current = target.lexically_normal();
    }
    return path;
}

}  // namespace tabsend
