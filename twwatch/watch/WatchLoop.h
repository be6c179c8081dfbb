#pragma once

// The watcher's main loop: one thread polls standard input (configuration messages), the inotify
// descriptor, a timer for changes that have settled, and a signal descriptor; worker threads evaluate.
// There is no periodic wake-up: while nothing happens, the process sleeps in poll().
//
// It ends with ExitCode::Ok on the events below (SystemFailure when the loop cannot be set up or fails):
//   - end of standard input (the application has gone), unless standard output is a terminal: then a
//     person runs it by hand (printf '/dir\n\n' | twwatch) and ends it with Ctrl-C;
//   - SIGTERM, SIGINT or SIGHUP;
//   - standard output failing or its reader going away (a failed write, or the pipe reporting an error
//     while idle), quietly.

#include "PendingChanges.h"
#include "RuleEngine.h"

namespace tw {

class EventWriter;

struct WatchOptions
{
    PendingChanges::Timing timing;
    unsigned threads = 0; // 0: WorkerPool::defaultThreadCount()
    // Changes kept waiting at most (urgent ones have a quarter more); past it, folders are rescanned.
    size_t pendingLimit = PendingChanges::defaultCapacity;
    // How far before the remembered moment a catch-up looks (WatchState.h).
    long long stateMarginNs = 2'000'000'000LL;
    int inputFd = 0;
    int outputFd = 1;
};

int runWatcher(const RuleEngine& engine, EventWriter& writer, const WatchOptions& options);

} // namespace tw
