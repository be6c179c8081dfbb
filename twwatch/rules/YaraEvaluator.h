#pragma once

// The YARA evaluator: one per worker thread, each with its own scanners (one per rule set) and read
// buffer over the shared compiled rules, so evaluations on different threads never contend. A file is
// read once and scanned by every set whose scope contains it; a set of several files keeps only the
// matches of rules whose own file's scope contains it.

#include "rules/RuleCompiler.h"
#include "watch/RuleEngine.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

typedef struct YR_SCAN_CONTEXT YR_SCANNER;

namespace tw {

class YaraEvaluator : public Evaluator
{
public:
    // `contentBound`: how much of each file the content rules see (kContentBound unless testing).
    YaraEvaluator(const std::vector<RuleSet>& sets, std::size_t contentBound);
    ~YaraEvaluator() override;
    YaraEvaluator(const YaraEvaluator&) = delete;
    YaraEvaluator& operator=(const YaraEvaluator&) = delete;

    std::vector<RuleMatch> evaluate(const Change& change) override;

private:
    struct Scanner
    {
        PathScope scope;
        std::map<std::string, PathScope> namespaceScopes;
        std::shared_ptr<const CompiledRules> rules; // keeps the rules alive as long as the scanner
        YR_SCANNER* scanner = nullptr;
    };
    std::vector<Scanner> m_scanners;
    std::size_t m_bound;
    std::vector<unsigned char> m_buffer;
};

class YaraRuleEngine : public RuleEngine
{
public:
    YaraRuleEngine(std::vector<RuleSet> sets, std::size_t contentBound);
    std::unique_ptr<Evaluator> makeEvaluator() const override;

private:
    std::vector<RuleSet> m_sets;
    std::size_t m_bound;
};

} // namespace tw
