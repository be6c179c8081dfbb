#include "rules/FileSnapshot.h"

#include "watch/Fd.h"

#include <algorithm>
#include <cerrno>
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

FileSnapshot readSnapshot(const std::string& path, std::vector<unsigned char>& buffer, std::size_t bound,
                          std::unique_lock<std::mutex>* largeRead)
{
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

    // Sized for what fstat saw plus one byte, so that the common case is one read. A larger file is
    // read over its head first: a compiled executable (which may have no extension) stops there, and
    // anything else then grows the buffer to what is left, or doubles it for a file that is growing.
    const auto expected = static_cast<std::size_t>(std::max<off_t>(st.st_size, 0));
    const auto grow = [&](std::size_t size) {
        if (size > kHeadBound && largeRead && !largeRead->owns_lock())
            largeRead->lock();
        if (buffer.size() < size)
            buffer.resize(size);
    };
    std::size_t room = std::min({bound, kHeadBound, std::max<std::size_t>(expected + 1, 4096)});
    grow(room);
    room = std::min(bound, buffer.size());
    // One byte past the bound tells a file that is exactly `bound` long from one that goes on.
    std::size_t got = 0;
    while (got < bound) {
        if (got == room) {
            if (got >= kHeadBound && isCompiledCode(buffer.data(), got)) {
                bound = got;
                break;
            }
            room = std::min(bound, std::max(room * 2, expected + 1));
            grow(room);
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
