#pragma once

// Up to when each root was watched, kept across runs so that a watcher that starts again catches up on
// what changed while none ran. One small file per root in $XDG_STATE_HOME/tarnwick/
// (~/.local/state/tarnwick/), named after a hash of the root's path:
//
//     twwatch-state 1
//     <nanoseconds since the epoch, CLOCK_REALTIME>
//     <the root's path>
//
// The moment is one at which every change in the root that came before it had been evaluated. A root
// with a good record is audited only for files whose status changed (ctime, which no program can set
// back) at or after that moment minus a margin, reported "rescanned"; any other root gets the full
// audit ("existing"). A file is replaced atomically (written beside it, then renamed over it).

#include "WatchTree.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tw {

class WatchState
{
public:
    // Status-change times are taken from a coarse clock, and an event can reach the watcher a moment
    // after the change: this much before the recorded moment is looked at again.
    static constexpr long long defaultMarginNs = 2'000'000'000LL;

    // `dir` empty: nothing is remembered, every root gets the full audit.
    WatchState(std::filesystem::path dir, std::ostream& notes, long long marginNs = defaultMarginNs);

    // $XDG_STATE_HOME/tarnwick, or ~/.local/state/tarnwick; empty when neither variable is usable.
    static std::filesystem::path defaultDir();
    static std::string fileName(const std::string& root);

    // The audit a newly added root needs. A record that cannot be read or makes no sense is noted on
    // `notes`; no record at all is a root never watched before.
    WatchTree::AuditStart planFor(const std::string& root);

    // Records `untilNs` for each root. A failure is noted once and costs only the catch-up.
    void record(const std::vector<std::string>& roots, long long untilNs);

private:
    std::filesystem::path m_dir;
    std::ostream& m_notes;
    long long m_marginNs;
    bool m_warnedWrite = false;
};

} // namespace tw
