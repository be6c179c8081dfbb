#include "WatchLoop.h"

#include "ConfigReader.h"
#include "EventWriter.h"
#include "ExitCode.h"
#include "Fd.h"
#include "Utf8.h"
#include "WarningRules.h"
#include "WatchState.h"
#include "WatchTree.h"
#include "WorkerPool.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace tw {
namespace {

void armTimer(int timerFd, std::optional<PendingChanges::Clock::time_point> due)
{
    itimerspec dueAt = {};
    if (due) {
        const auto left =
            std::max(*due - PendingChanges::Clock::now(), PendingChanges::Clock::duration(1000));
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        dueAt.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
        dueAt.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    timerfd_settime(timerFd, 0, &dueAt, nullptr);
}

// Folder entries listed per turn of the loop, between reads of the event queue.
constexpr size_t scanSlice = 4096;

// The watch state is written at quiet moments no more often than this (and at exit).
constexpr auto stateInterval = std::chrono::seconds(5);

long long realtimeNs()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

void drain(int fd)
{
    uint64_t value;
    while (::read(fd, &value, sizeof value) > 0) {
    }
}

} // namespace

int runWatcher(const RuleEngine& engine, EventWriter& writer, const WatchOptions& options)
{
    // Blocked before any worker starts, so that only the signal descriptor ever sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    Fd signalFd(signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
    Fd timerFd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    Fd wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    Fd poolFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (signalFd.get() < 0 || timerFd.get() < 0 || wakeFd.get() < 0 || poolFd.get() < 0) {
        std::cerr << "twwatch: cannot set up the event loop\n";
        return exitStatus(ExitCode::SystemFailure);
    }
    writer.setFailureHandler([fd = wakeFd.get()] {
        const uint64_t one = 1;
        [[maybe_unused]] const auto ignored = ::write(fd, &one, sizeof one);
    });

    PendingChanges pending(options.timing, options.pendingLimit);
    WorkerPool pool(engine, writer, options.threads ? options.threads : WorkerPool::defaultThreadCount(),
                    [fd = poolFd.get()] {
                        const uint64_t one = 1;
                        [[maybe_unused]] const auto ignored = ::write(fd, &one, sizeof one);
                    });
    // Warnings are written by the workers too, so that this thread never blocks on a full output pipe.
    WatchTree tree(
        pending, [&pool](const std::string& path, std::string_view rule, const std::string& reason) {
            pool.submit(EventLine{path, {}, std::string(rule), std::string(warnings::severity), reason});
        });
    ConfigReader reader;
    WatchState state(WatchState::defaultDir(), std::cerr, options.stateMarginNs);
    tree.setAuditPlan([&state](const std::string& root) { return state.planFor(root); });
    // The last quiet moment: everything that happened before it had been evaluated.
    long long quietNs = 0;
    long long writtenNs = 0;
    long long lastTurnNs = 0; // the start of the last turn that ran to its end
    std::vector<std::string> quietRoots;
    std::chrono::steady_clock::time_point writtenAt;

    const bool stayAfterEof = isatty(options.outputFd);
    bool inputOpen = true;
    enum Slot { Input, Inotify, Signal, Timer, Wake, Output, Pool, SlotCount };
    std::array<pollfd, SlotCount> fds{};
    fds[Input] = {options.inputFd, POLLIN, 0};
    fds[Inotify] = {tree.fd(), POLLIN, 0};
    fds[Signal] = {signalFd.get(), POLLIN, 0};
    fds[Timer] = {timerFd.get(), POLLIN, 0};
    fds[Wake] = {wakeFd.get(), POLLIN, 0};
    // Asking for no event still reports POLLERR when the reader of a pipe has gone.
    fds[Output] = {stayAfterEof ? -1 : options.outputFd, 0, 0};
    fds[Pool] = {poolFd.get(), POLLIN, 0};

    ExitCode status = ExitCode::Ok;
    bool running = true;
    bool moreScans = false;
    while (running) {
        fds[Input].fd = inputOpen ? options.inputFd : -1;
        // Folders still to be listed go on as soon as nothing else is waiting.
        if (::poll(fds.data(), fds.size(), moreScans ? 0 : -1) < 0) {
            if (errno == EINTR)
                continue;
            std::cerr << "twwatch: poll failed\n";
            status = ExitCode::SystemFailure;
            break;
        }
        // Taken before the inotify queue is read: whatever changed earlier is in it or already handled.
        const long long turnNs = realtimeNs();
        if (fds[Signal].revents || fds[Wake].revents ||
            (fds[Output].revents & (POLLERR | POLLHUP | POLLNVAL)))
            break;
        if (fds[Input].revents) {
            char buffer[16 * 1024];
            const ssize_t n = ::read(options.inputFd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
                if (!stayAfterEof)
                    break;
                inputOpen = false;
            } else if (n > 0) {
                auto messages = reader.feed(std::string_view(buffer, static_cast<size_t>(n)));
                for (const auto& message : messages) {
                    for (const auto& line : message.rejected)
                        std::cerr << "twwatch: ignoring configuration line that is not an absolute path: "
                                  << escapeForTerminal(line) << '\n';
                }
                // Each message replaces the whole set, so only the newest of a batch matters.
                if (!messages.empty())
                    tree.setRoots(messages.back().paths);
            }
        }
        if (fds[Inotify].revents)
            tree.handleEvents();
        if (fds[Timer].revents)
            drain(timerFd.get());
        if (fds[Pool].revents)
            drain(poolFd.get());
        tree.retryLater(pool.takeRetries());
        tree.continueScans(scanSlice);
        // The workers' queue is bounded: what does not fit stays pending (bounded too) until they call.
        const size_t room = pool.room();
        auto due = pending.takeDue(PendingChanges::Clock::now(), room);
        const bool filled = due.size() == room;
        pool.submit(std::move(due));
        if (filled)
            pool.wantRoom();
        armTimer(timerFd.get(), filled ? std::nullopt : pending.nextDue());
        moreScans = tree.hasScanWork() && !pending.full();
        // Audits last: only what the audit lane has room for, and on again once it has drained to half.
        if (tree.hasAuditWork()) {
            pool.submitAudit(tree.continueAudits(scanSlice, pool.auditRoom()));
            if (tree.hasAuditWork()) {
                // In batches of half the lane, so that the loop does not turn once per audited file.
                if (pool.auditRoom() >= WorkerPool::auditCapacity / 2)
                    moreScans = true;
                else
                    pool.wantAuditRoom();
            }
        }
        if (!moreScans && !tree.hasScanWork() && !tree.hasAuditWork() && pending.size() == 0) {
            if (pool.idle()) {
                quietNs = turnNs;
                quietRoots = tree.auditedRoots();
                const auto now = std::chrono::steady_clock::now();
                if (writtenNs == 0 || now - writtenAt >= stateInterval) {
                    state.record(quietRoots, quietNs);
                    writtenNs = quietNs;
                    writtenAt = now;
                }
            } else {
                // The workers call once they are through, so that the quiet moment is seen then.
                pool.wantIdle();
            }
        }
        lastTurnNs = turnNs;
    }
    // Nothing left but the evaluations under way, which stop() lets finish: the end is a quiet moment.
    const bool drained =
        pending.size() == 0 && !tree.hasScanWork() && !tree.hasAuditWork() && pool.nothingQueued();
    // The reader may be alive but no longer reading: a worker blocked on a full pipe must not keep the
    // watcher from ending.
    const bool stopped = pool.stop(std::chrono::seconds(1));
    if (stopped && drained) {
        quietNs = lastTurnNs;
        quietRoots = tree.auditedRoots();
    }
    if (quietNs > writtenNs)
        state.record(quietRoots, quietNs);
    if (!stopped)
        std::_Exit(exitStatus(status));
    writer.setFailureHandler([] {});
    return exitStatus(status);
}

} // namespace tw
