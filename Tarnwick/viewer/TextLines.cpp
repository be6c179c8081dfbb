#include "viewer/TextLines.h"

#include <algorithm>

qsizetype countLines(const QString& text)
{
    // A plain loop the compiler vectorizes: several times faster than QString::count on texts of
    // tens of megabytes, which the viewer counts on the UI thread.
    const char16_t* data = QStringView(text).utf16();
    return std::count(data, data + text.size(), u'\n') + 1;
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

CutText cutLongLines(const QString& text, qsizetype maxLength)
{
    CutText result;
    qsizetype copied = 0;
    qsizetype line = 0;
    for (qsizetype start = 0; start <= text.size(); ++line) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if (end - start > maxLength) {
            qsizetype keep = start + maxLength;
            if (text[keep - 1].isHighSurrogate())
                --keep;
            result.text += QStringView(text).sliced(copied, keep - copied);
            copied = end;
            result.cuts.push_back({line, end - start});
        }
        start = end + 1;
    }
    if (result.cuts.empty()) {
        result.text = text;
        return result;
    }
    result.text += QStringView(text).sliced(copied);
    return result;
}

QString lineCutNote(qsizetype fullLength, qsizetype maxLength)
{
    return QStringLiteral("  \u27EAline cut: %1 characters, the first %2 shown\u27EB")
        .arg(fullLength)
        .arg(maxLength);
}
