#include "viewer/FileContentLoader.h"

#include "viewer/Utf8.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>

QString fileReadFailureText()
{
    return QStringLiteral("(Could not read file \u2014 it may have been deleted or moved)");
}

FileContent readFileContent(const QString& path, qint64 limit, const ReadBounds& bounds)
{
    return readFileContent(QFile::encodeName(path), limit, bounds);
}

FileContent readFileContent(const QByteArray& nativePath, qint64 limit, const ReadBounds& bounds)
{
    FileContent result;
    auto fail = [&result] {
        result.text = fileReadFailureText();
        result.readFailed = true;
        result.truncated = false;
        result.lineCount = 1;
        return result;
    };

    // Refused before a byte is read: anything but a regular file (a FIFO planted under the watched
    // name would otherwise stall the open or the read).
    const std::optional<BoundedFile> file = BoundedFile::open(nativePath, BoundedFile::Links::Follow);
    if (!file)
        return fail();
    result.fileSize = file->size();
    Utf8Stream stream(static_cast<qsizetype>(std::clamp<qint64>(result.fileSize, 0, limit)));
    // Line feeds are counted in the bytes while they are at hand: the same count as in the text (a line
    // feed is one byte and one unit), without another pass over tens of megabytes.
    qsizetype lineFeeds = 0;
    const ReadEnd end = file->read(limit, bounds, [&stream, &lineFeeds](QByteArrayView part) {
        stream.feed(part);
        lineFeeds += std::count(part.begin(), part.end(), '\n');
    });
    if (end != ReadEnd::Whole && end != ReadEnd::Truncated)
        return fail();
    const bool more = end == ReadEnd::Truncated;
    std::optional<QString> text = stream.finish(more);
    if (!text)
        return fail();
    if (more) {
        result.truncated = true;
        // Cut after the last whole line; one giant line keeps its whole characters.
        const qsizetype lastLineFeed = text->lastIndexOf(QLatin1Char('\n'));
        if (lastLineFeed >= 0)
            text->truncate(lastLineFeed + 1);
    }
    result.text = std::move(*text);
    // Cutting a truncated text after its last line feed removes none.
    result.lineCount = lineFeeds + 1;
    return result;
}

QString loadFileContent(const QString& path)
{
    return readFileContent(path).text;
}
