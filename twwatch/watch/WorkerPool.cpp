#include "WorkerPool.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <utility>

namespace tw {
namespace {

void mergeWords(std::vector<std::string>& into, const std::vector<std::string>& words)
{
    for (const auto& word : words) {
        if (std::find(into.begin(), into.end(), word) == into.end())
            into.push_back(word);
    }
}

} // namespace

WorkerPool::WorkerPool(const RuleEngine& engine, EventWriter& writer, unsigned threads,
                       std::function<void()> notify, size_t capacity)
    : m_writer(writer)
    , m_notify(std::move(notify))
    , m_capacity(std::max<size_t>(1, capacity))
{
    m_running = std::max(1u, threads);
    for (unsigned i = 0; i < m_running; ++i)
        m_threads.emplace_back([this, &engine] {
            run(engine);
            std::lock_guard lock(m_mutex);
            --m_running;
            m_finished.notify_all();
        });
}

WorkerPool::~WorkerPool()
{
    stop();
}

unsigned WorkerPool::defaultThreadCount()
{
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
}

void WorkerPool::submit(std::vector<Change> changes)
{
    if (changes.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        for (auto& change : changes) {
            if (m_inFlight.count(change.path)) {
                auto [it, inserted] = m_waiting.try_emplace(change.path, change);
                if (!inserted)
                    mergeWords(it->second.types, change.types);
            } else {
                queueLocked(std::move(change));
            }
        }
    }
    m_wake.notify_all();
}

void WorkerPool::queueLocked(Change change)
{
    (change.urgent ? m_urgent : m_queue).push_back(std::move(change));
}

size_t WorkerPool::room()
{
    std::lock_guard lock(m_mutex);
    return m_capacity - std::min(m_capacity, queuedLocked());
}

void WorkerPool::wantRoom()
{
    std::lock_guard lock(m_mutex);
    // The workers may have drained the queue already: then no later pop would ever call.
    if (queuedLocked() <= m_capacity / 2)
        m_notify();
    else
        m_wantRoom = true;
}

void WorkerPool::submitAudit(std::vector<Change> changes)
{
    if (changes.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        for (auto& change : changes)
            m_audit.push_back(std::move(change));
    }
    m_wake.notify_one();
}

size_t WorkerPool::auditRoom()
{
    std::lock_guard lock(m_mutex);
    return auditCapacity - std::min(auditCapacity, m_audit.size());
}

void WorkerPool::wantAuditRoom()
{
    std::lock_guard lock(m_mutex);
    if (m_audit.size() <= auditCapacity / 2)
        m_notify();
    else
        m_wantAuditRoom = true;
}

bool WorkerPool::idleLocked() const
{
    return queuedLocked() == 0 && m_audit.empty() && m_inFlight.empty() && m_waiting.empty();
}

bool WorkerPool::idle()
{
    std::lock_guard lock(m_mutex);
    return idleLocked();
}

bool WorkerPool::nothingQueued()
{
    std::lock_guard lock(m_mutex);
    return queuedLocked() == 0 && m_audit.empty() && m_waiting.empty();
}

void WorkerPool::wantIdle()
{
    std::lock_guard lock(m_mutex);
    if (idleLocked())
        m_notify();
    else
        m_wantIdle = true;
}

void WorkerPool::noteIdleLocked()
{
    if (m_wantIdle && idleLocked()) {
        m_wantIdle = false;
        m_notify();
    }
}

std::vector<std::string> WorkerPool::takeRetries()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_retries, {});
}

void WorkerPool::submit(EventLine line)
{
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(std::move(line));
    }
    m_wake.notify_one();
}

bool WorkerPool::stop(std::chrono::milliseconds grace)
{
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    m_urgent.clear();
    m_queue.clear();
    m_audit.clear();
    m_lines.clear();
    m_waiting.clear();
    m_wake.notify_all();
    const bool done = grace == std::chrono::milliseconds::max()
                          ? (m_finished.wait(lock, [this] { return m_running == 0; }), true)
                          : m_finished.wait_for(lock, grace, [this] { return m_running == 0; });
    lock.unlock();
    if (!done)
        return false;
    for (auto& thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
    m_threads.clear();
    return true;
}

void WorkerPool::run(const RuleEngine& engine)
{
    std::unique_ptr<Evaluator> evaluator = engine.makeEvaluator();
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] {
            return m_stopping || queuedLocked() != 0 || !m_lines.empty() || (!m_audit.empty() && !m_auditing);
        });
        if (m_stopping)
            return;
        if (!m_lines.empty()) {
            EventLine line = std::move(m_lines.front());
            m_lines.pop_front();
            lock.unlock();
            m_writer.write(line);
            lock.lock();
            continue;
        }
        const bool audit = queuedLocked() == 0;
        auto& from = !m_urgent.empty() ? m_urgent : !m_queue.empty() ? m_queue : m_audit;
        Change change = std::move(from.front());
        from.pop_front();
        if (audit) {
            if (m_wantAuditRoom && m_audit.size() <= auditCapacity / 2) {
                m_wantAuditRoom = false;
                m_notify();
            }
        } else if (m_wantRoom && queuedLocked() <= m_capacity / 2) {
            m_wantRoom = false;
            m_notify();
        }
        // Same path already being evaluated (queued twice before either started): wait behind it.
        if (m_inFlight.count(change.path)) {
            auto [it, inserted] = m_waiting.try_emplace(change.path, change);
            if (!inserted)
                mergeWords(it->second.types, change.types);
            continue;
        }
        m_inFlight.insert(change.path);
        m_auditing = m_auditing || audit;
        lock.unlock();

        std::vector<RuleMatch> matches;
        try {
            matches = evaluator->evaluate(change);
        } catch (const std::exception& e) {
            std::cerr << "twwatch: evaluating a change failed: " << e.what() << '\n';
        }
        bool readFailed = false;
        for (const auto& match : matches) {
            readFailed = readFailed || !match.readFailure.empty();
            if (!m_writer.write(change, match))
                break;
        }

        lock.lock();
        if (readFailed && m_retries.size() < maxRetries) {
            m_retries.push_back(change.path);
            m_notify();
        }
        m_inFlight.erase(change.path);
        const auto next = m_waiting.find(change.path);
        if (next != m_waiting.end()) {
            queueLocked(std::move(next->second));
            m_waiting.erase(next);
            m_wake.notify_one();
        }
        if (audit) {
            m_auditing = false;
            m_wake.notify_one();
        }
        noteIdleLocked();
    }
}

} // namespace tw
