#include "viewer/FileContentLoader.h"

#include "viewer/Utf8.h"

#include <QByteArray>
#include <QFile>

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
        return result;
    };

    // Refused before a byte is read: anything but a regular file (a FIFO planted under the watched
    // name would otherwise stall the open or the read).
    const std::optional<BoundedFile> file = BoundedFile::open(nativePath, BoundedFile::Links::Follow);
    if (!file)
        return fail();
    result.fileSize = file->size();
    QByteArray bytes;
    const ReadEnd end = file->readAll(limit, bounds, bytes);
    if (end != ReadEnd::Whole && end != ReadEnd::Truncated)
        return fail();
    const bool more = end == ReadEnd::Truncated;

    if (more) {
        result.truncated = true;
        const qsizetype lastLineFeed = bytes.lastIndexOf('\n');
        bytes.truncate(lastLineFeed >= 0 ? lastLineFeed + 1 : utf8CompletePrefix(bytes));
    }
    std::optional<QString> text = decodeUtf8Strictly(bytes);
    if (!text)
        return fail();
    result.text = std::move(*text);
    return result;
}

QString loadFileContent(const QString& path)
{
    return readFileContent(path).text;
}
