#include "WorkerPool.h"

#include <algorithm>
#include <exception>
#include <iostream>

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

WorkerPool::WorkerPool(const RuleEngine& engine, EventWriter& writer, unsigned threads)
    : m_writer(writer)
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
                m_queue.push_back(std::move(change));
            }
        }
    }
    m_wake.notify_all();
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
    m_queue.clear();
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
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty() || !m_lines.empty(); });
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
        Change change = std::move(m_queue.front());
        m_queue.pop_front();
        // Same path already being evaluated (queued twice before either started): wait behind it.
        if (m_inFlight.count(change.path)) {
            auto [it, inserted] = m_waiting.try_emplace(change.path, change);
            if (!inserted)
                mergeWords(it->second.types, change.types);
            continue;
        }
        m_inFlight.insert(change.path);
        lock.unlock();

        std::vector<RuleMatch> matches;
        try {
            matches = evaluator->evaluate(change);
        } catch (const std::exception& e) {
            std::cerr << "twwatch: evaluating a change failed: " << e.what() << '\n';
        }
        for (const auto& match : matches) {
            if (!m_writer.write(change, match))
                break;
        }

        lock.lock();
        m_inFlight.erase(change.path);
        const auto next = m_waiting.find(change.path);
        if (next != m_waiting.end()) {
            m_queue.push_back(std::move(next->second));
            m_waiting.erase(next);
            m_wake.notify_one();
        }
    }
}

} // namespace tw
