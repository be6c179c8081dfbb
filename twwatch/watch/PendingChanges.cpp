#include "PendingChanges.h"

#include <algorithm>

namespace tw {
namespace {

constexpr std::array<std::string_view, 6> knownWords{words::created, words::modified, words::attributes,
                                                     words::moved,   words::deleted,  words::rescanned};

// The code of a change word, or -1 for a word this watcher never produces.
int codeOf(std::string_view word)
{
    for (size_t i = 0; i < knownWords.size(); ++i) {
        if (knownWords[i] == word)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

std::vector<std::string> PendingChanges::wordsOf(const Entry& entry)
{
    std::vector<std::string> out;
    out.reserve(entry.wordCount);
    for (size_t i = 0; i < entry.wordCount; ++i)
        out.emplace_back(knownWords[entry.words[i]]);
    return out;
}

PendingChanges::Clock::time_point PendingChanges::dueTime(const Entry& entry, Clock::time_point last) const
{
    const auto quiet = last + (entry.writing ? m_timing.writingQuiet : m_timing.settle);
    return std::min(quiet, entry.first + m_timing.maxDelay);
}

bool PendingChanges::note(const std::string& path, std::string_view word, Writing writing,
                          Clock::time_point now, bool urgent)
{
    auto it = m_entries.find(path);
    if (it == m_entries.end()) {
        // Urgent paths may use a quarter more, so that a flood of them is bounded too.
        if (m_entries.size() >= (urgent ? m_capacity + m_capacity / 4 : m_capacity))
            return false;
        it = m_entries.try_emplace(path).first;
        it->second.first = now;
        it->second.urgent = urgent;
    } else {
        dueOf(it->second).erase(it->second.due);
    }
    Entry& entry = it->second;
    const int code = codeOf(word);
    const auto used = entry.words.begin() + entry.wordCount;
    if (code >= 0 && entry.wordCount < maxWords && std::find(entry.words.begin(), used, code) == used)
        entry.words[entry.wordCount++] = static_cast<uint8_t>(code);
    if (writing == Writing::Started)
        entry.writing = true;
    else if (writing == Writing::Finished)
        entry.writing = false;
    entry.due = dueOf(entry).emplace(dueTime(entry, now), &it->first);
    return true;
}

std::optional<std::vector<std::string>> PendingChanges::take(const std::string& path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return std::nullopt;
    dueOf(it->second).erase(it->second.due);
    auto words = wordsOf(it->second);
    m_entries.erase(it);
    return words;
}

bool PendingChanges::hasWord(const std::string& path, std::string_view word) const
{
    const auto it = m_entries.find(path);
    const int code = codeOf(word);
    if (it == m_entries.end() || code < 0)
        return false;
    const auto used = it->second.words.begin() + it->second.wordCount;
    return std::find(it->second.words.begin(), used, code) != used;
}

std::vector<Change> PendingChanges::takeDue(Clock::time_point now, size_t limit)
{
    std::vector<Change> due;
    for (DueMap* map : {&m_urgentDue, &m_due}) {
        while (due.size() < limit && !map->empty() && map->begin()->first <= now) {
            const auto it = m_entries.find(*map->begin()->second);
            due.push_back(Change{it->first, wordsOf(it->second), it->second.urgent});
            map->erase(map->begin());
            m_entries.erase(it);
        }
    }
    return due;
}

std::optional<PendingChanges::Clock::time_point> PendingChanges::nextDue() const
{
    if (m_due.empty() && m_urgentDue.empty())
        return std::nullopt;
    if (m_due.empty() || m_urgentDue.empty())
        return (m_due.empty() ? m_urgentDue : m_due).begin()->first;
    return std::min(m_due.begin()->first, m_urgentDue.begin()->first);
}

} // namespace tw
