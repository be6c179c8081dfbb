#pragma once

// Writes event lines: one JSON object per line, LF-terminated, each line handed to the kernel in one
// write() and never interleaved with another thread's line. The object always carries "path", "types",
// "rule" and "severity"; warning lines add "reason", a human-readable explanation. A rule's match adds
// "description" (the rule's own words) and "lines" (where in the file it matched) when it has them.
//
// File names are bytes on Linux, JSON text is UTF-8. A path that is not valid UTF-8 is written with each
// invalid byte replaced by U+FFFD in "path" (so the line still decodes and reads well) and, only then,
// its exact bytes base64-encoded in an extra key "pathBytes". Readers that know only the four keys
// ignore it; nothing about the name is lost. Optional keys come after the four, so a reader that looks
// only at the start of a line still finds them first.
//
// A write that fails (the reader has gone: EPIPE, or any other error) marks the writer failed, drops
// every later line and calls the failure handler once; the default handler ends the process quietly
// with status 0. SIGPIPE must be ignored by the caller (tw::ignoreSigpipe()).

#include "RuleEngine.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tw {

struct EventLine
{
    std::string path;
    std::vector<std::string> types;
    std::string rule;
    std::string severity;
    std::string reason;                 // written as "reason" when not empty
    std::string description{};          // written as "description" when not empty
    std::vector<std::uint32_t> lines{}; // written as "lines" when not empty
};

class EventWriter
{
public:
    explicit EventWriter(int fd = 1);

    // The line as written, LF included.
    static std::string format(const EventLine& line);

    // False once the writer has failed (the line was not written).
    bool write(const EventLine& line);
    bool write(const Change& change, const RuleMatch& match);
    // A "warning" line about `path` (a directory or a root), rule names in WarningRules.h.
    bool writeWarning(const std::string& path, std::string_view rule, const std::string& reason);

    bool failed() const { return m_failed.load(std::memory_order_relaxed); }
    // Replaces the default handler (quiet exit). Called once, from the thread whose write failed.
    void setFailureHandler(std::function<void()> handler);

private:
    bool writeAll(const std::string& bytes);

    int m_fd;
    std::mutex m_mutex;
    std::atomic<bool> m_failed{false};
    std::function<void()> m_onFailure;
};

// Makes a write to a closed pipe fail with EPIPE instead of killing the process.
void ignoreSigpipe();

} // namespace tw
