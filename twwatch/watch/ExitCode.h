#pragma once

// How twwatch ends, one meaning per code, so the application and scripts can tell "nothing wrong"
// from "the rules need fixing" from "called wrongly". `twwatch --help` and README.md list the same.

namespace tw {

enum class ExitCode : int {
    // Done: the watcher ended as asked (end of input, SIGTERM/SIGINT/SIGHUP, its output went away),
    // every scanned folder was walked, every rule file loaded.
    Ok = 0,
    // --check-rules: a rule file or a rule was refused, or no rule loaded at all.
    RulesRefused = 1,
    // Unknown or incomplete arguments.
    Usage = 2,
    // --scan: a folder could not be read; the others were still scanned and their matches printed.
    FolderUnreadable = 3,
    // The system refused what the work needs: the event loop could not be set up or failed
    // (signalfd, timerfd, eventfd, poll), or libyara did not start.
    SystemFailure = 4,
};

inline int exitStatus(ExitCode code)
{
    return static_cast<int>(code);
}

} // namespace tw
