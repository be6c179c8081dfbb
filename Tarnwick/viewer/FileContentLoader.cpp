#include "viewer/FileContentLoader.h"

#include "viewer/Utf8.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads up to `limit` bytes from `fd`, plus one more to know whether the file goes on.
bool readBounded(int fd, qint64 limit, qint64 sizeHint, QByteArray& bytes, bool& more)
{
    bytes.clear();
    more = false;
    qint64 want = limit + 1;
    bytes.reserve(static_cast<qsizetype>(std::clamp<qint64>(sizeHint, 0, limit) + 1));
    for (;;) {
        const qsizetype step = static_cast<qsizetype>(std::min<qint64>(want, 1 << 20));
        const qsizetype old = bytes.size();
        bytes.resize(old + step);
        const ssize_t got = ::read(fd, bytes.data() + old, static_cast<size_t>(step));
        if (got < 0) {
            if (errno == EINTR) {
                bytes.resize(old);
                continue;
            }
            return false;
        }
        bytes.resize(old + got);
        if (got == 0)
            break;
        want -= got;
        if (want == 0)
            break;
    }
    if (bytes.size() > limit) {
        more = true;
        bytes.resize(limit);
    }
    return true;
}

} // namespace

QString fileReadFailureText()
{
    return QStringLiteral("(Could not read file \u2014 it may have been deleted or moved)");
}

FileContent readFileContent(const QString& path, qint64 limit)
{
    FileContent result;
    auto fail = [&result] {
        result.text = fileReadFailureText();
        result.readFailed = true;
        result.truncated = false;
        return result;
    };

    // O_NONBLOCK keeps a FIFO planted under the watched name from stalling the open; anything but a
    // regular file is refused before a byte is read.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return fail();
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail();
    }
    result.fileSize = info.st_size;
    QByteArray bytes;
    bool more = false;
    const bool ok = readBounded(fd, limit, info.st_size, bytes, more);
    ::close(fd);
    if (!ok)
        return fail();

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
