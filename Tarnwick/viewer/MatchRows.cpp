#include "viewer/MatchRows.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

struct HunkStart
{
    qint64 oldCount = 1;
    qint64 newStart = 0;
    qint64 newCount = 1;
};

// "@@ -a[,b] +c[,d] @@ ..."
std::optional<HunkStart> parseHunkHeader(QStringView line)
{
    static const QRegularExpression header(QStringLiteral(R"(^@@ -\d+(?:,(\d+))? \+(\d+)(?:,(\d+))? @@)"));
    const QRegularExpressionMatch match = header.match(line.toString());
    if (!match.hasMatch())
        return std::nullopt;
    HunkStart hunk;
    if (match.hasCaptured(1))
        hunk.oldCount = match.captured(1).toLongLong();
    hunk.newStart = match.captured(2).toLongLong();
    if (match.hasCaptured(3))
        hunk.newCount = match.captured(3).toLongLong();
    return hunk;
}

} // namespace

std::vector<int> fileRowsOfLines(const QList<int>& lines)
{
    std::vector<int> rows;
    for (int line : lines) {
        if (line >= 1)
            rows.push_back(line - 1);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<int> diffRowsOfLines(const QString& diff, const QList<int>& lines)
{
    std::vector<int> rows;
    if (lines.isEmpty() || diff.isEmpty())
        return rows;
    QList<int> wanted = lines;
    std::sort(wanted.begin(), wanted.end());

    int fileHeaders = 0;
    qint64 oldLeft = 0; // lines of the current hunk still to come, per side
    qint64 newLeft = 0;
    qint64 newLine = 0;
    int row = 0;
    for (QStringView line : QStringView(diff).split(QLatin1Char('\n'))) {
        const int thisRow = row++;
        if (oldLeft > 0 || newLeft > 0) {
            // Inside a hunk the counts say where it ends, so an added "+++" line is content.
            const QChar kind = line.isEmpty() ? QLatin1Char(' ') : line.front();
            if (kind == QLatin1Char('\\'))
                continue; // "\ No newline at end of file"
            if (kind == QLatin1Char('-')) {
                --oldLeft;
                continue;
            }
            if (kind == QLatin1Char('+') || kind == QLatin1Char(' ')) {
                if (std::binary_search(wanted.begin(), wanted.end(), newLine))
                    rows.push_back(thisRow);
                ++newLine;
                --newLeft;
                if (kind == QLatin1Char(' '))
                    --oldLeft;
                continue;
            }
            oldLeft = newLeft = 0; // not a hunk line: the hunk was shorter than it said
        }
        if (line.startsWith(u"diff ")) {
            if (++fileHeaders > 1)
                break;
            continue;
        }
        if (const std::optional<HunkStart> hunk = parseHunkHeader(line)) {
            oldLeft = hunk->oldCount;
            newLeft = hunk->newCount;
            newLine = hunk->newStart;
        }
    }
    return rows;
}
