// The audit of an added root: the files that were already there are evaluated once, in the background.
// It lists the folders the watch tree already holds, so it prunes and refuses links exactly as watching
// does, and it hands over only as many changes as the workers' audit lane has room for.

#include "WatchTree.h"

#include "UrgentPaths.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

void WatchTree::queueAudit(Root& root)
{
    if (!root.top)
        return;
    const AuditStart start = m_auditPlan ? m_auditPlan(root.path) : AuditStart{};
    m_audits.push_back(AuditWork{root.top->wd, &root, start, nullptr});
    ++root.auditsLeft;
}

std::vector<Change> WatchTree::continueAudits(size_t budget, size_t room)
{
    std::vector<Change> out;
    while (!m_audits.empty() && budget > 0 && out.size() < room) {
        AuditWork& work = m_audits.front();
        if (!auditSome(work, budget, out, room))
            break;
        --work.root->auditsLeft;
        m_audits.pop_front();
    }
    return out;
}

bool WatchTree::auditSome(AuditWork& work, size_t& budget, std::vector<Change>& out, size_t room)
{
    Node* node = liveFolder(work.wd);
    if (!node)
        return true;
    const std::string dirPath = pathOf(node);
    if (!work.dir) {
        work.dir = openFolder(node, dirPath);
        // The first walk has already warned about a folder it could not read.
        if (!work.dir)
            return true;
    }
    const bool since = work.start.sinceNs > 0;
    while (budget > 0 && out.size() < room) {
        const dirent* entry = readdir(work.dir.get());
        if (!entry)
            return true;
        --budget;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDir = entry->d_type == DT_DIR;
        struct stat st;
        if (entry->d_type == DT_UNKNOWN || (since && !isDir)) {
            if (fstatat(dirfd(work.dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            isDir = S_ISDIR(st.st_mode);
            if (!isDir && since &&
                static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec <
                    work.start.sinceNs)
                continue;
        }
        if (isDir) {
            // Only folders the tree watches: pruned ones were never added.
            const auto child = node->children.find(name);
            if (child != node->children.end() && child->second->wd >= 0) {
                m_audits.push_back(AuditWork{child->second->wd, work.root, work.start, nullptr});
                ++work.root->auditsLeft;
            }
            continue;
        }
        std::string path = join(dirPath, name);
        const bool urgent = isUrgentPath(path);
        out.push_back(Change{std::move(path), {std::string(work.start.word)}, urgent});
    }
    return false;
}

std::vector<std::string> WatchTree::auditedRoots() const
{
    std::vector<std::string> done;
    for (const auto& [path, root] : m_roots) {
        if (root->top && root->auditsLeft == 0)
            done.push_back(path);
    }
    return done;
}

} // namespace tw
