#include "rules/TreeWalk.h"
#include "watch/Utf8.h"

#include "watch/Exclusions.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tw {

namespace {

struct DirCloser
{
    void operator()(DIR* d) const { ::closedir(d); }
};

// Iterative, so that a hostile tree thousands of levels deep cannot exhaust the stack.
bool walk(const std::string& root, const std::function<void(std::string)>& onFile, std::ostream& diagnostics)
{
    std::vector<std::string> pending{root};
    bool rootRead = true;
    while (!pending.empty()) {
        const std::string dir = std::move(pending.back());
        pending.pop_back();
        std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
        if (!d) {
            diagnostics << "twwatch: cannot read " << escapeForTerminal(dir) << ": " << std::strerror(errno)
                        << "\n";
            if (dir == root)
                rootRead = false;
            continue;
        }
        const int dfd = ::dirfd(d.get());
        std::vector<std::string> subdirs;
        while (const dirent* e = ::readdir(d.get())) {
            const std::string_view name = e->d_name;
            if (name == "." || name == "..")
                continue;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st
                {
                };
                if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
            }
            const std::string path = (dir == "/" ? std::string() : dir) + "/" + std::string(name);
            if (type == DT_DIR) {
                if (!isPrunedDirectory(dir, name))
                    subdirs.push_back(path);
            } else {
                onFile(path);
            }
        }
        // Pushed in reverse so that the walk visits folders in the order it read them.
        pending.insert(pending.end(), subdirs.rbegin(), subdirs.rend());
    }
    return rootRead;
}

} // namespace

bool walkTree(const std::string& root, const std::function<void(std::string)>& onFile,
              std::ostream& diagnostics)
{
    std::string r = root;
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    // A single file named on the command line is audited as itself.
    struct stat st
    {
    };
    if (::stat(r.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        onFile(r);
        return true;
    }
    return walk(r, onFile, diagnostics);
}

} // namespace tw
