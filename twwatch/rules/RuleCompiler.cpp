#include "rules/RuleCompiler.h"

#include "rules/ExternalVariables.h"

#include <yara.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace tw {

namespace {

struct CompilerMessages
{
    std::vector<std::string> errors;
};

void onCompilerMessage(int level, const char* fileName, int line, const YR_RULE*, const char* message,
                       void* userData)
{
    // Warnings (slow strings and the like) are for the rule author's own tools; only errors stop a file.
    if (level != YARA_ERROR_LEVEL_ERROR)
        return;
    auto* messages = static_cast<CompilerMessages*>(userData);
    std::string text = fileName ? fileName : "?";
    if (line > 0) {
        text += ':';
        text += std::to_string(line);
    }
    text += ": ";
    text += message ? message : "error";
    messages->errors.push_back(std::move(text));
}

struct CompilerHandle
{
    YR_COMPILER* compiler = nullptr;
    CompilerHandle()
    {
        if (yr_compiler_create(&compiler) != ERROR_SUCCESS)
            compiler = nullptr;
    }
    ~CompilerHandle()
    {
        if (compiler)
            yr_compiler_destroy(compiler);
    }
    CompilerHandle(const CompilerHandle&) = delete;
    CompilerHandle& operator=(const CompilerHandle&) = delete;
};

// Adds one file; returns the number of errors (a file that cannot be opened counts as one).
int addFile(YR_COMPILER* compiler, const std::filesystem::path& file, const std::string& ns,
            CompilerMessages& messages)
{
    FILE* fp = std::fopen(file.c_str(), "re");
    if (!fp) {
        messages.errors.push_back(file.string() + ": cannot be opened");
        return 1;
    }
    const int errors = yr_compiler_add_file(compiler, fp, ns.c_str(), file.c_str());
    std::fclose(fp);
    return errors;
}

std::string severityOf(const YR_RULE* rule)
{
    const YR_META* meta;
    yr_rule_metas_foreach(rule, meta)
    {
        if (std::string_view(meta->identifier) == "severity")
            return meta->type == META_TYPE_STRING ? std::string(meta->string) : std::string("(not a string)");
    }
    return {};
}

PathScope scopeOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return PathScope::fromRuleText(text.str());
}

} // namespace

bool isKnownSeverity(const std::string& severity)
{
    return severity == "critical" || severity == "high" || severity == "warning";
}

CompiledRules::~CompiledRules()
{
    if (rules)
        yr_rules_destroy(rules);
}

std::size_t CompileOutcome::loadedRuleCount() const
{
    std::size_t n = 0;
    for (const auto& f : files)
        n += f.loadedRules.size();
    return n;
}

bool CompileOutcome::allAccepted() const
{
    for (const auto& f : files)
        if (!f.compiled || !f.refusedRules.empty())
            return false;
    return true;
}

CompileOutcome compileRuleFiles(const std::vector<std::filesystem::path>& files, std::ostream& diagnostics)
{
    CompileOutcome outcome;
    std::vector<std::size_t> good;
    for (const auto& file : files) {
        RuleFileReport report;
        report.file = file;
        CompilerHandle h;
        CompilerMessages messages;
        if (!h.compiler || !declareExternals(h.compiler)) {
            diagnostics << "twwatch: " << file.string()
                        << ": the rule compiler could not be set up; skipped\n";
            outcome.files.push_back(std::move(report));
            continue;
        }
        yr_compiler_set_callback(h.compiler, onCompilerMessage, &messages);
        YR_RULES* rules = nullptr;
        if (addFile(h.compiler, file, "probe", messages) != 0 ||
            yr_compiler_get_rules(h.compiler, &rules) != ERROR_SUCCESS) {
            for (const auto& e : messages.errors)
                diagnostics << "twwatch: " << e << "\n";
            diagnostics << "twwatch: " << file.string() << ": does not compile; skipped\n";
            outcome.files.push_back(std::move(report));
            continue;
        }
        report.compiled = true;
        const YR_RULE* rule;
        yr_rules_foreach(rules, rule)
        {
            if (RULE_IS_PRIVATE(rule))
                continue;
            const std::string severity = severityOf(rule);
            if (isKnownSeverity(severity)) {
                report.loadedRules.emplace_back(rule->identifier);
            } else {
                report.refusedRules.emplace_back(rule->identifier);
                diagnostics << "twwatch: " << file.string() << ": rule " << rule->identifier << " refused: "
                            << (severity.empty() ? std::string("no \"severity\" meta")
                                                 : "severity \"" + severity + "\"")
                            << "; it must be \"critical\", \"high\" or \"warning\"\n";
            }
        }
        report.scope = scopeOf(file);
        if (report.scope.isEverything()) {
            yr_rules_destroy(rules);
            good.push_back(outcome.files.size());
        } else {
            YR_RULE* r;
            yr_rules_foreach(rules, r)
            {
                for (const auto& refused : report.refusedRules)
                    if (refused == r->identifier)
                        yr_rule_disable(r);
            }
            outcome.sets.push_back({report.scope, std::make_shared<const CompiledRules>(rules)});
        }
        outcome.files.push_back(std::move(report));
    }

    if (good.empty())
        return outcome;
    CompilerHandle h;
    CompilerMessages messages;
    YR_RULES* combined = nullptr;
    if (h.compiler && declareExternals(h.compiler)) {
        yr_compiler_set_callback(h.compiler, onCompilerMessage, &messages);
        std::map<std::string, std::set<std::string>> refused; // namespace -> rule names
        int errors = 0;
        for (std::size_t i : good) {
            const std::string ns = "file" + std::to_string(i);
            errors += addFile(h.compiler, outcome.files[i].file, ns, messages);
            refused[ns].insert(outcome.files[i].refusedRules.begin(), outcome.files[i].refusedRules.end());
        }
        if (errors == 0 && yr_compiler_get_rules(h.compiler, &combined) == ERROR_SUCCESS) {
            YR_RULE* rule;
            yr_rules_foreach(combined, rule)
            {
                if (refused[rule->ns->name].count(rule->identifier))
                    yr_rule_disable(rule);
            }
        } else {
            // Each file compiled alone, so this takes a file that changed between the two passes.
            for (const auto& e : messages.errors)
                diagnostics << "twwatch: " << e << "\n";
            diagnostics
                << "twwatch: the rule files without a scope could not be compiled together; skipped\n";
            for (std::size_t i : good) {
                outcome.files[i].compiled = false;
                outcome.files[i].loadedRules.clear();
            }
            combined = nullptr;
        }
    }
    if (combined)
        outcome.sets.insert(outcome.sets.begin(),
                            RuleSet{PathScope{}, std::make_shared<const CompiledRules>(combined)});
    return outcome;
}

} // namespace tw
