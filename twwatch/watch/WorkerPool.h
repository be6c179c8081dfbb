#pragma once

// Evaluates changes off the watching thread, so that slow rule matching never delays draining the
// inotify queue. Each worker owns one Evaluator. A path is never evaluated by two workers at once: a new
// change for a path that is being evaluated waits (merged with any other waiting change for it) until
// that evaluation is done, so lines for one path come out in the order of its changes.

#include "EventWriter.h"
#include "RuleEngine.h"

#include <chrono>
#include <condition_variable>
#include <deque>
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
    WorkerPool(const RuleEngine& engine, EventWriter& writer, unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void submit(std::vector<Change> changes);
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
