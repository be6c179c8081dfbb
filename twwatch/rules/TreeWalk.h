#pragma once

// The walk behind `twwatch --scan`: every file under a directory, pruned like the watcher prunes.

#include <functional>
#include <ostream>
#include <string>

namespace tw {

// Calls `onFile` with the absolute path of every entry under `root` that is not a directory (regular
// files, symlinks, and the odd FIFO, which the evaluator declines). Symbolic links to directories are
// not followed, so a link loop cannot trap the walk. Unreadable folders are reported on `diagnostics`
// and skipped. Returns false when `root` itself could not be read.
bool walkTree(const std::string& root, const std::function<void(std::string)>& onFile,
              std::ostream& diagnostics);

} // namespace tw
