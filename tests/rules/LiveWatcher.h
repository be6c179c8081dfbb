#pragma once

// The real twwatch in watching mode: the roots written to its standard input, its event lines read on
// a thread. A user rule matching files named "probe.live" lets a test learn when the watcher is ready.
// The process is ended by pid when the object goes.

#include "ScanRunner.h"

#include <mutex>
#include <sys/types.h>
#include <thread>

namespace tw::test {

class LiveWatcher
{
public:
    // $XDG_CONFIG_HOME must already point at `configHome`; the probe rule is written there.
    explicit LiveWatcher(const std::filesystem::path& configHome);
    ~LiveWatcher();
    LiveWatcher(const LiveWatcher&) = delete;
    LiveWatcher& operator=(const LiveWatcher&) = delete;

    void watch(const std::filesystem::path& root);
    // Creates probe files in `dir` until one is reported: everything sent before is then set up.
    bool sync(const std::filesystem::path& dir);
    std::vector<Event> events() const;
    std::vector<Event> eventsFor(const std::filesystem::path& path, const std::string& rule) const;
    bool waitFor(const std::filesystem::path& path, const std::string& rule,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    std::string errors() const;

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::string m_stdout;
    std::string m_stderr;
    int m_probes = 0;
};

} // namespace tw::test
