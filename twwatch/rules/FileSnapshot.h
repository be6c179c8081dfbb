#pragma once

// One bounded read of a changed file, taken once per evaluation.
//
// The file is read, never memory-mapped: a file that an editor or git truncates while it is scanned
// would turn a mapping into SIGBUS, whereas a read simply returns fewer bytes.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tw {

// How much of a file the content rules see. Worm bodies ship as multi-megabyte bundles, so anything
// that may hold script is read whole up to kContentBound; binary assets (fonts, images, media, archives,
// compiled code) only carry a payload that some script must still unpack, so their head is enough.
// Past the bound a file is scanned over its first part only; rules that look at the path, the size or
// the change still see the whole picture.
inline constexpr std::size_t kContentBound = 32 * 1024 * 1024;
inline constexpr std::size_t kHeadBound = 1024 * 1024;

// Whether a file with this (lower-case) extension is read over its first kHeadBound bytes only.
bool readsHeadOnly(const std::string& extension);

struct FileSnapshot
{
    enum class Kind { Missing, NotRegular, Unreadable, Regular };
    Kind kind = Kind::Missing;
    bool isExecutable = false;
    std::int64_t size = 0;       // size when opened, which may differ from what was read
    std::size_t contentSize = 0; // bytes of `buffer` that hold the content
    bool isTruncated = false;    // the file goes on past `contentSize`
};

// Reads at most `bound` bytes of `path` into `buffer`, which grows only as far as the file needs and is
// reused from one read to the next. Follows symbolic links, but opens nothing that is not a regular
// file: FIFOs and devices would block or never end. Never throws for file-system reasons.
// `largeRead`, when given, is locked before the buffer grows past kHeadBound and left locked.
FileSnapshot readSnapshot(const std::string& path, std::vector<unsigned char>& buffer,
                          std::size_t bound = kContentBound,
                          std::unique_lock<std::mutex>* largeRead = nullptr);

// After a large file, gives the memory back so that one big bundle does not stay resident per worker.
template <typename Buffer>
void releaseIfLarge(Buffer& buffer, std::size_t keep = kHeadBound)
{
    if (buffer.capacity() > keep)
        Buffer().swap(buffer);
}

} // namespace tw
