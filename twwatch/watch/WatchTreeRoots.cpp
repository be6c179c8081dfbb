// The watched roots: which are active, which wait for their directory to appear, and the watches on
// their ancestors that notice a root's path changing under it.

#include "WatchTree.h"

#include "WarningRules.h"

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>

namespace tw {
namespace {

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool isUnder(const std::string& path, const std::string& root)
{
    if (root == "/")
        return path != "/";
    return path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/';
}

} // namespace

void WatchTree::setRoots(const std::vector<std::string>& requested)
{
    beginPass();
    std::vector<std::string> sorted = requested;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<std::string> wanted;
    for (const auto& path : sorted) {
        const bool covered = std::any_of(wanted.begin(), wanted.end(),
                                         [&](const std::string& outer) { return isUnder(path, outer); });
        if (!covered)
            wanted.push_back(path);
    }
    for (auto it = m_roots.begin(); it != m_roots.end();) {
        if (!std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            releaseRoot(*it->second);
            it = m_roots.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& path : wanted) {
        if (m_roots.count(path))
            continue;
        auto root = std::make_unique<Root>();
        root->path = path;
        Root& ref = *root;
        m_roots.emplace(path, std::move(root));
        activateOrWait(ref, ScanMode{});
        queueAudit(ref);
    }
    endPass();
}

void WatchTree::activateOrWait(Root& root, const ScanMode& mode)
{
    stopWaiting(root);
    if (m_fd < 0) {
        warn(root.path, m_initError, "cannot start inotify");
        return;
    }
    struct stat st;
    if (::stat(root.path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            const int wd = addWatch(root.path, true);
            if (wd >= 0) {
                WatchUse& use = m_watches[wd];
                // Already watched as part of another root (a symlinked root pointing into it): covered.
                if (use.node)
                    return;
                root.top = std::make_unique<Node>();
                root.top->wd = wd;
                root.top->root = &root;
                root.top->name = root.path;
                use.node = root.top.get();
                root.warnedNotDirectory = false;
                guardAncestors(root);
                scan(root.top.get(), mode);
                return;
            }
            if (-wd != ENOENT) {
                // Wait for it to be deleted and made anew; retrying now would only fail again.
                warn(root.path, -wd, "cannot watch directory");
                waitForAncestor(root, false);
                return;
            }
        } else if (!root.warnedNotDirectory) {
            root.warnedNotDirectory = true;
            warn(root.path, ENOTDIR, "not a directory");
        }
    }
    waitForAncestor(root, true);
}

void WatchTree::waitForAncestor(Root& root, bool recheck)
{
    if (root.path == "/")
        return;
    std::string ancestor = parentOf(root.path);
    while (ancestor != "/" && !isDirectory(ancestor))
        ancestor = parentOf(ancestor);
    const int wd =
        inotify_add_watch(m_fd, ancestor.c_str(),
                          IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD);
    if (wd < 0) {
        warn(root.path, errno, "cannot wait for the directory to appear");
        return;
    }
    root.ancestorWd = wd;
    m_watches[wd].waiters.push_back(&root);
    // The root (or a step towards it) may have appeared between the look-up and the watch; its event
    // would never come.
    std::string deeper = root.path;
    while (parentOf(deeper) != ancestor)
        deeper = parentOf(deeper);
    if (recheck && isDirectory(deeper))
        activateOrWait(root, ScanMode{Scan::Report, words::created, 0});
}

void WatchTree::stopWaiting(Root& root)
{
    if (root.ancestorWd < 0)
        return;
    const int wd = root.ancestorWd;
    root.ancestorWd = -1;
    const auto it = m_watches.find(wd);
    if (it == m_watches.end())
        return;
    auto& waiters = it->second.waiters;
    waiters.erase(std::remove(waiters.begin(), waiters.end(), &root), waiters.end());
    dropWatchUse(wd);
}

void WatchTree::guardAncestors(Root& root)
{
    for (std::string ancestor = root.path; ancestor != "/";) {
        ancestor = parentOf(ancestor);
        const int wd = inotify_add_watch(m_fd, ancestor.c_str(),
                                         IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_MASK_ADD);
        // Best effort: an ancestor that cannot be watched only costs this safeguard.
        if (wd < 0)
            continue;
        root.guardWds.push_back(wd);
        m_watches[wd].guarded.push_back(&root);
    }
}

void WatchTree::dropGuards(Root& root)
{
    for (const int wd : root.guardWds) {
        const auto it = m_watches.find(wd);
        if (it == m_watches.end())
            continue;
        auto& guarded = it->second.guarded;
        guarded.erase(std::remove(guarded.begin(), guarded.end(), &root), guarded.end());
        dropWatchUse(wd);
    }
    root.guardWds.clear();
}

void WatchTree::releaseRoot(Root& root)
{
    m_audits.erase(std::remove_if(m_audits.begin(), m_audits.end(),
                                  [&](const AuditWork& work) { return work.root == &root; }),
                   m_audits.end());
    root.auditsLeft = 0;
    stopWaiting(root);
    dropGuards(root);
    if (root.top) {
        releaseSubtree(root.top.get());
        root.top.reset();
    }
}

void WatchTree::rootLost(Root& root)
{
    releaseRoot(root);
    // It may already be back (rm -rf root && mkdir root): whatever is there now is new.
    activateOrWait(root, ScanMode{Scan::Report, words::created, 0});
}

} // namespace tw
