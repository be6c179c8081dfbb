#include "PendingChanges.h"

#include <algorithm>

namespace tw {

PendingChanges::Clock::time_point PendingChanges::dueTime(const Entry& entry, Clock::time_point last) const
{
    const auto quiet = last + (entry.writing ? m_timing.writingQuiet : m_timing.settle);
    return std::min(quiet, entry.first + m_timing.maxDelay);
}

void PendingChanges::note(const std::string& path, std::string_view word, Writing writing,
                          Clock::time_point now)
{
    auto [it, inserted] = m_entries.try_emplace(path);
    Entry& entry = it->second;
    if (inserted)
        entry.first = now;
    else
        m_due.erase(entry.due);
    if (!word.empty() && std::find(entry.words.begin(), entry.words.end(), word) == entry.words.end())
        entry.words.emplace_back(word);
    if (writing == Writing::Started)
        entry.writing = true;
    else if (writing == Writing::Finished)
        entry.writing = false;
    entry.due = m_due.emplace(dueTime(entry, now), path);
}

std::optional<std::vector<std::string>> PendingChanges::take(const std::string& path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return std::nullopt;
    m_due.erase(it->second.due);
    auto words = std::move(it->second.words);
    m_entries.erase(it);
    return words;
}

bool PendingChanges::hasWord(const std::string& path, std::string_view word) const
{
    const auto it = m_entries.find(path);
    return it != m_entries.end() &&
           std::find(it->second.words.begin(), it->second.words.end(), word) != it->second.words.end();
}

std::vector<Change> PendingChanges::takeDue(Clock::time_point now)
{
    std::vector<Change> due;
    while (!m_due.empty() && m_due.begin()->first <= now) {
        const auto it = m_entries.find(m_due.begin()->second);
        due.push_back(Change{it->first, std::move(it->second.words)});
        m_entries.erase(it);
        m_due.erase(m_due.begin());
    }
    return due;
}

std::optional<PendingChanges::Clock::time_point> PendingChanges::nextDue() const
{
    if (m_due.empty())
        return std::nullopt;
    return m_due.begin()->first;
}

} // namespace tw
