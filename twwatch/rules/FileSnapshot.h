#pragma once

// One bounded read of a changed file, taken once per evaluation.
//
// The file is read, never memory-mapped: a file that an editor or git truncates while it is scanned
// would turn a mapping into SIGBUS, whereas a read simply returns fewer bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// How much of a file the content rules see. Larger files are scanned over their first part only;
// rules that look at the path, the size or the change still see the whole picture.
inline constexpr std::size_t kContentBound = 1024 * 1024;

struct FileSnapshot
{
    enum class Kind { Missing, NotRegular, Unreadable, Regular, Link };
    Kind kind = Kind::Missing;
    int error = 0; // errno when Unreadable
    bool isExecutable = false;
    std::int64_t size = 0;       // size when opened, which may differ from what was read
    std::size_t contentSize = 0; // bytes of `buffer` that hold the content
    bool isTruncated = false;    // the file goes on past `contentSize`
};

// Reads at most `bound` bytes of `path` into `buffer` (grown once to `bound`, then reused). Never
// follows a symbolic link (a link is a Link, its target is never read: it may lie outside the watched
// tree) and opens nothing for reading that is not a regular file: a FIFO would block, a device may act
// on being opened. The type is taken from the handle that is then read, so nothing can be swapped in
// between. Never throws for file-system reasons.
FileSnapshot readSnapshot(const std::string& path, std::vector<unsigned char>& buffer,
                          std::size_t bound = kContentBound);

} // namespace tw
