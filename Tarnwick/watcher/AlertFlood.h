#pragma once

#include <QString>
#include <QtGlobal>

#include <deque>

// Decides whether an alert is shown on its own or gathered into a summary, so that a burst of
// findings cannot bury the desktop in bubbles. Nothing is dropped: every gathered alert is counted
// and named in the summary, and every finding is stored regardless.
//
// Bound: when maxAlerts alerts (10) have come within windowMs (10 s), further alerts are gathered into
// one summary. The flood lasts until fewer than maxAlerts alerts fall within the window again, so a
// sustained burst stays in its summary instead of leaking a few bubbles every window. Ordinary use
// raises a handful of alerts, far below this.
class AlertFlood
{
public:
    static constexpr int defaultMaxAlerts = 10;
    static constexpr qint64 defaultWindowMs = 10'000;

    explicit AlertFlood(int maxAlerts = defaultMaxAlerts, qint64 windowMs = defaultWindowMs);

    // True: show this alert on its own. False: it has been added to the current summary.
    bool admit(const QString& severity, const QString& rule, const QString& path, qint64 nowMs);

    // The current (or last) flood: alerts gathered since it began.
    struct Summary
    {
        int gathered = 0;
        int critical = 0;
        int high = 0;
        QString lastRule;
        QString lastPath;
        int sequence = 0; // increases with each new flood, so a new flood gets a new bubble
    };
    const Summary& summary() const { return m_summary; }

    int maxAlerts() const { return m_maxAlerts; }
    qint64 windowMs() const { return m_windowMs; }

private:
    int m_maxAlerts;
    qint64 m_windowMs;
    std::deque<qint64> m_recent; // times of the last maxAlerts alerts, shown or gathered
    bool m_flooding = false;
    Summary m_summary;
};
