#include "RestartBackoff.h"

#include <algorithm>

RestartBackoff::Decision RestartBackoff::failed(qint64 runMs)
{
    if (runMs >= stableRunMs || m_streak == 0) {
        m_streak = 0;
        m_delayMs = firstDelayMs;
    } else {
        m_delayMs = std::min(m_delayMs * 2, maxDelayMs);
    }
    ++m_streak;
    return {m_delayMs, m_streak == failuresToTell};
}
