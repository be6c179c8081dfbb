// `twwatch --scan DIR...`: an audit of trees that are already there, with the watcher's rules, pruning
// and event lines. Files are evaluated by one worker per core; the lines come out in walk order, so
// two audits of the same tree print the same thing.

#include "rules/RuleLoader.h"
#include "rules/TreeWalk.h"
#include "watch/EventWriter.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace tw {

namespace {

constexpr std::size_t kBatch = 64;

struct Finding
{
    std::size_t file;
    RuleMatch match;
};

class OrderedOutput
{
public:
    explicit OrderedOutput(const std::vector<std::string>& files, EventWriter& writer)
        : m_files(files)
        , m_writer(writer)
    {
    }

    void deliver(std::size_t batch, std::vector<Finding> findings)
    {
        std::lock_guard lock(m_mutex);
        m_ready.emplace(batch, std::move(findings));
        m_cv.notify_one();
    }

    // Writes batches in order as they complete; returns when all `batches` have been written.
    void drain(std::size_t batches)
    {
        const std::vector<std::string> noTypes;
        for (std::size_t next = 0; next < batches; ++next) {
            std::vector<Finding> findings;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [&] { return m_ready.count(next) != 0; });
                findings = std::move(m_ready[next]);
                m_ready.erase(next);
            }
            for (const auto& f : findings)
                m_writer.write(Change{m_files[f.file], noTypes}, f.match);
        }
    }

private:
    const std::vector<std::string>& m_files;
    EventWriter& m_writer;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<std::size_t, std::vector<Finding>> m_ready;
};

} // namespace

int runScan(const std::vector<std::string>& dirs, const RuleLoadOptions& options, std::ostream& err)
{
    auto engine = loadRuleEngine(options, err);

    bool allRead = true;
    std::vector<std::string> files;
    for (const auto& dir : dirs) {
        std::error_code ec;
        // Event paths are absolute, as the watcher's are.
        const std::string root = std::filesystem::absolute(dir, ec).lexically_normal().string();
        if (!walkTree(
                ec ? dir : root, [&](std::string path) { files.push_back(std::move(path)); }, err))
            allRead = false;
    }

    ignoreSigpipe();
    EventWriter writer(1);
    OrderedOutput output(files, writer);
    const std::size_t batches = (files.size() + kBatch - 1) / kBatch;
    std::atomic<std::size_t> nextBatch{0};
    const unsigned workers = std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 16);
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < std::min<std::size_t>(workers, std::max<std::size_t>(batches, 1)); ++w) {
        threads.emplace_back([&] {
            auto evaluator = engine->makeEvaluator();
            for (std::size_t b; (b = nextBatch.fetch_add(1)) < batches;) {
                std::vector<Finding> findings;
                const std::size_t end = std::min(files.size(), (b + 1) * kBatch);
                for (std::size_t i = b * kBatch; i < end; ++i) {
                    // In an audit nothing has changed: the change words are empty.
                    for (auto& m : evaluator->evaluate(Change{files[i], {}}))
                        findings.push_back({i, std::move(m)});
                }
                output.deliver(b, std::move(findings));
            }
        });
    }
    output.drain(batches);
    for (auto& t : threads)
        t.join();
    return allRead ? 0 : 2;
}

} // namespace tw
