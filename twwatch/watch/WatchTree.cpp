#include "WatchTree.h"

#include "Exclusions.h"
#include "WarningRules.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {
namespace {

constexpr uint32_t treeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM |
                              IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK | IN_ONLYDIR;
// Warning lines per pass before the rest are summed up in one line, so that hitting the watch limit on a
// huge tree cannot flood the reader.
constexpr size_t maxWarningsPerPass = 50;

long long ctimeNs(const struct stat& st)
{
    return static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
}

} // namespace

WatchTree::WatchTree(PendingChanges& pending, WarningSink warn)
    : m_pending(pending)
    , m_warn(std::move(warn))
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        m_initError = errno;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    m_lastDrainedNs = now.tv_sec * 1000000000LL + now.tv_nsec;
}

WatchTree::~WatchTree()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string WatchTree::join(const std::string& dir, std::string_view name)
{
    std::string path;
    path.reserve(dir.size() + 1 + name.size());
    path = dir;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string WatchTree::pathOf(const Node* node) const
{
    if (!node->parent || isTop(node))
        return node->name;
    return join(pathOf(node->parent), node->name);
}

int WatchTree::addWatch(const std::string& path, bool isRoot)
{
    // A root may be a symlink the user chose on purpose; nothing below a root is ever followed.
    const uint32_t mask = treeMask | (isRoot ? 0 : IN_DONT_FOLLOW);
    const int wd = inotify_add_watch(m_fd, path.c_str(), mask);
    return wd < 0 ? -errno : wd;
}

void WatchTree::dropWatchUse(int wd)
{
    const auto it = m_watches.find(wd);
    if (it == m_watches.end() || it->second.node || !it->second.waiters.empty() ||
        !it->second.guarded.empty())
        return;
    m_watches.erase(it);
    inotify_rm_watch(m_fd, wd);
}

void WatchTree::releaseSubtree(Node* node)
{
    std::vector<Node*> stack{node};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        const auto it = m_watches.find(n->wd);
        if (it != m_watches.end() && it->second.node == n) {
            it->second.node = nullptr;
            dropWatchUse(n->wd);
        }
        for (auto& [name, child] : n->children)
            stack.push_back(child.get());
    }
}

std::unique_ptr<WatchTree::Node> WatchTree::detachChild(Node* parent, std::string_view name)
{
    const auto it = parent->children.find(name);
    if (it == parent->children.end())
        return nullptr;
    auto child = std::move(it->second);
    parent->children.erase(it);
    child->parent = nullptr;
    return child;
}

WatchTree::Node* WatchTree::hang(Node* parent, std::string_view name, std::unique_ptr<Node> child)
{
    auto existing = parent->children.find(name);
    if (existing != parent->children.end() && existing->second->wd == child->wd) {
        // Already found here (a rescan after lost events got there first): keep that node; what is left
        // of the incoming one is released, and the scan that follows re-finds whatever it still holds.
        releaseSubtree(child.get());
        return existing->second.get();
    }
    if (existing != parent->children.end()) {
        // Another directory took this name (replaced); the old one's watches go with it.
        releaseSubtree(existing->second.get());
        parent->children.erase(existing);
    }
    child->name = std::string(name);
    child->parent = parent;
    std::vector<Node*> stack{child.get()};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        n->root = parent->root;
        for (auto& [childName, grandChild] : n->children)
            stack.push_back(grandChild.get());
    }
    Node* raw = child.get();
    parent->children.emplace(std::string(name), std::move(child));
    return raw;
}

WatchTree::Node* WatchTree::attachChild(Node* parent, std::string_view name, int wd)
{
    const auto existing = parent->children.find(name);
    if (existing != parent->children.end() && existing->second->wd == wd)
        return existing->second.get();
    std::unique_ptr<Node> child;
    Node* known = m_watches[wd].node;
    if (known && known->parent && !isTop(known)) {
        // The same directory is already known under another name: a rename whose events are still
        // queued. Move the node (and its subtree) here instead of watching it twice.
        child = detachChild(known->parent, known->name);
    }
    if (!child) {
        child = std::make_unique<Node>();
        child->wd = wd;
    }
    Node* raw = hang(parent, name, std::move(child));
    m_watches[wd].node = raw;
    return raw;
}

bool WatchTree::isTop(const Node* node)
{
    return node->root && node->root->top.get() == node;
}

void WatchTree::scan(Node* start, const ScanMode& mode)
{
    std::vector<ScanItem> stack{{start, mode}};
    while (!stack.empty()) {
        const ScanItem item = stack.back();
        stack.pop_back();
        scanOne(item.node, item.mode, stack);
    }
}

void WatchTree::scanOne(Node* node, const ScanMode& mode, std::vector<ScanItem>& stack)
{
    const std::string dirPath = pathOf(node);
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (node->parent ? O_NOFOLLOW : 0);
    const int dirFd = ::open(dirPath.c_str(), flags);
    DIR* dir = dirFd >= 0 ? fdopendir(dirFd) : nullptr;
    if (!dir) {
        const int error = errno;
        if (dirFd >= 0)
            ::close(dirFd);
        // Gone meanwhile: its own events (or its parent's) tell the rest.
        if (error != ENOENT && error != ENOTDIR && error != ELOOP)
            warn(dirPath, error, "cannot read directory");
        return;
    }
    const unsigned generation = ++m_generation;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        struct stat st;
        bool haveStat = false;
        if (type == DT_UNKNOWN || mode.kind == Scan::Rescan) {
            if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
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
            child->seen = generation;
            // A directory that appeared (or moved here) while events were lost: everything in it is
            // new here, whatever its files' status-change times say.
            const bool fresh = mode.kind == Scan::Rescan && !known;
            stack.push_back({child, fresh ? ScanMode{Scan::Report, words::rescanned, 0} : mode});
            continue;
        }
        if (mode.kind == Scan::Report)
            m_pending.note(path, mode.word, PendingChanges::Writing::Unchanged, PendingChanges::Clock::now());
        else if (mode.kind == Scan::Rescan && haveStat && ctimeNs(st) >= mode.sinceNs)
            m_pending.note(path, words::rescanned, PendingChanges::Writing::Unchanged,
                           PendingChanges::Clock::now());
    }
    closedir(dir);
    // Directories that are no longer there (their events may have been lost) are released.
    for (auto it = node->children.begin(); it != node->children.end();) {
        if (it->second->seen != generation) {
            releaseSubtree(it->second.get());
            it = node->children.erase(it);
        } else {
            ++it;
        }
    }
}

void WatchTree::warn(const std::string& path, int error, std::string_view context)
{
    const std::string_view rule = warnings::ruleForErrno(error);
    if (m_passWarnings >= maxWarningsPerPass) {
        ++m_passSuppressed;
        m_lastSuppressed = path;
        m_lastSuppressedRule = rule;
        return;
    }
    ++m_passWarnings;
    m_warn(path, rule, std::string(context) + ": " + std::strerror(error));
}

void WatchTree::beginPass()
{
    m_passWarnings = 0;
    m_passSuppressed = 0;
}

void WatchTree::endPass()
{
    if (m_passSuppressed > 0)
        m_warn(m_lastSuppressed, m_lastSuppressedRule,
               "and " + std::to_string(m_passSuppressed) + " more directories could not be watched or read");
    beginPass();
}

} // namespace tw
