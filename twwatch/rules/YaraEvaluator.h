#pragma once

// The YARA evaluator: one per worker thread, each with its own scanner and read buffer over the shared
// compiled rules, so evaluations on different threads never contend.

#include "rules/RuleCompiler.h"
#include "watch/RuleEngine.h"

#include <memory>
#include <vector>

typedef struct YR_SCAN_CONTEXT YR_SCANNER;

namespace tw {

class YaraEvaluator : public Evaluator
{
public:
    // `contentBound`: how much of each file the content rules see (kContentBound unless testing).
    YaraEvaluator(std::shared_ptr<const CompiledRules> rules, std::size_t contentBound);
    ~YaraEvaluator() override;
    YaraEvaluator(const YaraEvaluator&) = delete;
    YaraEvaluator& operator=(const YaraEvaluator&) = delete;

    std::vector<RuleMatch> evaluate(const Change& change) override;

private:
    std::shared_ptr<const CompiledRules> m_rules;
    std::size_t m_bound;
    YR_SCANNER* m_scanner = nullptr;
    std::vector<unsigned char> m_buffer;
};

class YaraRuleEngine : public RuleEngine
{
public:
    explicit YaraRuleEngine(std::shared_ptr<const CompiledRules> rules, std::size_t contentBound);
    std::unique_ptr<Evaluator> makeEvaluator() const override;

private:
    std::shared_ptr<const CompiledRules> m_rules;
    std::size_t m_bound;
};

} // namespace tw
