#pragma once

// Rule names of the watcher's own "warning" lines. Failures are findings, not silence: whenever the
// watcher cannot see part of what it was asked to watch, it says which directory and why.

#include <string_view>

namespace tw::warnings {

inline constexpr std::string_view severity = "warning";

// The kernel's event queue overflowed; "path" is the root that was rescanned. Files changed during the
// gap are reported again with the change word "rescanned".
inline constexpr std::string_view queueOverflow = "watch_queue_overflow";
// The per-user inotify watch limit (fs.inotify.max_user_watches) is exhausted; "path" is the directory
// left unwatched, together with everything below it.
inline constexpr std::string_view watchLimit = "watch_limit_reached";
// The process or the system ran out of file descriptors while reading a directory.
inline constexpr std::string_view tooManyOpenFiles = "too_many_open_files";
// The directory cannot be read or watched with the watcher's permissions.
inline constexpr std::string_view permissionDenied = "permission_denied";
// Any other reason a directory could not be watched or read; "reason" carries the system's text.
inline constexpr std::string_view watchFailed = "watch_failed";
// A configured root is not a directory (a file, or a symlink, which is never followed).
inline constexpr std::string_view notADirectory = "not_a_directory";

// Maps an errno from inotify_add_watch/opendir to one of the rule names above.
std::string_view ruleForErrno(int error);

} // namespace tw::warnings
