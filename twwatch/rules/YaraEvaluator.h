#pragma once

// The YARA evaluator: one per worker thread, each with its own scanners (one per rule set) and read
// buffer over the shared compiled rules, so evaluations on different threads never contend. A file that
// no set applies to is not even opened. Otherwise it is read once, its views derived (views/), and each
// view scanned by every set whose scope contains it; a set of several files keeps only the matches of
// rules whose own file's scope contains it. A rule reports once per file, from the first view it
// matches in.
//
// Only one evaluator at a time holds a buffer larger than kHeadBound: two workers reading two large
// bundles at once would double the watcher's peak memory, and large files are rare.

#include "rules/RuleCompiler.h"
#include "rules/views/DerivedViews.h"
#include "watch/RuleEngine.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct YR_SCAN_CONTEXT YR_SCANNER;
typedef struct YR_RULE YR_RULE;

namespace tw {

class YaraEvaluator : public Evaluator
{
public:
    // `contentBound`: how much of each file the content rules see (kContentBound unless testing);
    // `largeReads`: shared by the evaluators of one engine.
    YaraEvaluator(const std::vector<RuleSet>& sets, std::size_t contentBound,
                  std::shared_ptr<std::mutex> largeReads);
    ~YaraEvaluator() override;
    YaraEvaluator(const YaraEvaluator&) = delete;
    YaraEvaluator& operator=(const YaraEvaluator&) = delete;

    std::vector<RuleMatch> evaluate(const Change& change) override;

private:
    struct Scanner
    {
        const RuleSet* set; // the engine's, which outlives its evaluators
        YR_SCANNER* scanner = nullptr;
    };
    void scanView(Scanner& s, const FileFacts& facts, const char* view, std::string_view content,
                  std::vector<RuleMatch>& matches);

    std::vector<Scanner> m_scanners;
    std::vector<Scanner*> m_applying;
    std::vector<const YR_RULE*> m_seen;
    std::size_t m_bound;
    std::shared_ptr<std::mutex> m_largeReads;
    std::vector<unsigned char> m_buffer;
    DerivedViews m_views;
};

class YaraRuleEngine : public RuleEngine
{
public:
    YaraRuleEngine(std::vector<RuleSet> sets, std::size_t contentBound);
    std::unique_ptr<Evaluator> makeEvaluator() const override;

private:
    std::vector<RuleSet> m_sets;
    std::size_t m_bound;
    std::shared_ptr<std::mutex> m_largeReads = std::make_shared<std::mutex>();
};

} // namespace tw
