#include "rules/FileSnapshot.h"

#include "watch/Fd.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

FileSnapshot readSnapshot(const std::string& path, std::vector<unsigned char>& buffer, std::size_t bound)
{
    FileSnapshot snap;
    // An O_PATH handle opens nothing: the type is checked on it before anything is opened for reading.
    Fd handle(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st
    {
    };
    if (handle.get() < 0 || ::fstat(handle.get(), &st) != 0) {
        snap.error = errno;
        snap.kind = (errno == ENOENT || errno == ENOTDIR) ? FileSnapshot::Kind::Missing
                                                          : FileSnapshot::Kind::Unreadable;
        return snap;
    }
    if (S_ISLNK(st.st_mode)) {
        snap.kind = FileSnapshot::Kind::Link;
        snap.size = static_cast<std::int64_t>(st.st_size);
        return snap;
    }
    if (!S_ISREG(st.st_mode)) {
        snap.kind = FileSnapshot::Kind::NotRegular;
        return snap;
    }
    // Reopening through the handle reaches the same inode whatever has been renamed meanwhile.
    const std::string self = "/proc/self/fd/" + std::to_string(handle.get());
    Fd fd(::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat opened
    {
    };
    if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || opened.st_ino != st.st_ino ||
        opened.st_dev != st.st_dev) {
        snap.error = fd.get() < 0 ? errno : ESTALE;
        snap.kind = FileSnapshot::Kind::Unreadable;
        return snap;
    }
    snap.kind = FileSnapshot::Kind::Regular;
    snap.isExecutable = (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    snap.size = static_cast<std::int64_t>(st.st_size);

    if (buffer.size() < bound)
        buffer.resize(bound);
    // One byte past the bound tells a file that is exactly `bound` long from one that goes on.
    std::size_t got = 0;
    while (got < bound) {
        const ssize_t n = ::read(fd.get(), buffer.data() + got, bound - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break; // what was read so far is still worth scanning
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    snap.contentSize = got;
    if (got == bound) {
        unsigned char probe;
        ssize_t n;
        do {
            n = ::read(fd.get(), &probe, 1);
        } while (n < 0 && errno == EINTR);
        snap.isTruncated = n > 0;
    }
    return snap;
}

} // namespace tw
