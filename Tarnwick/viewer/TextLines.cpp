#include "viewer/TextLines.h"

QStringList splitLines(const QString& text)
{
    return text.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
}

qsizetype countLines(const QString& text)
{
    return text.count(QLatin1Char('\n')) + 1;
}

int lineNumberWidth(qsizetype lineCount)
{
    int digits = 1;
    for (qsizetype n = lineCount; n >= 10; n /= 10)
        ++digits;
    return digits;
}

QString formatLineNumber(qsizetype number, int width)
{
    return QString::asprintf("%*lld", width, static_cast<long long>(number));
}
