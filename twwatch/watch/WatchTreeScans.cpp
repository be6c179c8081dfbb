// Listing folders: right away for a root's first walk (nothing is reported), a slice at a time for
// everything that reports, so that the pending changes stay bounded and live events keep flowing.

#include "WatchTree.h"

#include "Exclusions.h"
#include "UrgentPaths.h"
#include "WarningRules.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {
namespace {

using Writing = PendingChanges::Writing;

long long ctimeNs(const struct stat& st)
{
    return static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
}

long long realtimeNs()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Status-change times come from a coarse clock: a margin before "since" counts too.
constexpr long long sinceSlackNs = 1000000000LL;

} // namespace

void WatchTree::DirCloser::operator()(DIR* dir) const
{
    closedir(dir);
}

void WatchTree::scan(Node* start, const ScanMode& mode)
{
    if (mode.kind != Scan::Silent) {
        m_scans.push_back(ScanWork{start->wd, mode, nullptr, 0});
        return;
    }
    // A root's first walk notes nothing and so needs no room: finish it now, so that once the watcher
    // answers, everything that was there is watched.
    std::deque<ScanWork> walk;
    walk.push_back(ScanWork{start->wd, mode, nullptr, 0});
    size_t unlimited = SIZE_MAX;
    runScans(walk, unlimited);
}

void WatchTree::continueScans(size_t budget)
{
    beginPass();
    if (!m_deferred.empty() && !m_pending.full()) {
        for (const auto& [wd, since] : m_deferred)
            m_scans.push_back(ScanWork{wd, ScanMode{Scan::Rescan, {}, since}, nullptr, 0});
        m_deferred.clear();
    }
    runScans(m_scans, budget);
    endPass();
}

void WatchTree::runScans(std::deque<ScanWork>& queue, size_t& budget)
{
    while (!queue.empty() && budget > 0) {
        // Folders found inside are queued behind; a deque keeps the front element where it is.
        if (!listSome(queue.front(), queue, budget))
            return;
        queue.pop_front();
    }
}

WatchTree::Node* WatchTree::liveFolder(int wd) const
{
    const auto use = m_watches.find(wd);
    Node* node = use == m_watches.end() ? nullptr : use->second.node;
    return node && (node->parent || isTop(node)) ? node : nullptr;
}

WatchTree::DirPtr WatchTree::openFolder(const Node* node, const std::string& path)
{
    const int dirFd =
        ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (node->parent ? O_NOFOLLOW : 0));
    DirPtr dir(dirFd >= 0 ? fdopendir(dirFd) : nullptr);
    if (!dir && dirFd >= 0) {
        const int error = errno;
        ::close(dirFd);
        errno = error;
    }
    return dir;
}

bool WatchTree::listSome(ScanWork& work, std::deque<ScanWork>& queue, size_t& budget)
{
    Node* node = liveFolder(work.wd);
    if (!node)
        return true;
    const std::string dirPath = pathOf(node);
    if (!work.dir) {
        work.dir = openFolder(node, dirPath);
        if (!work.dir) {
            const int error = errno;
            // Gone meanwhile: its own events (or its parent's) tell the rest.
            if (error != ENOENT && error != ENOTDIR && error != ELOOP)
                warn(dirPath, error, "cannot read directory");
            return true;
        }
        work.generation = ++m_generation;
        node->listing = work.generation;
    }
    const ScanMode& mode = work.mode;
    const bool statFiles = mode.kind == Scan::Rescan;
    while (true) {
        if (budget == 0 || (mode.kind != Scan::Silent && m_pending.full()))
            return false;
        const dirent* entry = readdir(work.dir.get());
        if (!entry)
            break;
        --budget;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        struct stat st;
        bool haveStat = false;
        if (type == DT_UNKNOWN || statFiles) {
            if (fstatat(dirfd(work.dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            haveStat = true;
            type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
        const std::string path = join(dirPath, name);
        if (type == DT_DIR) {
            if (isPrunedDirectory(dirPath, name))
                continue;
            const int wd = addWatch(path, false);
            if (wd < 0) {
                if (-wd != ENOENT && -wd != ENOTDIR)
                    warn(path, -wd, "cannot watch directory");
                continue;
            }
            const auto existing = node->children.find(name);
            const bool known = existing != node->children.end() && existing->second->wd == wd;
            Node* child = attachChild(node, name, wd);
            child->seen = work.generation;
            // A directory that appeared (or moved here) while events were lost: everything in it is
            // new here, whatever its files' status-change times say.
            const bool fresh = mode.kind == Scan::Rescan && !known;
            queue.push_back(
                ScanWork{wd, fresh ? ScanMode{Scan::Report, words::rescanned, 0} : mode, nullptr, 0});
            continue;
        }
        const auto now = PendingChanges::Clock::now();
        if (mode.kind == Scan::Report)
            m_pending.note(path, mode.word, Writing::Unchanged, now, isUrgentPath(path));
        else if (mode.kind == Scan::Rescan && haveStat && ctimeNs(st) >= mode.sinceNs)
            m_pending.note(path, words::rescanned, Writing::Unchanged, now, isUrgentPath(path));
    }
    work.dir.reset();
    node->listing = 0;
    // Directories that are no longer there (their events may have been lost) are released.
    for (auto it = node->children.begin(); it != node->children.end();) {
        if (it->second->seen != work.generation) {
            releaseSubtree(it->second.get());
            it = node->children.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

void WatchTree::noteEvent(const Node* node, const std::string& path, std::string_view word, Writing writing)
{
    if (m_pending.note(path, word, writing, PendingChanges::Clock::now(), isUrgentPath(path)))
        return;
    // No room: the folder is rescanned, once there is, for whatever changed from now on.
    m_deferred.try_emplace(node->wd, realtimeNs() - sinceSlackNs);
}

void WatchTree::folderModeChanged(Node* node)
{
    const std::string path = pathOf(node);
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
        if ((errno == EACCES || errno == EPERM) && node->closedSinceNs == 0)
            node->closedSinceNs = realtimeNs() - sinceSlackNs;
        return;
    }
    // Open (again): files that could not be read are read now, and what was made or written while the
    // folder was closed (new folders could not be watched then) is found by a rescan.
    const std::string prefix = path + '/';
    for (auto it = m_retry.lower_bound(prefix);
         it != m_retry.end() && it->compare(0, prefix.size(), prefix) == 0;) {
        noteEvent(node, *it, words::rescanned, Writing::Unchanged);
        it = m_retry.erase(it);
    }
    if (node->closedSinceNs != 0) {
        m_scans.push_back(ScanWork{node->wd, ScanMode{Scan::Rescan, {}, node->closedSinceNs}, nullptr, 0});
        node->closedSinceNs = 0;
    }
}

void WatchTree::retryLater(const std::vector<std::string>& paths)
{
    for (const auto& path : paths) {
        if (m_retry.size() >= WatchTree::maxRetries)
            break;
        m_retry.insert(path);
    }
}

} // namespace tw
