#include "viewer/ScratchTree.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

ScratchTree::ScratchTree(const QString& root)
    : m_root(::open(QFile::encodeName(root).constData(), kFolderFlags))
{
}

ScratchTree::~ScratchTree()
{
    if (m_root >= 0)
        ::close(m_root);
}

int ScratchTree::openFolder(const QByteArray& relative) const
{
    int folder = ::fcntl(m_root, F_DUPFD_CLOEXEC, 0);
    if (relative.isEmpty() || folder < 0)
        return folder;
    for (const QByteArray& part : relative.split('/')) {
        if (part.isEmpty() || part == "." || part == "..") {
            ::close(folder);
            return -1;
        }
        if (::mkdirat(folder, part.constData(), 0700) != 0 && errno != EEXIST) {
            ::close(folder);
            return -1;
        }
        // A link at `part` fails here (ELOOP or ENOTDIR): it is never entered.
        const int next = ::openat(folder, part.constData(), kFolderFlags);
        ::close(folder);
        if (next < 0)
            return -1;
        folder = next;
    }
    return folder;
}

bool ScratchTree::makeFolders(const QByteArray& relative) const
{
    const int folder = openFolder(relative);
    if (folder < 0)
        return false;
    ::close(folder);
    return true;
}

bool ScratchTree::writeFile(const QByteArray& relative, const QByteArray& bytes, bool executable) const
{
    const qsizetype slash = relative.lastIndexOf('/');
    const QByteArray name = relative.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    const int folder = openFolder(slash < 0 ? QByteArray() : relative.left(slash));
    if (folder < 0)
        return false;
    const int fd = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            executable ? 0700 : 0600);
    ::close(folder);
    if (fd < 0)
        return false;
    const bool ok = writeAll(fd, bytes);
    return ::close(fd) == 0 && ok;
}
