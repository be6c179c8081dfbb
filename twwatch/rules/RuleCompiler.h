#pragma once

// Turns rule files into shared sets of compiled rules.
//
// Each file is first compiled on its own: libyara's compiler is unusable after its first error, so this
// is how one broken file is named and skipped without costing the others. A file that declares a path
// scope (PathScope.h) keeps that compilation as a set of its own, evaluated only inside its scope. The
// other files that pass are compiled together into one set, each in its own namespace so that two files
// may reuse a rule name. Rules refused for their severity are disabled in the result.

#include "rules/PathScope.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

typedef struct YR_RULES YR_RULES;

namespace tw {

// The severities a rule may declare in its `severity` meta, compared exactly.
bool isKnownSeverity(const std::string& severity);

struct CompiledRules
{
    explicit CompiledRules(YR_RULES* r)
        : rules(r)
    {
    }
    ~CompiledRules();
    CompiledRules(const CompiledRules&) = delete;
    CompiledRules& operator=(const CompiledRules&) = delete;
    YR_RULES* rules;
};

struct RuleFileReport
{
    std::filesystem::path file;
    bool compiled = false;
    std::vector<std::string> loadedRules;  // rules that will report, in file order
    std::vector<std::string> refusedRules; // rules disabled for a missing or unknown severity
    PathScope scope;
};

struct RuleSet
{
    PathScope scope; // everything for the set of unscoped files
    std::shared_ptr<const CompiledRules> rules;
};

struct CompileOutcome
{
    std::vector<RuleSet> sets; // none when no rule file loaded
    std::vector<RuleFileReport> files;
    std::size_t loadedRuleCount() const;
    bool allAccepted() const;
};

// Problems go to `diagnostics`, one line each, naming the file (and line) and YARA's message.
CompileOutcome compileRuleFiles(const std::vector<std::filesystem::path>& files, std::ostream& diagnostics);

} // namespace tw
