#pragma once

// Changes waiting for their writer to finish. Every path collects the change words seen for it until it
// has been quiet long enough, and is then handed out once, as one `Change`:
//   - a file that is not open for writing (its last write was followed by close-after-write, or it only
//     had attribute changes, renames or deletion) is due `settle` after its last event (100 ms);
//   - a file still open for writing (created or written, no close yet) is due after `writingQuiet` (2 s)
//     without events, so a writer that keeps its file open is still evaluated;
//   - nothing waits longer than `maxDelay` (10 s) after its first event, so a file that is written
//     continuously (a log) is still evaluated now and then.
//
// Memory is bounded: past `capacity` paths a new path is refused (note() returns false) and the caller
// must find it again later by rescanning its folder. Urgent paths (hooks, config, manifests) have a
// reserve of their own on top, so a bulk of ordinary files never crowds them out, and they are handed
// out before any ordinary change that is due.

#include "RuleEngine.h"

#include <array>
#include <chrono>
#include <cstddef>
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

    static constexpr size_t defaultCapacity = 32768;

    PendingChanges() = default;
    explicit PendingChanges(Timing timing, size_t capacity = defaultCapacity)
        : m_timing(timing)
        , m_capacity(capacity)
    {
    }

    // Adds `word` (if not empty and not yet present) to the path's words and restarts its quiet period.
    // Words outside tw::words are not kept. False when the path is new and there is no room for it.
    bool note(const std::string& path, std::string_view word, Writing writing, Clock::time_point now,
              bool urgent = false);
    // Removes the path and returns its words (used when a file is renamed away before it settled).
    std::optional<std::vector<std::string>> take(const std::string& path);
    bool contains(const std::string& path) const { return m_entries.count(path) != 0; }
    bool hasWord(const std::string& path, std::string_view word) const;

    // At most `limit` changes whose time has come: urgent ones first, then the rest, each oldest first.
    std::vector<Change> takeDue(Clock::time_point now, size_t limit = SIZE_MAX);
    std::optional<Clock::time_point> nextDue() const;
    size_t size() const { return m_entries.size(); }
    // No room for another ordinary path.
    bool full() const { return m_entries.size() >= m_capacity; }

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
        bool urgent = false;
    };
    static std::vector<std::string> wordsOf(const Entry& entry);

    Clock::time_point dueTime(const Entry& entry, Clock::time_point last) const;

    DueMap& dueOf(const Entry& entry) { return entry.urgent ? m_urgentDue : m_due; }

    Timing m_timing;
    size_t m_capacity = defaultCapacity;
    std::unordered_map<std::string, Entry> m_entries;
    DueMap m_due;
    DueMap m_urgentDue;
};

} // namespace tw
