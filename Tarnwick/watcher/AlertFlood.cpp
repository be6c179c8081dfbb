#include "AlertFlood.h"

#include "records/Severity.h"

AlertFlood::AlertFlood(int maxAlerts, qint64 windowMs)
    : m_maxAlerts(maxAlerts > 0 ? maxAlerts : 1)
    , m_windowMs(windowMs)
{
}

bool AlertFlood::admit(const QString& severity, const QString& rule, const QString& path, qint64 nowMs)
{
    // m_recent holds the times of the last maxAlerts alerts: when all of them fall within the window,
    // the desktop has had its share and this one is gathered.
    const bool full = qsizetype(m_recent.size()) >= m_maxAlerts && nowMs - m_recent.front() < m_windowMs;
    m_recent.push_back(nowMs);
    while (qsizetype(m_recent.size()) > m_maxAlerts)
        m_recent.pop_front();

    if (!full) {
        m_flooding = false;
        return true;
    }
    if (!m_flooding) {
        m_flooding = true;
        m_summary = Summary{0, 0, 0, {}, {}, m_summary.sequence + 1};
    }
    ++m_summary.gathered;
    if (severityOf(severity) == Severity::Critical)
        ++m_summary.critical;
    else
        ++m_summary.high;
    m_summary.lastRule = rule;
    m_summary.lastPath = path;
    return false;
}
