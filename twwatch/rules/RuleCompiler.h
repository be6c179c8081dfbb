#pragma once

// Turns rule files into shared sets of compiled rules.
//
// Each file is first compiled on its own: libyara's compiler is unusable after its first error, so this
// is how one broken file is named and skipped without costing the others. The files that pass are then
// grouped into sets (RuleGrouping), each file in its own namespace so that two files may reuse a rule
// name. Rules refused for their severity are disabled in the result.
//
// libyara's compiler reserves 1 MiB per table of a set whatever it holds (about 9 MiB resident), so a
// compiled set is saved and loaded back, which leaves tables sized to their content. Each worker still
// keeps a scanner per set, and the watcher still takes one set: a set per scoped file buys speed with
// scanners and passes over each file.

#include "rules/PathScope.h"

#include <filesystem>
#include <map>
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

enum class RuleGrouping {
    // A set of its own for each file that declares a path scope (PathScope.h), searched only inside
    // that scope, and one set for the other files: no file is searched by rules that cannot apply.
    PerScope,
    // One set for all files; a match of a scoped file's rule counts only inside that file's scope.
    OneSet,
};

struct RuleSet
{
    PathScope scope; // the paths the set is evaluated on: everything for a set of several files
    std::shared_ptr<const CompiledRules> rules;
    // The scopes of the scoped files inside a set of several, by their namespace (YR_NAMESPACE name).
    std::map<std::string, PathScope> namespaceScopes;
    // Every file of the set declares a scope: no rule of it reports outside their union.
    bool onlyScopedFiles = false;

    // Whether any rule of the set could report on this path.
    bool appliesTo(const std::string& path, const std::string& name) const;
};

struct CompileOutcome
{
    std::vector<RuleSet> sets; // none when no rule file loaded
    std::vector<RuleFileReport> files;
    std::size_t loadedRuleCount() const;
    bool allAccepted() const;
};

// Problems go to `diagnostics`, one line each, naming the file (and line) and YARA's message.
CompileOutcome compileRuleFiles(const std::vector<std::filesystem::path>& files, std::ostream& diagnostics,
                                RuleGrouping grouping = RuleGrouping::PerScope);

} // namespace tw
