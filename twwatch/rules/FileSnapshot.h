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
    enum class Kind { Missing, NotRegular, Unreadable, Regular };
    Kind kind = Kind::Missing;
    bool isExecutable = false;
    std::int64_t size = 0;       // size when opened, which may differ from what was read
    std::size_t contentSize = 0; // bytes of `buffer` that hold the content
    bool isTruncated = false;    // the file goes on past `contentSize`
};

// Reads at most `bound` bytes of `path` into `buffer` (grown once to `bound`, then reused). Follows
// symbolic links, but opens nothing that is not a regular file: FIFOs and devices would block or never
// end. Never throws for file-system reasons.
FileSnapshot readSnapshot(const std::string& path, std::vector<unsigned char>& buffer,
                          std::size_t bound = kContentBound);

} // namespace tw
