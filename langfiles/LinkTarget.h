#pragma once
// Which file a write to a path replaces: a symbolic link is written through to its target.

#include <string>

namespace tabsend {

// The file that a write to `path` must replace: `path` itself, or, when `path` is a symbolic
// link (or a chain of them), the file the last link names, relative links taken from the
// folder of the link. A link whose target is missing gives that target (the write creates
// it). A chain that loops, or is longer than the system would follow, gives `path`, whose
// replacement then fails as before.
std::string replacementTarget(const std::string& path);

}  // namespace tabsend
