#include "StoreFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace StoreFiles {
namespace {

QString lastErrno()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

const char* const Companions[] = {"", "-wal", "-shm"};

} // namespace

bool ensureFolder(const QString& folder, QString* error)
{
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current;
    for (const QString& part : parts) {
        current += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(current);
        struct stat st
        {
        };
        if (::stat(native.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *error = QStringLiteral("\"%1\" is not a folder").arg(current);
                return false;
            }
            continue;
        }
        // The umask may only narrow 0700; chmod makes sure of the result either way.
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
            *error = QStringLiteral("the folder \"%1\" could not be created (%2)").arg(current, lastErrno());
            return false;
        }
        ::chmod(native.constData(), 0700);
    }
    return true;
}

void restrictFolder(const QString& folder)
{
    ::chmod(QFile::encodeName(folder).constData(), 0700);
}

bool createFile(const QString& path, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int saved = errno; // callers tell a taken name (EEXIST) from a real failure
        *error = lastErrno();
        errno = saved;
        return false;
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

void restrictFile(const QString& path)
{
    // SQLite follows a link to the store, and keeps its companions beside the file it reached: tighten
    // that file, through a descriptor, so that nothing swapped in meanwhile is changed instead. The
    // descriptor is an O_PATH one: closing an ordinary descriptor of a file drops every POSIX lock this
    // process holds on it, SQLite's among them, and another process would then reset the shared-memory
    // index under the open store (a SIGBUS here, or a corrupted write-ahead log).
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString file = canonical.isEmpty() ? path : canonical;
    for (const char* suffix : Companions) {
        const QByteArray native = QFile::encodeName(file + QLatin1String(suffix));
        const int fd = ::open(native.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st
        {
        };
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            (st.st_mode & 0077) != 0)
            ::chmod(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), 0600);
        ::close(fd);
    }
}

void removeCreated(const QString& path)
{
    for (const char* suffix : Companions)
        ::unlink(QFile::encodeName(path + QLatin1String(suffix)).constData());
}

QString unusableReason(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::stat(native.constData(), &st) != 0)
        return QStringLiteral("cannot be examined (%1)").arg(lastErrno());
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("is a folder, not a file");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("is not a regular file");
    if (::access(native.constData(), R_OK | W_OK) != 0)
        return QStringLiteral("cannot be read and written (%1)").arg(lastErrno());
    return {};
}

} // namespace StoreFiles
