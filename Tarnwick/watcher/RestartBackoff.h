#pragma once

#include <QtGlobal>

// When to start the watcher again after it ended unexpectedly, and when to tell the user that it keeps
// failing. A watcher that ran for stableRunMs counts as healthy: its end starts a new streak at the
// shortest delay. Within a streak the delay doubles up to maxDelayMs, so a watcher that cannot start
// costs almost nothing, while a single crash is repaired within half a second.
class RestartBackoff
{
public:
    static constexpr qint64 firstDelayMs = 500;
    static constexpr qint64 maxDelayMs = 60'000;
    static constexpr qint64 stableRunMs = 60'000;
    // Failures in one streak before the user is told (once per streak).
    static constexpr int failuresToTell = 3;

    struct Decision
    {
        qint64 delayMs = firstDelayMs;
        bool tellUser = false;
    };

    // A watcher that ran for runMs ended unexpectedly.
    Decision failed(qint64 runMs);

    // Consecutive short-lived failures so far.
    int streak() const { return m_streak; }

private:
    int m_streak = 0;
    qint64 m_delayMs = 0;
};
