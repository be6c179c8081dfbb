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
// Folders that appear (made, moved in, found after lost events) are listed a slice at a time
// (continueScans()), and only while the pending changes have room: a million files moved in at once
// neither fill memory nor keep the events of a hook written meanwhile waiting. A live event that finds no
// room is not dropped either: its folder is rescanned for what changed once there is room again.
//
// A folder that closes to the watcher (its mode changes so that the watcher can no longer enter it) is
// remembered; when it opens again, its subtree is rescanned for everything that changed while it was
// closed, and the files that could not be read meanwhile (retryLater()) are read again.
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
#include "RuleEngine.h"

#include <deque>
#include <dirent.h>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct inotify_event;

namespace tw {

class WatchTree
{
public:
    // How a root that is added gets audited: every file in it reported with `word`, or, with sinceNs
    // set, only those whose status changed (ctime, CLOCK_REALTIME nanoseconds) at or after it.
    struct AuditStart
    {
        std::string_view word = words::existing;
        long long sinceNs = 0;
    };
    using AuditPlan = std::function<AuditStart(const std::string& root)>;

    static constexpr size_t maxRetries = 4096;

    using WarningSink =
        std::function<void(const std::string& path, std::string_view rule, const std::string& reason)>;

    WatchTree(PendingChanges& pending, WarningSink warn);
    ~WatchTree();
    WatchTree(const WatchTree&) = delete;
    WatchTree& operator=(const WatchTree&) = delete;

    // The inotify descriptor to poll for reading (non-blocking); -1 when inotify could not be started.
    int fd() const { return m_fd; }

    // Replaces the watched set. Roots that stay are left alone; dropped roots are released; new roots are
    // walked at once (watched, nothing reported) and queued for an audit (continueAudits()), or wait for
    // their directory to appear (then everything in it is "created"). A root below another root is
    // covered by that one.
    void setRoots(const std::vector<std::string>& roots);
    // Decides each new root's audit; without a plan, every file is reported "existing".
    void setAuditPlan(AuditPlan plan) { m_auditPlan = std::move(plan); }

    // The audit: lists up to `budget` entries of the folders still to be audited and returns at most
    // `room` changes, reading the folders the watch tree holds (so the watcher's own pruning applies
    // and nothing is followed through a link).
    std::vector<Change> continueAudits(size_t budget, size_t room);
    bool hasAuditWork() const { return !m_audits.empty(); }
    // The active roots whose audit is done (or that never needed one): what they hold has been handed
    // to the workers.
    std::vector<std::string> auditedRoots() const;

    // Reads and handles every queued event, until the queue is empty.
    void handleEvents();
    // Lists up to `budget` entries of the folders waiting to be listed, while the pending changes have
    // room.
    void continueScans(size_t budget);
    bool hasScanWork() const { return !m_scans.empty() || !m_deferred.empty(); }
    // Files that exist but could not be read: read again when a folder above them opens.
    void retryLater(const std::vector<std::string>& paths);

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
        unsigned listing = 0;        // the generation of a listing in progress
        long long closedSinceNs = 0; // when the folder was seen closing to the watcher
    };
    struct Root
    {
        std::string path;
        std::unique_ptr<Node> top; // null while waiting for the directory to exist
        int ancestorWd = -1;
        std::vector<int> guardWds; // the active root's ancestors, watched for being renamed or deleted
        bool warnedNotDirectory = false;
        size_t auditsLeft = 0; // folders of this root still queued for its audit
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
    struct DirCloser
    {
        void operator()(DIR* dir) const;
    };
    using DirPtr = std::unique_ptr<DIR, DirCloser>;
    // The folder of `wd` while it is still in the tree; null once gone or renamed away (whatever brings
    // it back lists it again).
    Node* liveFolder(int wd) const;
    // Opens a folder for reading; only a top folder may be reached through a link. Null with errno set.
    static DirPtr openFolder(const Node* node, const std::string& path);
    struct ScanWork
    {
        int wd = -1; // the folder's node is looked up again each time: it may have gone meanwhile
        ScanMode mode;
        DirPtr dir;
        unsigned generation = 0;
    };
    void scan(Node* start, const ScanMode& mode);
    struct AuditWork
    {
        int wd = -1;
        Root* root = nullptr;
        AuditStart start;
        DirPtr dir;
    };
    void queueAudit(Root& root);
    bool auditSome(AuditWork& work, size_t& budget, std::vector<Change>& out, size_t room);
    void runScans(std::deque<ScanWork>& queue, size_t& budget);
    bool listSome(ScanWork& work, std::deque<ScanWork>& queue, size_t& budget);
    void noteEvent(const Node* node, const std::string& path, std::string_view word,
                   PendingChanges::Writing writing);
    void folderModeChanged(Node* node);

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
    void handleFileEntry(const Node* node, const inotify_event& event, const std::string& path);
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
    std::deque<ScanWork> m_scans;
    std::deque<AuditWork> m_audits;
    AuditPlan m_auditPlan;
    std::map<int, long long> m_deferred; // folders with changes that found no room, and since when
    std::set<std::string> m_retry;
    unsigned m_generation = 0;
    bool m_overflow = false;
    long long m_lastDrainedNs = 0;
    size_t m_passWarnings = 0;
    size_t m_passSuppressed = 0;
    std::string m_lastSuppressed;
    std::string_view m_lastSuppressedRule;
};

} // namespace tw
