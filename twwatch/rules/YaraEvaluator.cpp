#include "rules/YaraEvaluator.h"

#include "rules/ExternalVariables.h"
#include "rules/FileSnapshot.h"
#include "watch/Utf8.h"
#include "watch/WarningRules.h"

#include <yara.h>

#include <cstdio>
#include <cstring>

namespace tw {

namespace {

// A runaway rule (a regular expression that backtracks on hostile input) must not hold a worker for
// long; what matched before the limit is still reported.
constexpr int kScanTimeoutSeconds = 10;

RuleMatch unreadable(int error)
{
    return {std::string(warnings::ruleForErrno(error)), std::string(warnings::severity),
            std::string("cannot read file: ") + std::strerror(error)};
}

std::string severityOf(const YR_RULE* rule)
{
    const YR_META* meta;
    yr_rule_metas_foreach(rule, meta)
    {
        if (meta->type == META_TYPE_STRING && std::string_view(meta->identifier) == "severity")
            return meta->string;
    }
    return {};
}

struct MatchSink
{
    const std::map<std::string, PathScope>& namespaceScopes;
    const FileFacts& facts;
    std::vector<RuleMatch>& matches;
};

int onScanMessage(YR_SCAN_CONTEXT*, int message, void* data, void* userData)
{
    if (message != CALLBACK_MSG_RULE_MATCHING)
        return CALLBACK_CONTINUE;
    const auto* rule = static_cast<const YR_RULE*>(data);
    auto* sink = static_cast<MatchSink*>(userData);
    if (RULE_IS_PRIVATE(rule))
        return CALLBACK_CONTINUE;
    // In a set of several files, a scoped file's rule speaks only for the paths of its scope.
    const auto scope = sink->namespaceScopes.find(rule->ns->name);
    if (scope != sink->namespaceScopes.end() && !scope->second.contains(sink->facts.path, sink->facts.name))
        return CALLBACK_CONTINUE;
    sink->matches.push_back({rule->identifier, severityOf(rule)});
    return CALLBACK_CONTINUE;
}

} // namespace

YaraEvaluator::YaraEvaluator(const std::vector<RuleSet>& sets, std::size_t contentBound)
    : m_bound(contentBound)
{
    for (const auto& set : sets) {
        YR_SCANNER* scanner = nullptr;
        if (!set.rules || !set.rules->rules || yr_scanner_create(set.rules->rules, &scanner) != ERROR_SUCCESS)
            continue;
        yr_scanner_set_timeout(scanner, kScanTimeoutSeconds);
        // Fast mode only skips repeat matches of strings whose count and offsets no condition reads.
        yr_scanner_set_flags(scanner, SCAN_FLAGS_FAST_MODE);
        m_scanners.push_back({set.scope, set.namespaceScopes, set.rules, scanner});
    }
}

YaraEvaluator::~YaraEvaluator()
{
    for (auto& s : m_scanners)
        yr_scanner_destroy(s.scanner);
}

std::vector<RuleMatch> YaraEvaluator::evaluate(const Change& change)
{
    std::vector<RuleMatch> matches;
    if (m_scanners.empty())
        return matches;
    const FileSnapshot snap = readSnapshot(change.path, m_buffer, m_bound);
    if (snap.kind == FileSnapshot::Kind::Unreadable)
        return {unreadable(snap.error)};
    // A file that is gone, or is not a regular file, has nothing left that could run; the rules
    // describe content and executable files, so there is nothing to match. A link is judged by its own
    // path alone: its target may lie outside the watched tree and is never read.
    if (snap.kind != FileSnapshot::Kind::Regular && snap.kind != FileSnapshot::Kind::Link)
        return matches;

    FileFacts facts = describePath(change.path);
    facts.changes = joinChanges(change.types);
    facts.isExecutable = snap.isExecutable;
    facts.size = snap.isTruncated ? std::max<std::int64_t>(snap.size, static_cast<std::int64_t>(m_bound) + 1)
                                  : static_cast<std::int64_t>(snap.contentSize);
    facts.isTruncated = snap.isTruncated;

    for (auto& s : m_scanners) {
        if (!s.scope.contains(facts.path, facts.name) || !setExternals(s.scanner, facts))
            continue;
        MatchSink sink{s.namespaceScopes, facts, matches};
        yr_scanner_set_callback(s.scanner, onScanMessage, &sink);
        static const unsigned char nothing = 0; // a link has no content; the buffer may not exist yet
        const int rc =
            yr_scanner_scan_mem(s.scanner, snap.contentSize ? m_buffer.data() : &nothing, snap.contentSize);
        if (rc != ERROR_SUCCESS) {
            // Matches reported before a timeout stand; the line says which file was cut short.
            std::fprintf(stderr, "twwatch: scanning %s stopped early (yara error %d)\n",
                         escapeForTerminal(change.path).c_str(), rc);
        }
    }
    return matches;
}

YaraRuleEngine::YaraRuleEngine(std::vector<RuleSet> sets, std::size_t contentBound)
    : m_sets(std::move(sets))
    , m_bound(contentBound)
{
}

std::unique_ptr<Evaluator> YaraRuleEngine::makeEvaluator() const
{
    return std::make_unique<YaraEvaluator>(m_sets, m_bound);
}

} // namespace tw
