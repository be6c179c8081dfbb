#pragma once

// How long ago a finding was recorded, short and in the user's locale ("now", "5 min. ago",
// "yesterday", "3 days ago"), from ICU's relative date formatting. A named day is preferred over a
// count of days where the locale has one.

#include <QDateTime>
#include <QLocale>
#include <QString>

QString formatRelativeAge(const QDateTime& then, const QDateTime& now, const QLocale& locale = QLocale());
