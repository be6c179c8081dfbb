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

QString openingLines(const QString& text, qsizetype lines, qsizetype maxChars)
{
    qsizetype end = -1;
    for (qsizetype i = 0; i < lines; ++i) {
        end = text.indexOf(QLatin1Char('\n'), end + 1);
        if (end < 0 || end > maxChars) {
            if (text.size() <= maxChars)
                return text;
            const qsizetype cut = text.lastIndexOf(QLatin1Char('\n'), maxChars);
            return text.left(cut > 0 ? cut : maxChars);
        }
    }
    return text.left(end);
}
