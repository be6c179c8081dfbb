// Turning inotify events into tree updates and pending changes.

#include "WatchTree.h"

#include "Exclusions.h"
#include "WarningRules.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {
namespace {

using Writing = PendingChanges::Writing;

long long realtimeNs()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Files changed within this margin before the last complete drain are rescanned as well: status-change
// times come from a coarse clock.
constexpr long long overflowSlackNs = 1000000000LL;

} // namespace

void WatchTree::handleEvents()
{
    if (m_fd < 0)
        return;
    beginPass();
    alignas(inotify_event) char buffer[64 * 1024];
    // Bounded, so that a storm that never lets the queue run empty cannot starve standard input or a
    // signal; the caller comes back as long as the descriptor stays readable.
    bool drained = false;
    long long drainedAt = 0;
    for (int reads = 0; reads < 64 && !drained;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            // Taken now, not after the work below: whatever is lost from here on happened after it.
            drainedAt = realtimeNs();
            drained = true;
            break;
        }
        ++reads;
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            handleEvent(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (drained) {
        // The queue is empty: a rename whose second half has not come was a move out of the tree.
        settleMoves();
    }
    if (m_overflow)
        recoverFromOverflow();
    if (drained)
        m_lastDrainedNs = drainedAt;
    endPass();
}

void WatchTree::handleEvent(const inotify_event& event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        m_overflow = true;
        return;
    }
    const auto it = m_watches.find(event.wd);
    if (it == m_watches.end())
        return;
    Node* node = it->second.node;
    const std::vector<Root*> waiters = it->second.waiters;
    const std::vector<Root*> guarded = it->second.guarded;
    if (event.mask & IN_IGNORED) {
        // The kernel dropped the watch (its directory is gone); the descriptor is no longer ours.
        it->second.node = nullptr;
        for (Root* root : waiters)
            root->ancestorWd = -1;
        m_watches.erase(it);
        if (node && isTop(node)) {
            rootLost(*node->root);
        } else if (node && node->parent) {
            releaseSubtree(node);
            detachChild(node->parent, node->name);
        }
        for (Root* root : guarded) {
            root->guardWds.erase(std::remove(root->guardWds.begin(), root->guardWds.end(), event.wd),
                                 root->guardWds.end());
            if (root->top)
                rootLost(*root);
        }
        for (Root* root : waiters)
            activateOrWait(*root, ScanMode{Scan::Report, words::created, 0});
        return;
    }
    if (!guarded.empty() && (event.mask & (IN_MOVE_SELF | IN_DELETE_SELF))) {
        // An ancestor of these roots was renamed or deleted: their paths now lead elsewhere, or nowhere.
        for (Root* root : guarded) {
            if (root->top)
                rootLost(*root);
        }
    }
    // A directory renamed away and not (yet) back in the tree has no path: its events are moot.
    if (node && (node->parent || isTop(node)))
        handleTreeEvent(node, event);
    if (!waiters.empty() && (event.mask & (IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF))) {
        const std::string_view word = (event.mask & IN_MOVED_TO) ? words::moved : words::created;
        for (Root* root : waiters) {
            if (!root->top)
                activateOrWait(*root, ScanMode{Scan::Report, word, 0});
        }
    }
}

void WatchTree::handleTreeEvent(Node* node, const inotify_event& event)
{
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        // Below a root, the parent's IN_DELETE / IN_MOVED_FROM already told us.
        if (isTop(node))
            rootLost(*node->root);
        return;
    }
    if (event.len == 0) {
        // The folder's own mode, owner or times changed: it may have closed to us, or opened again.
        if (event.mask & IN_ATTRIB)
            folderModeChanged(node);
        return;
    }
    const std::string path = join(pathOf(node), std::string_view(event.name, strnlen(event.name, event.len)));
    if (event.mask & IN_ISDIR)
        handleDirectoryEntry(node, event, path);
    else
        handleFileEntry(node, event, path);
}

void WatchTree::handleDirectoryEntry(Node* node, const inotify_event& event, const std::string& path)
{
    const std::string_view name(event.name, strnlen(event.name, event.len));
    if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
        auto child = detachChild(node, name);
        if (!child)
            return;
        if ((event.mask & IN_MOVED_FROM) && event.cookie != 0)
            m_movedDirs[event.cookie] = std::move(child); // may come back under another name
        else
            releaseSubtree(child.get());
        return;
    }
    // A folder that could not be watched (it was closed to us) may have just opened: all in it is new.
    const bool opened = !(event.mask & (IN_CREATE | IN_MOVED_TO)) && (event.mask & IN_ATTRIB) &&
                        node->children.find(name) == node->children.end();
    if (!(event.mask & (IN_CREATE | IN_MOVED_TO)) && !opened)
        return;
    if (isPrunedDirectory(pathOf(node), name))
        return;
    const std::string_view word = opened                       ? words::rescanned
                                  : (event.mask & IN_MOVED_TO) ? words::moved
                                                               : words::created;
    if (event.mask & IN_MOVED_TO) {
        const auto moved = m_movedDirs.find(event.cookie);
        if (moved != m_movedDirs.end()) {
            // Renamed within the tree: its watches stay valid; re-hang it under its new name and list it
            // again, since every file in it now has a new path.
            auto child = std::move(moved->second);
            m_movedDirs.erase(moved);
            Node* hung = hang(node, name, std::move(child));
            hung->seen = node->listing; // a listing of the parent in progress must not drop it
            scan(hung, ScanMode{Scan::Report, word, 0});
            return;
        }
    }
    // Watch first, then list: whatever was created inside before the watch existed is found by the
    // listing, whatever comes after arrives as events.
    const int wd = addWatch(path, false);
    if (wd < 0) {
        // Still closed: that was said when it was first found.
        if (-wd != ENOENT && -wd != ENOTDIR && !(opened && (-wd == EACCES || -wd == EPERM)))
            warn(path, -wd, "cannot watch directory");
        return;
    }
    Node* child = attachChild(node, name, wd);
    child->seen = node->listing;
    scan(child, ScanMode{Scan::Report, word, 0});
}

void WatchTree::handleFileEntry(const Node* node, const inotify_event& event, const std::string& path)
{
    const uint32_t mask = event.mask;
    const auto note = [&](std::string_view word, Writing writing) { noteEvent(node, path, word, writing); };
    if (mask & IN_CREATE) {
        // A file made by open(O_CREAT) is usually still being written; wait for its close. A symlink or
        // a hard link is complete the moment it appears.
        struct stat st;
        const bool opened = ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
        note(words::created, opened ? Writing::Started : Writing::Unchanged);
    }
    if (mask & IN_MODIFY)
        note(words::modified, Writing::Started);
    if (mask & IN_ATTRIB)
        note(words::attributes, Writing::Unchanged);
    if (mask & IN_CLOSE_WRITE) {
        // Writes through a shared mapping raise no IN_MODIFY; the close is the only sign of them.
        const bool known =
            m_pending.hasWord(path, words::created) || m_pending.hasWord(path, words::modified);
        note(known ? std::string_view{} : words::modified, Writing::Finished);
    }
    if (mask & IN_MOVED_FROM) {
        // A file born moments ago and renamed away (an editor's or git's temporary file) is not a change
        // of its own: its words travel to where it lands.
        if (m_pending.hasWord(path, words::created) && event.cookie != 0)
            m_movedFiles[event.cookie] = m_pending.take(path).value_or(std::vector<std::string>{});
        else
            note(words::deleted, Writing::Finished);
    }
    if (mask & IN_MOVED_TO) {
        const auto carried = m_movedFiles.find(event.cookie);
        if (carried != m_movedFiles.end()) {
            for (const auto& word : carried->second) {
                if (word != words::deleted)
                    note(word, Writing::Unchanged);
            }
            m_movedFiles.erase(carried);
        }
        note(words::moved, Writing::Finished);
    }
    if (mask & IN_DELETE)
        note(words::deleted, Writing::Finished);
}

void WatchTree::settleMoves()
{
    for (auto& [cookie, node] : m_movedDirs)
        releaseSubtree(node.get());
    m_movedDirs.clear();
    m_movedFiles.clear();
}

void WatchTree::recoverFromOverflow()
{
    m_overflow = false;
    const long long since = m_lastDrainedNs - overflowSlackNs;
    for (auto& [path, root] : m_roots) {
        if (!root->top) {
            activateOrWait(*root, ScanMode{Scan::Report, words::created, 0});
            continue;
        }
        m_warn(root->path, warnings::queueOverflow,
               "the kernel's event queue overflowed; files changed meanwhile were rescanned");
        // The root itself may have been replaced while events were lost.
        const int wd = addWatch(root->path, true);
        if (wd != root->top->wd) {
            if (wd >= 0 && !m_watches.count(wd))
                inotify_rm_watch(m_fd, wd);
            rootLost(*root);
            continue;
        }
        scan(root->top.get(), ScanMode{Scan::Rescan, {}, since});
    }
}

} // namespace tw
