#pragma once

// Evaluates changes off the watching thread, so that slow rule matching never delays draining the
// inotify queue. Each worker owns one Evaluator. A path is never evaluated by two workers at once: a new
// change for a path that is being evaluated waits (merged with any other waiting change for it) until
// that evaluation is done, so lines for one path come out in the order of its changes.
//
// The queue is bounded: the caller hands over no more than room() changes and keeps the rest (pending,
// where memory is bounded too); urgent changes jump ahead of every ordinary one. Paths whose file could
// not be read are kept for a later retry (takeRetries()).
//
// Audits (files that were already there when a root was added, or that changed while the watcher was
// not running) have a lane of their own, below everything live: a worker takes an audit change only
// when no live change is queued, and only one worker audits at a time, so a long audit neither delays
// a live change by more than the one file in evaluation nor takes more than one core.

#include "EventWriter.h"
#include "RuleEngine.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tw {

class WorkerPool
{
public:
    static constexpr size_t defaultCapacity = 1024;
    static constexpr size_t maxRetries = 4096;
    static constexpr size_t auditCapacity = 64;

    // `notify` is called from a worker when room has come after wantRoom(), or a retry was added.
    WorkerPool(
        const RuleEngine& engine, EventWriter& writer, unsigned threads, std::function<void()> notify = [] {},
        size_t capacity = defaultCapacity);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void submit(std::vector<Change> changes);
    // How many more changes submit() may take now.
    size_t room();
    // Asks for `notify` once the queue has drained to half.
    void wantRoom();
    // The audit lane: at most auditRoom() changes at a time; wantAuditRoom() asks for `notify` once it
    // has drained to half.
    void submitAudit(std::vector<Change> changes);
    size_t auditRoom();
    void wantAuditRoom();
    // True when nothing is queued, waiting or in evaluation; wantIdle() asks for `notify` once so.
    bool idle();
    // True when nothing waits to be evaluated (evaluations may be under way).
    bool nothingQueued();
    void wantIdle();
    // Paths whose file could not be read since the last call.
    std::vector<std::string> takeRetries();
    // A ready line (a warning), written by a worker so that the watching thread never blocks on output.
    void submit(EventLine line);
    // Stops the workers once their current evaluation is done; changes still queued are dropped.
    // False when a worker is still busy after `grace` (blocked writing to a reader that stopped
    // reading, say): the caller should then end the process rather than wait for it.
    bool stop(std::chrono::milliseconds grace = std::chrono::milliseconds::max());

    static unsigned defaultThreadCount();

private:
    void run(const RuleEngine& engine);

    EventWriter& m_writer;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    size_t queuedLocked() const { return m_urgent.size() + m_queue.size(); }
    void queueLocked(Change change);

    std::function<void()> m_notify;
    size_t m_capacity;
    bool m_wantRoom = false;
    bool m_wantAuditRoom = false;
    bool m_wantIdle = false;
    bool m_auditing = false; // a worker is evaluating an audit change
    std::deque<Change> m_audit;
    bool idleLocked() const;
    void noteIdleLocked();
    std::vector<std::string> m_retries;
    std::deque<Change> m_urgent;
    std::deque<Change> m_queue;
    std::deque<EventLine> m_lines;
    std::unordered_set<std::string> m_inFlight;
    std::unordered_map<std::string, Change> m_waiting;
    bool m_stopping = false;
    unsigned m_running = 0;
    std::condition_variable m_finished;
    std::vector<std::thread> m_threads;
};

} // namespace tw
