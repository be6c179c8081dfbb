#include "rules/YaraEvaluator.h"

#include "rules/ExternalVariables.h"
#include "rules/FileSnapshot.h"

#include <yara.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace tw {

namespace {

// A runaway rule (a regular expression that backtracks on hostile input) must not hold a worker for
// long; what matched before the limit is still reported.
constexpr int kScanTimeoutSeconds = 10;

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
    std::vector<const YR_RULE*>& seen;
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
    // One line per rule per change, whichever views it matched in. Two rule files may still each have
    // a rule of the same name, and both report.
    if (std::find(sink->seen.begin(), sink->seen.end(), rule) != sink->seen.end())
        return CALLBACK_CONTINUE;
    sink->seen.push_back(rule);
    sink->matches.push_back({rule->identifier, severityOf(rule)});
    return CALLBACK_CONTINUE;
}

} // namespace

YaraEvaluator::YaraEvaluator(const std::vector<RuleSet>& sets, std::size_t contentBound,
                             std::shared_ptr<std::mutex> largeReads)
    : m_bound(contentBound)
    , m_largeReads(std::move(largeReads))
{
    for (const auto& set : sets) {
        YR_SCANNER* scanner = nullptr;
        if (!set.rules || !set.rules->rules || yr_scanner_create(set.rules->rules, &scanner) != ERROR_SUCCESS)
            continue;
        yr_scanner_set_timeout(scanner, kScanTimeoutSeconds);
        // Fast mode only skips repeat matches of strings whose count and offsets no condition reads.
        yr_scanner_set_flags(scanner, SCAN_FLAGS_FAST_MODE);
        m_scanners.push_back({&set, scanner});
    }
}

YaraEvaluator::~YaraEvaluator()
{
    for (auto& s : m_scanners)
        yr_scanner_destroy(s.scanner);
}

void YaraEvaluator::scanView(Scanner& s, const FileFacts& facts, const char* view, std::string_view content,
                             std::vector<RuleMatch>& matches)
{
    if (!setExternals(s.scanner, facts, view))
        return;
    MatchSink sink{s.set->namespaceScopes, facts, matches, m_seen};
    yr_scanner_set_callback(s.scanner, onScanMessage, &sink);
    const int rc =
        yr_scanner_scan_mem(s.scanner, reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    if (rc != ERROR_SUCCESS) {
        // Matches reported before a timeout stand; the line says which file was cut short.
        std::fprintf(stderr, "twwatch: scanning %s (%s view) stopped early (yara error %d)\n",
                     facts.path.c_str(), view, rc);
    }
}

std::vector<RuleMatch> YaraEvaluator::evaluate(const Change& change)
{
    std::vector<RuleMatch> matches;
    FileFacts facts = describePath(change.path);
    m_applying.clear();
    m_seen.clear();
    for (auto& s : m_scanners)
        if (s.set->appliesTo(facts.path, facts.name))
            m_applying.push_back(&s);
    // Nothing could report here: the file is not even opened, which is most of a dependency tree.
    if (m_applying.empty())
        return matches;

    const std::size_t bound = readsHeadOnly(facts.extension) ? std::min(m_bound, kHeadBound) : m_bound;
    std::unique_lock<std::mutex> largeRead(*m_largeReads, std::defer_lock);
    const FileSnapshot snap = readSnapshot(change.path, m_buffer, bound, &largeRead);
    // A file that is gone, or is not a regular file, has nothing left that could run; the rules
    // describe content and executable files, so there is nothing to match.
    if (snap.kind == FileSnapshot::Kind::Regular) {
        facts.changes = joinChanges(change.types);
        facts.isExecutable = snap.isExecutable;
        facts.size = snap.isTruncated
                         ? std::max<std::int64_t>(snap.size, static_cast<std::int64_t>(bound) + 1)
                         : static_cast<std::int64_t>(snap.contentSize);
        facts.isTruncated = snap.isTruncated;

        const std::string_view raw(reinterpret_cast<const char*>(m_buffer.data()), snap.contentSize);
        for (Scanner* s : m_applying)
            scanView(*s, facts, kRawView, raw, matches);
        m_views.derive(facts, raw);
        for (const auto& view : m_views.views())
            for (Scanner* s : m_applying)
                scanView(*s, facts, view.name, view.content, matches);
    }
    releaseIfLarge(m_buffer);
    m_views.release();
    return matches;
}

YaraRuleEngine::YaraRuleEngine(std::vector<RuleSet> sets, std::size_t contentBound)
    : m_sets(std::move(sets))
    , m_bound(contentBound)
{
}

std::unique_ptr<Evaluator> YaraRuleEngine::makeEvaluator() const
{
    return std::make_unique<YaraEvaluator>(m_sets, m_bound, m_largeReads);
}

} // namespace tw
