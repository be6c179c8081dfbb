#include "Severity.h"

Severity severityOf(QStringView word)
{
    if (word == u"critical")
        return Severity::Critical;
    if (word == u"high")
        return Severity::High;
    if (word == u"warning")
        return Severity::Warning;
    return Severity::Other;
}
