// `twwatch --scan DIR...`: an audit of trees that are already there, with the watcher's rules, pruning
// and event lines. One thread walks the trees and hands out batches of files as it finds them, one
// worker per core evaluates them, and the lines come out in walk order, so two audits of the same tree
// print the same thing.

#include "rules/RuleLoader.h"
#include "rules/TreeWalk.h"
#include "watch/EventWriter.h"
#include "watch/ExitCode.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace tw {

namespace {

constexpr std::size_t kBatch = 64;

using Batch = std::vector<std::string>;

struct Finding
{
    std::size_t file; // index in its batch
    RuleMatch match;
};

// Batches in walk order: published by the walker, taken by workers, their findings written in order.
class ScanQueue
{
public:
    void publish(Batch batch)
    {
        std::lock_guard lock(m_mutex);
        m_batches.push_back(std::make_shared<const Batch>(std::move(batch)));
        m_cv.notify_all();
    }

    void finishWalk()
    {
        std::lock_guard lock(m_mutex);
        m_walkDone = true;
        m_cv.notify_all();
    }

    // The next batch to evaluate and its number, or nothing once the walk is over and all are taken.
    std::optional<std::pair<std::size_t, std::shared_ptr<const Batch>>> take()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_taken < m_batches.size() || m_walkDone; });
        if (m_taken >= m_batches.size())
            return std::nullopt;
        const std::size_t n = m_taken++;
        return std::make_pair(n, m_batches[n]);
    }

    void deliver(std::size_t batch, std::vector<Finding> findings)
    {
        std::lock_guard lock(m_mutex);
        m_ready.emplace(batch, std::move(findings));
        m_cv.notify_all();
    }

    // Writes the findings batch by batch in walk order; returns when every batch has been written.
    void drain(EventWriter& writer)
    {
        const std::vector<std::string> noTypes;
        for (std::size_t next = 0;; ++next) {
            std::vector<Finding> findings;
            std::shared_ptr<const Batch> batch;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [&] {
                    return m_ready.count(next) != 0 || (m_walkDone && next >= m_batches.size());
                });
                if (m_ready.count(next) == 0)
                    return;
                findings = std::move(m_ready[next]);
                m_ready.erase(next);
                batch = m_batches[next];
                m_batches[next].reset(); // written: its paths are no longer needed
            }
            for (const auto& f : findings)
                writer.write(Change{(*batch)[f.file], noTypes}, f.match);
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::shared_ptr<const Batch>> m_batches;
    std::size_t m_taken = 0;
    bool m_walkDone = false;
    std::map<std::size_t, std::vector<Finding>> m_ready;
};

} // namespace

int runScan(const std::vector<std::string>& dirs, const RuleLoadOptions& options, std::ostream& err)
{
    RuleLoadOptions perScope = options;
    perScope.grouping = RuleGrouping::PerScope; // throughput over memory: the process is short-lived
    auto engine = loadRuleEngine(perScope, err);
    ignoreSigpipe();
    EventWriter writer(1);
    ScanQueue queue;

    bool allRead = true;
    std::thread walker([&] {
        Batch batch;
        for (const auto& dir : dirs) {
            std::error_code ec;
            // Event paths are absolute, as the watcher's are.
            const std::string root = std::filesystem::absolute(dir, ec).lexically_normal().string();
            const bool read = walkTree(
                ec ? dir : root,
                [&](std::string path) {
                    batch.push_back(std::move(path));
                    if (batch.size() == kBatch)
                        queue.publish(std::exchange(batch, {}));
                },
                err);
            allRead = allRead && read;
        }
        if (!batch.empty())
            queue.publish(std::move(batch));
        queue.finishWalk();
    });

    const unsigned workers = std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 16);
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            auto evaluator = engine->makeEvaluator();
            while (auto job = queue.take()) {
                std::vector<Finding> findings;
                const Batch& files = *job->second;
                for (std::size_t i = 0; i < files.size(); ++i) {
                    // In an audit nothing has changed: the change words are empty.
                    for (auto& m : evaluator->evaluate(Change{files[i], {}}))
                        findings.push_back({i, std::move(m)});
                }
                queue.deliver(job->first, std::move(findings));
            }
        });
    }
    queue.drain(writer);
    walker.join();
    for (auto& t : threads)
        t.join();
    return exitStatus(allRead ? ExitCode::Ok : ExitCode::FolderUnreadable);
}

} // namespace tw
