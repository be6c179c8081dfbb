#pragma once

// How bad a finding is. The watcher's lines and the store carry the word ("critical", "high",
// "warning") and keep it as it came; the application decides on this type, read from the word exactly
// and case-sensitively. A word outside the three is Other: stored and listed, never an alert.

#include <QStringView>

enum class Severity { Critical, High, Warning, Other };

Severity severityOf(QStringView word);

// Critical and High raise notifications and fill the panel's alert list.
inline bool isAlert(Severity severity)
{
    return severity == Severity::Critical || severity == Severity::High;
}
