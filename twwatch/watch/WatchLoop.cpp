#include "WatchLoop.h"

#include "ConfigReader.h"
#include "EventWriter.h"
#include "ExitCode.h"
#include "Fd.h"
#include "WarningRules.h"
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
    if (signalFd.get() < 0 || timerFd.get() < 0 || wakeFd.get() < 0) {
        std::cerr << "twwatch: cannot set up the event loop\n";
        return exitStatus(ExitCode::SystemFailure);
    }
    writer.setFailureHandler([fd = wakeFd.get()] {
        const uint64_t one = 1;
        [[maybe_unused]] const auto ignored = ::write(fd, &one, sizeof one);
    });

    PendingChanges pending(options.timing);
    WorkerPool pool(engine, writer, options.threads ? options.threads : WorkerPool::defaultThreadCount());
    // Warnings are written by the workers too, so that this thread never blocks on a full output pipe.
    WatchTree tree(
        pending, [&pool](const std::string& path, std::string_view rule, const std::string& reason) {
            pool.submit(EventLine{path, {}, std::string(rule), std::string(warnings::severity), reason});
        });
    ConfigReader reader;

    const bool stayAfterEof = isatty(options.outputFd);
    bool inputOpen = true;
    enum Slot { Input, Inotify, Signal, Timer, Wake, Output, SlotCount };
    std::array<pollfd, SlotCount> fds{};
    fds[Input] = {options.inputFd, POLLIN, 0};
    fds[Inotify] = {tree.fd(), POLLIN, 0};
    fds[Signal] = {signalFd.get(), POLLIN, 0};
    fds[Timer] = {timerFd.get(), POLLIN, 0};
    fds[Wake] = {wakeFd.get(), POLLIN, 0};
    // Asking for no event still reports POLLERR when the reader of a pipe has gone.
    fds[Output] = {stayAfterEof ? -1 : options.outputFd, 0, 0};

    ExitCode status = ExitCode::Ok;
    bool running = true;
    while (running) {
        fds[Input].fd = inputOpen ? options.inputFd : -1;
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            std::cerr << "twwatch: poll failed\n";
            status = ExitCode::SystemFailure;
            break;
        }
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
                                  << line << '\n';
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
        pool.submit(pending.takeDue(PendingChanges::Clock::now()));
        armTimer(timerFd.get(), pending.nextDue());
    }
    // The reader may be alive but no longer reading: a worker blocked on a full pipe must not keep the
    // watcher from ending.
    if (!pool.stop(std::chrono::seconds(1)))
        std::_Exit(exitStatus(status));
    writer.setFailureHandler([] {});
    return exitStatus(status);
}

} // namespace tw
