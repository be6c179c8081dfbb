#include "RelativeAge.h"

#include <memory>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

namespace {

// ICU has no locale named "C"; the POSIX locale reads best as English.
std::string icuLocaleName(const QLocale& locale)
{
    if (locale.language() == QLocale::C) {
        return "en_US";
    }
    return locale.name().toStdString();
}

// Building a formatter loads locale data; rows are drawn by the hundred, so keep one per locale.
icu::RelativeDateTimeFormatter* formatterFor(const std::string& name)
{
    static std::string cachedName;
    static std::unique_ptr<icu::RelativeDateTimeFormatter> cached;
    if (cached && cachedName == name) {
        return cached.get();
    }
    UErrorCode status = U_ZERO_ERROR;
    auto formatter = std::make_unique<icu::RelativeDateTimeFormatter>(
        icu::Locale(name.c_str()), nullptr, UDAT_STYLE_SHORT, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    cached = std::move(formatter);
    cachedName = name;
    return cached.get();
}

struct Offset
{
    double amount;
    URelativeDateTimeUnit unit;
};

Offset chooseOffset(const QDateTime& then, const QDateTime& now)
{
    const qint64 seconds = then.secsTo(now); // positive: in the past
    const qint64 magnitude = seconds < 0 ? -seconds : seconds;
    const double sign = seconds < 0 ? 1.0 : -1.0;
    if (magnitude < 60) {
        // Under a minute reads as "now" rather than a ticking count of seconds.
        return {0, UDAT_REL_UNIT_SECOND};
    }
    if (magnitude < 3600) {
        return {sign * static_cast<double>(magnitude / 60), UDAT_REL_UNIT_MINUTE};
    }
    if (magnitude < 86400) {
        return {sign * static_cast<double>(magnitude / 3600), UDAT_REL_UNIT_HOUR};
    }
    // From a day on, count calendar days in local time so that "yesterday" means the day before.
    const qint64 days = then.toLocalTime().date().daysTo(now.toLocalTime().date());
    const qint64 dayMagnitude = days < 0 ? -days : days;
    if (dayMagnitude < 7) {
        return {sign * static_cast<double>(dayMagnitude == 0 ? 1 : dayMagnitude), UDAT_REL_UNIT_DAY};
    }
    if (dayMagnitude < 31) {
        return {sign * static_cast<double>(dayMagnitude / 7), UDAT_REL_UNIT_WEEK};
    }
    if (dayMagnitude < 365) {
        return {sign * static_cast<double>(dayMagnitude / 30), UDAT_REL_UNIT_MONTH};
    }
    return {sign * static_cast<double>(dayMagnitude / 365), UDAT_REL_UNIT_YEAR};
}

} // namespace

QString formatRelativeAge(const QDateTime& then, const QDateTime& now, const QLocale& locale)
{
    if (!then.isValid() || !now.isValid()) {
        return {};
    }
    icu::RelativeDateTimeFormatter* formatter = formatterFor(icuLocaleName(locale));
    if (!formatter) {
        return {};
    }
    const Offset offset = chooseOffset(then, now);
    icu::UnicodeString text;
    UErrorCode status = U_ZERO_ERROR;
    // format() (not formatNumeric()) gives the named forms: "now", "yesterday", "last week".
    formatter->format(offset.amount, offset.unit, text, status);
    if (U_FAILURE(status)) {
        return {};
    }
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}
