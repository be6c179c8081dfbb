#pragma once

// Runs the real twwatch binary for a test: a private $XDG_CONFIG_HOME with the test's own rules, the
// configuration written to its standard input, every output line collected and decoded on a reader
// thread. Everything it starts is ended by pid when the object goes; a failed test gets its log then.

#include "TestSupport.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <signal.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tw::test {

struct WatchLine
{
    std::string raw;
    std::string path;
    std::vector<std::string> types;
    std::string rule;
    std::string severity;
    std::string reason;
    std::string description;
    std::vector<std::uint32_t> lines;
    bool decoded = false; // false when the line is not a whole event

    bool hasType(std::string_view word) const { return std::ranges::find(types, word) != types.end(); }
};

WatchLine decodeWatchLine(std::string raw);

// Matches every change, so every evaluated change produces exactly one line with this rule.
inline constexpr const char* matchEverything = "match_everything";

struct WatcherSetup
{
    // YARA rule files written to $XDG_CONFIG_HOME/tarnwick/rules/ (file name, text).
    std::vector<std::pair<std::string, std::string>> rules{
        {"everything.yar", "rule match_everything { meta: severity = \"warning\" condition: true }\n"}};
    bool asNobody = false; // when the tests run as root: the watcher runs as nobody (permission tests)
    std::filesystem::path stateHome; // $XDG_STATE_HOME; empty: a private one
};

class Watcher
{
public:
    explicit Watcher(WatcherSetup setup = {});
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // One configuration message: the paths, each ended by LF, then an empty line.
    void send(const std::vector<std::filesystem::path>& roots);
    // send(), then sync() in the first root: true once everything sent is set up.
    bool watch(const std::vector<std::filesystem::path>& roots)
    {
        send(roots);
        return sync(roots.front());
    }
    void sendRaw(const std::string& bytes);
    void closeInput() { ::close(std::exchange(m_child.in, -1)); }
    void closeOutput();                      // the application has gone
    void pauseReading() { m_paused = true; } // for good: the application hangs, the pipe fills up
    // True when one of the watcher's threads sleeps in a write to the full output pipe.
    bool blockedWriting() const;

    // Writes probes into the watched `dir` until one is reported: all sent before is set up by then.
    bool sync(const std::filesystem::path& dir);

    std::vector<WatchLine> lines() const;
    std::vector<WatchLine> linesFor(const std::string& path, const std::string& rule = matchEverything) const;
    bool waitForLine(const std::function<bool(const WatchLine&)>& match,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    bool waitForPaths(const std::set<std::string>& paths,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30),
                      const std::string& rule = matchEverything) const;
    bool sees(const std::filesystem::path& path) const { return waitForPaths({path.string()}); }
    bool waitForWord(const std::filesystem::path& path, std::string_view word,
                     const std::string& rule = matchEverything) const
    {
        return waitForLine(
            [&](const WatchLine& l) { return l.path == path.string() && l.rule == rule && l.hasType(word); });
    }

    // Exit status (or 128 + signal) once the process has ended, or nothing if it has not by then.
    std::optional<int> waitExit(std::chrono::milliseconds timeout);
    void signal(int sig) const { ::kill(m_child.pid, sig); }
    const std::filesystem::path& configHome() const { return m_config.path(); }
    std::string errors() const { return readFile(m_config / "stderr.log"); }
    std::string log() const; // standard error and the last output lines

private:
    void readOutput();

    TempDir m_config;
    Child m_child;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<WatchLine> m_lines;
    std::optional<int> m_status;
    unsigned m_probe = 0;
    std::atomic<bool> m_paused{false};
};

// Creates `count` files named f<i> with a little content under `dir`; returns their paths.
std::set<std::string> makeFiles(const std::filesystem::path& dir, int count);

// Runs a shell command line (for tools such as git and mv); fails the test when it fails.
void shell(const std::string& command, const std::filesystem::path& cwd = {});

} // namespace tw::test
