#include "rules/RuleCompiler.h"
#include "watch/Utf8.h"

#include "rules/ExternalVariables.h"

#include <yara.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

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
    std::string text = escapeForTerminal(fileName ? fileName : "?");
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
        messages.errors.push_back(escapeForTerminal(file.string()) + ": cannot be opened");
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

// Refused rules stay compiled, so that rules naming them still compile, but never report.
void disableRefused(YR_RULES* rules, const std::map<std::string, const RuleFileReport*>& byNamespace)
{
    YR_RULE* rule;
    yr_rules_foreach(rules, rule)
    {
        const auto file = byNamespace.find(rule->ns->name);
        if (file == byNamespace.end())
            continue;
        const auto& refused = file->second->refusedRules;
        if (std::find(refused.begin(), refused.end(), rule->identifier) != refused.end())
            yr_rule_disable(rule);
    }
}

// libyara's compiler reserves 1 MiB for each of the twelve tables of its arena, and the compiled rules
// keep that arena: 12 MiB per set, 9 of it resident (nine tables are written through), of which the
// bundled pack uses under 0.5 MiB.
// Saved and loaded back, the tables are sized to what they hold. The same rules, so a failure keeps
// the original.
YR_RULES* compacted(YR_RULES* rules)
{
    std::string image;
    YR_STREAM out{};
    out.user_data = &image;
    out.write = [](const void* data, size_t size, size_t count, void* user) -> size_t {
        static_cast<std::string*>(user)->append(static_cast<const char*>(data), size * count);
        return count;
    };
    if (yr_rules_save_stream(rules, &out) != ERROR_SUCCESS)
        return rules;
    struct Reader
    {
        std::string_view rest;
    } reader{image};
    YR_STREAM in{};
    in.user_data = &reader;
    in.read = [](void* data, size_t size, size_t count, void* user) -> size_t {
        auto& r = static_cast<Reader*>(user)->rest;
        if (size == 0 || r.size() < size * count)
            return 0;
        std::memcpy(data, r.data(), size * count);
        r.remove_prefix(size * count);
        return count;
    };
    YR_RULES* loaded = nullptr;
    if (yr_rules_load_stream(&in, &loaded) != ERROR_SUCCESS)
        return rules;
    yr_rules_destroy(rules);
    return loaded;
}

// Compiles `report.file` alone and lists its loaded and refused rules; null when it does not compile.
YR_RULES* compileAlone(RuleFileReport& report, std::ostream& diagnostics)
{
    const std::string file = escapeForTerminal(report.file.string());
    CompilerHandle h;
    CompilerMessages messages;
    if (!h.compiler || !declareExternals(h.compiler)) {
        diagnostics << "twwatch: " << file << ": the rule compiler could not be set up; skipped\n";
        return nullptr;
    }
    yr_compiler_set_callback(h.compiler, onCompilerMessage, &messages);
    YR_RULES* rules = nullptr;
    if (addFile(h.compiler, report.file, "probe", messages) != 0 ||
        yr_compiler_get_rules(h.compiler, &rules) != ERROR_SUCCESS) {
        for (const auto& e : messages.errors)
            diagnostics << "twwatch: " << e << "\n";
        diagnostics << "twwatch: " << file << ": does not compile; skipped\n";
        return nullptr;
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
            diagnostics << "twwatch: " << file << ": rule " << rule->identifier << " refused: "
                        << (severity.empty() ? std::string("no \"severity\" meta")
                                             : "severity \"" + severity + "\"")
                        << "; it must be \"critical\", \"high\" or \"warning\"\n";
        }
    }
    report.scope = scopeOf(report.file);
    return rules;
}

// Compiles the files at `indices` into one set, each in a namespace of its own; when that fails (a file
// changed since it compiled alone) they are reported and marked as not loaded.
std::optional<RuleSet> compileTogether(std::vector<RuleFileReport>& files,
                                       const std::vector<std::size_t>& indices, std::ostream& diagnostics)
{
    CompilerHandle h;
    CompilerMessages messages;
    RuleSet set;
    std::map<std::string, const RuleFileReport*> byNamespace;
    const bool ready = h.compiler && declareExternals(h.compiler);
    int errors = 0;
    if (ready) {
        yr_compiler_set_callback(h.compiler, onCompilerMessage, &messages);
        // libyara takes no more files after one that failed.
        for (auto i = indices.begin(); i != indices.end() && errors == 0; ++i) {
            const std::string ns = "file" + std::to_string(*i);
            errors += addFile(h.compiler, files[*i].file, ns, messages);
            byNamespace[ns] = &files[*i];
            if (!files[*i].scope.isEverything())
                set.namespaceScopes.emplace(ns, files[*i].scope);
        }
    }
    YR_RULES* rules = nullptr;
    if (!ready || errors != 0 || yr_compiler_get_rules(h.compiler, &rules) != ERROR_SUCCESS) {
        for (const auto& e : messages.errors)
            diagnostics << "twwatch: " << e << "\n";
        const bool anyScoped = std::any_of(indices.begin(), indices.end(),
                                           [&](std::size_t i) { return !files[i].scope.isEverything(); });
        diagnostics << "twwatch: the rule files" << (anyScoped ? "" : " without a scope")
                    << " could not be compiled together; skipped\n";
        for (std::size_t i : indices) {
            files[i].compiled = false;
            files[i].loadedRules.clear();
        }
        return std::nullopt;
    }
    disableRefused(rules, byNamespace);
    rules = compacted(rules);
    set.onlyScopedFiles = set.namespaceScopes.size() == indices.size();
    set.rules = std::make_shared<const CompiledRules>(rules);
    return set;
}

} // namespace

bool RuleSet::appliesTo(const std::string& path, const std::string& name) const
{
    if (!scope.contains(path, name))
        return false;
    if (!onlyScopedFiles)
        return true;
    for (const auto& [ns, nsScope] : namespaceScopes)
        if (nsScope.contains(path, name))
            return true;
    return false;
}

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

CompileOutcome compileRuleFiles(const std::vector<std::filesystem::path>& files, std::ostream& diagnostics,
                                RuleGrouping grouping)
{
    CompileOutcome outcome;
    std::vector<std::size_t> together;
    for (const auto& file : files) {
        RuleFileReport report;
        report.file = file;
        if (YR_RULES* rules = compileAlone(report, diagnostics)) {
            if (grouping == RuleGrouping::PerScope && !report.scope.isEverything()) {
                disableRefused(rules, {{"probe", &report}});
                outcome.sets.push_back(
                    {report.scope, std::make_shared<const CompiledRules>(compacted(rules)), {}});
            } else {
                yr_rules_destroy(rules);
                together.push_back(outcome.files.size());
            }
        }
        outcome.files.push_back(std::move(report));
    }
    if (together.empty())
        return outcome;
    // Unscoped files first: libyara reports matches in compilation order, so a file's findings come
    // in the same order as from a set per scope, where the unscoped set is scanned first.
    std::stable_partition(together.begin(), together.end(),
                          [&](std::size_t i) { return outcome.files[i].scope.isEverything(); });
    if (auto set = compileTogether(outcome.files, together, diagnostics))
        outcome.sets.insert(outcome.sets.begin(), std::move(*set));
    return outcome;
}

} // namespace tw
