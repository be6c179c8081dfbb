#pragma once

// Changes waiting for their writer to finish. Every path collects the change words seen for it until it
// has been quiet long enough, and is then handed out once, as one `Change`:
//   - a file that is not open for writing (its last write was followed by close-after-write, or it only
//     had attribute changes, renames or deletion) is due `settle` after its last event (100 ms);
//   - a file still open for writing (created or written, no close yet) is due after `writingQuiet` (2 s)
//     without events, so a writer that keeps its file open is still evaluated;
//   - nothing waits longer than `maxDelay` (10 s) after its first event, so a file that is written
//     continuously (a log) is still evaluated now and then.

#include "RuleEngine.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw {

class PendingChanges
{
public:
    using Clock = std::chrono::steady_clock;

    struct Timing
    {
        std::chrono::milliseconds settle{100};
        std::chrono::milliseconds writingQuiet{2000};
        std::chrono::milliseconds maxDelay{10000};
    };

    enum class Writing { Unchanged, Started, Finished };

    PendingChanges() = default;
    explicit PendingChanges(Timing timing)
        : m_timing(timing)
    {
    }

    // Adds `word` (if not empty and not yet present) to the path's words and restarts its quiet period.
    // Words outside tw::words are not kept.
    void note(const std::string& path, std::string_view word, Writing writing, Clock::time_point now);
    // Removes the path and returns its words (used when a file is renamed away before it settled).
    std::optional<std::vector<std::string>> take(const std::string& path);
    bool contains(const std::string& path) const { return m_entries.count(path) != 0; }
    bool hasWord(const std::string& path, std::string_view word) const;

    // Every change whose time has come, oldest first.
    std::vector<Change> takeDue(Clock::time_point now);
    std::optional<Clock::time_point> nextDue() const;
    size_t size() const { return m_entries.size(); }

private:
    // A storm leaves a hundred thousand paths waiting at once: an entry keeps its words as small codes
    // and the deadline index points at the map's own key instead of copying the path.
    using DueMap = std::multimap<Clock::time_point, const std::string*>;
    static constexpr size_t maxWords = 8;
    struct Entry
    {
        Clock::time_point first;
        DueMap::iterator due;
        std::array<uint8_t, maxWords> words{};
        uint8_t wordCount = 0;
        bool writing = false;
    };
    static std::vector<std::string> wordsOf(const Entry& entry);

    Clock::time_point dueTime(const Entry& entry, Clock::time_point last) const;

    Timing m_timing;
    std::unordered_map<std::string, Entry> m_entries;
    DueMap m_due;
};

} // namespace tw
