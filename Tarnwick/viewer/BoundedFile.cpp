#include "viewer/BoundedFile.h"

#include <QFile>

#include <algorithm>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReadBounds::over() const
{
    return (cancelled && cancelled->load()) || std::chrono::steady_clock::now() >= deadline;
}

std::optional<BoundedFile> BoundedFile::open(const QString& path, Links links)
{
    return open(QFile::encodeName(path), links);
}

std::optional<BoundedFile> BoundedFile::open(const QByteArray& nativePath, Links links)
{
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    BoundedFile file(::open(nativePath.constData(), flags));
    struct stat info
    {
    };
    if (file.m_fd < 0 || ::fstat(file.m_fd, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    file.m_size = info.st_size;
    file.m_executable = (info.st_mode & S_IXUSR) != 0;
    return file;
}

BoundedFile::BoundedFile(int fd)
    : m_fd(fd)
{
}

BoundedFile::BoundedFile(BoundedFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_size(other.m_size)
    , m_executable(other.m_executable)
{
}

BoundedFile& BoundedFile::operator=(BoundedFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_executable = other.m_executable;
    }
    return *this;
}

BoundedFile::~BoundedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ReadEnd BoundedFile::read(qint64 limit, const ReadBounds& bounds,
                          const std::function<void(QByteArrayView)>& sink) const
{
    constexpr qint64 kChunk = 1 << 20;
    QByteArray chunk(kChunk, Qt::Uninitialized);
    qint64 offset = 0;
    for (;;) {
        if (bounds.over())
            return ReadEnd::Stopped;
        // One byte past the limit tells whether the file goes on.
        const qint64 want = std::min(kChunk, limit + 1 - offset);
        const ssize_t got = ::pread(m_fd, chunk.data(), static_cast<size_t>(want), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return ReadEnd::Failed;
        if (got == 0)
            return ReadEnd::Whole;
        const qint64 kept = std::min<qint64>(got, limit - offset);
        if (kept > 0)
            sink(QByteArrayView(chunk.constData(), kept));
        offset += got;
        if (offset > limit)
            return ReadEnd::Truncated;
    }
}

ReadEnd BoundedFile::readAll(qint64 limit, const ReadBounds& bounds, QByteArray& bytes) const
{
    bytes.clear();
    bytes.reserve(static_cast<qsizetype>(std::clamp<qint64>(m_size, 0, limit)));
    return read(limit, bounds, [&bytes](QByteArrayView part) { bytes.append(part); });
}
