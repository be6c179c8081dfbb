#pragma once

// Directories that are pruned: never watched, never walked, never scanned. Pruning the watch (rather
// than filtering its events) is what keeps inotify watches and wake-ups for pure churn at zero.
//
// Pruned:
//   .git/objects, .git/lfs, and the same two inside .git/modules/<name>/ (submodules): content-addressed
//   stores that git rewrites constantly and that never hold anything executable by their own name.
//   Hooks, config, info/ and the rest of .git stay watched: that is where repository attacks land.
//
// node_modules is watched. Compromised packages and post-install droppers land there, and a
// dependency tree of tens of thousands of folders fits well inside the default watch limit (measured in
// bench/twwatch); when the limit is hit the watcher says so with a warning line instead of going quiet.

#include <string_view>

namespace tw {

// `parent` is the absolute path of the directory holding `name` (no trailing slash).
bool isPrunedDirectory(std::string_view parent, std::string_view name);

// Same, for a full absolute path.
bool isPrunedDirectory(std::string_view path);

} // namespace tw
