#include "rules/FileSnapshot.h"

#include "watch/Fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

bool readsHeadOnly(const std::string& extension)
{
    // Source maps are generated data that nothing runs, and large enough to matter in a dependency tree.
    static constexpr std::string_view assets[] = {
        "woff", "woff2", "ttf", "otf",  "eot",   "png", "jpg",  "jpeg", "gif",    "ico", "bmp",
        "webp", "avif",  "tif", "tiff", "psd",   "mp3", "mp4",  "m4a",  "ogg",    "wav", "flac",
        "webm", "mov",   "avi", "mkv",  "zip",   "gz",  "tgz",  "xz",   "bz2",    "zst", "7z",
        "jar",  "node",  "so",  "dll",  "dylib", "exe", "wasm", "pdf",  "sqlite", "db",  "map"};
    return std::find(std::begin(assets), std::end(assets), extension) != std::end(assets);
}

namespace {

// Executables and libraries of the usual formats: ELF, PE, Mach-O (either byte order, and fat) and
// WebAssembly. No script starts with these bytes.
bool isCompiledCode(const unsigned char* head, std::size_t size)
{
    if (size < 4)
        return false;
    const std::string_view magic(reinterpret_cast<const char*>(head), 4);
    using namespace std::string_view_literals;
    return magic == "\x7f"
                    "ELF"sv ||
           magic.substr(0, 2) == "MZ"sv || magic == "\xcf\xfa\xed\xfe"sv || magic == "\xce\xfa\xed\xfe"sv ||
           magic == "\xfe\xed\xfa\xcf"sv || magic == "\xca\xfe\xba\xbe"sv || magic == "\0asm"sv;
}

} // namespace

FileSnapshot readSnapshot(const std::string& path, std::vector<unsigned char>& buffer, std::size_t window,
                          std::size_t limit, int* rest)
{
    limit = std::max(limit, window);
    FileSnapshot snap;
    // O_NONBLOCK so that a FIFO planted under a watched folder cannot hang a worker in open().
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        snap.kind = (errno == ENOENT || errno == ENOTDIR) ? FileSnapshot::Kind::Missing
                                                          : FileSnapshot::Kind::Unreadable;
        return snap;
    }
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0) {
        snap.kind = FileSnapshot::Kind::Unreadable;
        return snap;
    }
    if (!S_ISREG(st.st_mode)) {
        snap.kind = FileSnapshot::Kind::NotRegular;
        return snap;
    }
    snap.kind = FileSnapshot::Kind::Regular;
    snap.isExecutable = (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    snap.size = static_cast<std::int64_t>(st.st_size);

    // Sized for what fstat saw plus one byte, so that the common case is one read; a file that grows
    // meanwhile doubles the buffer up to the window.
    const auto expected = static_cast<std::size_t>(std::max<off_t>(st.st_size, 0));
    std::size_t room = std::min(window, std::max<std::size_t>(expected + 1, 4096));
    if (buffer.size() < room)
        buffer.resize(room);
    room = std::min(window, buffer.size());
    std::size_t got = 0;
    while (got < window) {
        if (got == room) {
            room = std::min(window, room * 2);
            if (buffer.size() < room)
                buffer.resize(room);
        }
        const ssize_t n = ::read(fd.get(), buffer.data() + got, room - got);
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
    if (got < window)
        return snap;
    if (window < limit && rest && !isCompiledCode(buffer.data(), got)) {
        *rest = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
        snap.goesOn = *rest >= 0;
        snap.isTruncated = expected > limit;
        if (snap.goesOn)
            return snap;
    }
    // One byte past the bound tells a file that is exactly `window` long from one that goes on.
    unsigned char probe;
    ssize_t n;
    do {
        n = ::read(fd.get(), &probe, 1);
    } while (n < 0 && errno == EINTR);
    snap.isTruncated = n > 0;
    return snap;
}

std::size_t readNextWindow(int fd, std::vector<unsigned char>& buffer, std::size_t& length,
                           std::size_t overlap, std::size_t maxNew)
{
    const std::size_t keep = std::min(overlap, length);
    std::memmove(buffer.data(), buffer.data() + length - keep, keep);
    length = keep;
    const std::size_t want = std::min(buffer.size() - keep, maxNew);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, buffer.data() + keep + got, want - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    length += got;
    return got;
}

} // namespace tw
