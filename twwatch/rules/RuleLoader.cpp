#include "rules/RuleLoader.h"

#include "rules/FileSnapshot.h"
#include "rules/RuleCompiler.h"
#include "rules/RuleDirectories.h"
#include "rules/YaraEvaluator.h"
#include "rules/YaraRuntime.h"
#include "watch/ExitCode.h"

namespace tw {

namespace {

// An engine that never matches, for a process in which libyara itself could not start.
class NoRules : public RuleEngine
{
    class Silent : public Evaluator
    {
        std::vector<RuleMatch> evaluate(const Change&) override { return {}; }
    };

public:
    std::unique_ptr<Evaluator> makeEvaluator() const override { return std::make_unique<Silent>(); }
};

} // namespace

std::unique_ptr<RuleEngine> loadRuleEngine(const RuleLoadOptions& options, std::ostream& diagnostics)
{
    if (!yara::ensureInitialized()) {
        diagnostics << "twwatch: libyara could not be initialised; no rules loaded\n";
        return std::make_unique<NoRules>();
    }
    CompileOutcome outcome = compileRuleFiles(ruleFiles(options, diagnostics), diagnostics, options.grouping);
    if (outcome.loadedRuleCount() == 0)
        diagnostics << "twwatch: no rules loaded\n";
    return std::make_unique<YaraRuleEngine>(std::move(outcome.sets), kContentBound);
}

int runCheckRules(const RuleLoadOptions& options, std::ostream& out, std::ostream& err)
{
    if (!yara::ensureInitialized()) {
        err << "twwatch: libyara could not be initialised\n";
        return exitStatus(ExitCode::SystemFailure);
    }
    const CompileOutcome outcome = compileRuleFiles(ruleFiles(options, err), err, options.grouping);
    for (const auto& f : outcome.files) {
        out << f.file.string() << ": ";
        if (!f.compiled) {
            out << "not loaded (does not compile)\n";
            continue;
        }
        out << f.loadedRules.size() << (f.loadedRules.size() == 1 ? " rule" : " rules") << " loaded";
        if (!f.refusedRules.empty())
            out << ", " << f.refusedRules.size() << " refused";
        out << (f.scope.isEverything() ? std::string(", every file") : ", scope: " + f.scope.describe())
            << "\n";
        for (const auto& r : f.loadedRules)
            out << "  " << r << "\n";
        for (const auto& r : f.refusedRules)
            out << "  " << r << " (refused)\n";
    }
    out << outcome.loadedRuleCount() << " rules loaded from " << outcome.files.size() << " files\n";
    return exitStatus(outcome.allAccepted() && outcome.loadedRuleCount() > 0 ? ExitCode::Ok
                                                                             : ExitCode::RulesRefused);
}

} // namespace tw
