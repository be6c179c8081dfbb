#pragma once

// Recursive inotify watching of a set of roots.
//
// Every directory under a root has its own watch; the tree of nodes mirrors the directories, so a
// rename within the tree only re-hangs one node and every path below follows. Paths are built from the
// nodes on demand. A new directory is scanned right after its watch is added, so files created in it
// before the watch existed are reported too (and anything after that comes as events). Symlinks are never
// followed below a root; pruned directories (Exclusions.h) are never watched.
//
// A root that does not exist yet, or that disappears, waits on its deepest existing ancestor and becomes
// active as soon as it appears; everything found in it is then reported as "created" (or "moved").
//
// Kernel quirks that shape this code:
//  - IN_MOVED_FROM / IN_MOVED_TO of one rename share a cookie and are queued back to back, but a read
//    may end between them. An unpaired IN_MOVED_FROM is only settled when the queue has been drained.
//  - A watch survives a rename of its directory, even out of the tree: watches of a subtree that moved
//    away must be removed by hand or their events would carry stale paths.
//  - inotify_add_watch on an inode that is already watched returns the existing descriptor and replaces
//    its mask unless IN_MASK_ADD is given; ancestor watches therefore only ever add to a mask.
//  - On queue overflow (IN_Q_OVERFLOW) anything may have been lost, IN_IGNORED included.
//  - A watch follows its inode, not its path: when an ancestor of a root is renamed, the root's watches
//    keep reporting under the old path. Every ancestor of an active root is therefore watched for
//    IN_MOVE_SELF / IN_DELETE_SELF, and the root is re-resolved by path when one fires.

#include "PendingChanges.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct inotify_event;

namespace tw {

class WatchTree
{
public:
    using WarningSink =
        std::function<void(const std::string& path, std::string_view rule, const std::string& reason)>;

    WatchTree(PendingChanges& pending, WarningSink warn);
    ~WatchTree();
    WatchTree(const WatchTree&) = delete;
    WatchTree& operator=(const WatchTree&) = delete;

    // The inotify descriptor to poll for reading (non-blocking); -1 when inotify could not be started.
    int fd() const { return m_fd; }

    // Replaces the watched set. Roots that stay are left alone; dropped roots are released; new roots are
    // walked (their existing files are not reported) or wait for their directory to appear. A root
    // below another root is covered by that one.
    void setRoots(const std::vector<std::string>& roots);

    // Reads and handles every queued event, until the queue is empty.
    void handleEvents();

private:
    struct Root;
    struct Node
    {
        int wd = -1;
        Node* parent = nullptr;
        Root* root = nullptr;
        std::string name; // the root's node holds the root's full path
        std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
        unsigned seen = 0;
    };
    struct Root
    {
        std::string path;
        std::unique_ptr<Node> top; // null while waiting for the directory to exist
        int ancestorWd = -1;
        std::vector<int> guardWds; // the active root's ancestors, watched for being renamed or deleted
        bool warnedNotDirectory = false;
    };
    struct WatchUse
    {
        Node* node = nullptr;
        std::vector<Root*> waiters; // roots waiting for a directory to appear here
        std::vector<Root*> guarded; // active roots below this ancestor
    };
    enum class Scan { Silent, Report, Rescan };
    struct ScanMode
    {
        Scan kind = Scan::Silent;
        std::string_view word;
        long long sinceNs = 0; // Rescan: files whose status changed at or after this time
    };

    std::string pathOf(const Node* node) const;
    static std::string join(const std::string& dir, std::string_view name);

    int addWatch(const std::string& path, bool isRoot);
    void dropWatchUse(int wd);
    void releaseSubtree(Node* node);
    std::unique_ptr<Node> detachChild(Node* parent, std::string_view name);
    Node* attachChild(Node* parent, std::string_view name, int wd);
    Node* hang(Node* parent, std::string_view name, std::unique_ptr<Node> child);
    static bool isTop(const Node* node);
    void scan(Node* start, const ScanMode& mode);
    struct ScanItem
    {
        Node* node;
        ScanMode mode;
    };
    void scanOne(Node* node, const ScanMode& mode, std::vector<ScanItem>& stack);

    void activateOrWait(Root& root, const ScanMode& mode);
    void waitForAncestor(Root& root, bool recheck);
    void stopWaiting(Root& root);
    void guardAncestors(Root& root);
    void dropGuards(Root& root);
    void releaseRoot(Root& root);
    void rootLost(Root& root);

    void handleEvent(const inotify_event& event);
    void handleTreeEvent(Node* node, const inotify_event& event);
    void handleDirectoryEntry(Node* node, const inotify_event& event, const std::string& path);
    void handleFileEntry(const inotify_event& event, const std::string& path);
    void settleMoves();
    void recoverFromOverflow();

    void warn(const std::string& path, int error, std::string_view context);
    void beginPass();
    void endPass();

    PendingChanges& m_pending;
    WarningSink m_warn;
    int m_fd = -1;
    int m_initError = 0;
    std::map<std::string, std::unique_ptr<Root>> m_roots;
    std::unordered_map<int, WatchUse> m_watches;
    std::unordered_map<uint32_t, std::unique_ptr<Node>> m_movedDirs;
    std::unordered_map<uint32_t, std::vector<std::string>> m_movedFiles;
    unsigned m_generation = 0;
    bool m_overflow = false;
    long long m_lastDrainedNs = 0;
    size_t m_passWarnings = 0;
    size_t m_passSuppressed = 0;
    std::string m_lastSuppressed;
    std::string_view m_lastSuppressedRule;
};

} // namespace tw
