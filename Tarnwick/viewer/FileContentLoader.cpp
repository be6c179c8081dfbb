#include "viewer/FileContentLoader.h"

#include "viewer/Utf8.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <optional>
#include <utility>

QString fileReadFailureText()
{
    return QStringLiteral("(Could not read file \u2014 it may have been deleted or moved)");
}

FileContent readFileContent(const QString& path, qint64 limit, const ReadBounds& bounds)
{
    return readFileContent(QFile::encodeName(path), limit, bounds);
}

namespace {

// The whole lines of the first piece read of a file longer than kFileOpeningBytes.
std::optional<FileOpening> openingOf(QByteArrayView piece, qint64 textBytes)
{
    const QByteArrayView head = piece.first(std::min<qsizetype>(piece.size(), kFileOpeningBytes));
    // A line feed is never part of a multi-byte character: cutting at one splits none.
    const qsizetype lastLineFeed = head.lastIndexOf('\n');
    if (lastLineFeed < 0)
        return std::nullopt;
    std::optional<QString> text = decodeUtf8Strictly(QByteArray::fromRawData(head.data(), lastLineFeed));
    if (!text)
        return std::nullopt;
    const qint64 lineFeeds = std::count(head.begin(), head.begin() + lastLineFeed + 1, '\n');
    return FileOpening{std::move(*text),
                       static_cast<qsizetype>(lineFeeds * textBytes / (lastLineFeed + 1) + 1)};
}

} // namespace

FileContent readFileContent(const QByteArray& nativePath, qint64 limit, const ReadBounds& bounds,
                            const FileOpeningSink& opening)
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
    const qint64 textBytes = std::min(result.fileSize, limit);
    bool first = true;
    const ReadEnd end = file->read(limit, bounds, [&](QByteArrayView part) {
        if (std::exchange(first, false) && opening && textBytes > kFileOpeningBytes) {
            if (std::optional<FileOpening> start = openingOf(part, textBytes))
                opening(std::move(*start));
        }
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
