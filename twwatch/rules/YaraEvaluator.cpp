#include "rules/YaraEvaluator.h"

#include "rules/ExternalVariables.h"
#include "rules/FileSnapshot.h"
#include "rules/views/TextView.h"
#include "watch/Fd.h"
#include "watch/Utf8.h"
#include "watch/WarningRules.h"

#include <yara.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

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

RuleMatch unreadable(int error)
{
    return {std::string(warnings::ruleForErrno(error)), std::string(warnings::severity),
            std::string("cannot read file: ") + std::strerror(error)};
}

std::string descriptionOf(const YR_RULE* rule)
{
    const YR_META* meta;
    yr_rule_metas_foreach(rule, meta)
    {
        if (meta->type == META_TYPE_STRING && std::string_view(meta->identifier) == "description")
            return meta->string;
    }
    return {};
}

void addMatchOffsets(YR_SCAN_CONTEXT* context, const YR_RULE* rule, std::vector<std::uint64_t>& offsets)
{
    const YR_STRING* string;
    yr_rule_strings_foreach(rule, string)
    {
        // libyara packs its matches without regard to alignment: each is copied out before it is read.
        for (const void* at = context->matches[string->idx].head; at != nullptr;) {
            YR_MATCH match;
            std::memcpy(&match, at, sizeof match);
            if (!match.is_private)
                offsets.push_back(static_cast<std::uint64_t>(match.base + match.offset));
            at = match.next;
        }
    }
}

// Adds the lines of the first matches of `rule`'s strings in `view` to `lines`, keeping them ascending,
// distinct and at most kMaxMatchLines. A rule with no matches of its own stands on the private rules of
// its file (the pack's payload tests): the matches of those that held in this view are its own. Only
// rules that matched get here, so the LF count stays off the path of every other file.
void addMatchLines(YR_SCAN_CONTEXT* context, const YR_RULE* rule, const LineMapping& view,
                   std::vector<std::uint64_t>& offsets, std::vector<std::uint32_t>& lines)
{
    // A later window can only add later lines.
    if (!view.origins && lines.size() >= kMaxMatchLines && view.linesBefore >= lines.back())
        return;
    offsets.clear();
    addMatchOffsets(context, rule, offsets);
    if (offsets.empty()) {
        const YR_RULE* other;
        yr_rules_foreach(context->rules, other)
        {
            const auto index = static_cast<std::size_t>(other - context->rules->rules_table);
            if (RULE_IS_PRIVATE(other) && other->ns == rule->ns &&
                yr_bitmask_is_set(context->rule_matches_flags, index))
                addMatchOffsets(context, other, offsets);
        }
    }
    if (offsets.empty())
        return;
    std::sort(offsets.begin(), offsets.end());
    const std::size_t before = lines.size();
    std::uint64_t line = view.linesBefore + 1;
    std::size_t at = 0;
    for (const std::uint64_t offset : offsets) {
        const std::size_t to = static_cast<std::size_t>(std::min<std::uint64_t>(offset, view.content.size()));
        if (to > at)
            line += static_cast<std::uint64_t>(
                std::count(view.content.begin() + at, view.content.begin() + to, '\n'));
        at = std::max(at, to);
        std::uint64_t fileLine = line;
        if (view.origins) {
            // A derived line that cannot be placed in the file adds no line.
            fileLine = line - 1 < view.origins->size() ? (*view.origins)[line - 1] : 0;
            if (fileLine == 0)
                continue;
        }
        if (fileLine > UINT32_MAX)
            break;
        if (lines.size() == before || lines.back() != fileLine)
            lines.push_back(static_cast<std::uint32_t>(fileLine));
        if (lines.size() - before == kMaxMatchLines)
            break;
    }
    // A derived view's lines follow its own order (keys, surfaces), not the file's.
    if (view.origins)
        std::sort(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end());
    std::inplace_merge(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    if (lines.size() > kMaxMatchLines)
        lines.resize(kMaxMatchLines);
}

struct MatchSink
{
    const std::map<std::string, PathScope>& namespaceScopes;
    const FileFacts& facts;
    std::vector<RuleMatch>& matches;
    // The rules reported so far, with their place in `matches`.
    std::vector<std::pair<const YR_RULE*, std::size_t>>& seen;
    const LineMapping* lines; // null for a view with no line mapping
    std::vector<std::uint64_t>& offsets;
};

int onScanMessage(YR_SCAN_CONTEXT* context, int message, void* data, void* userData)
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
    // One line per rule per change, whichever views it matched in; each view with lines adds its own.
    // Two rule files may still each have a rule of the same name, and both report.
    const auto seen =
        std::find_if(sink->seen.begin(), sink->seen.end(), [&](const auto& s) { return s.first == rule; });
    std::size_t index;
    if (seen != sink->seen.end()) {
        index = seen->second;
    } else {
        index = sink->matches.size();
        sink->seen.emplace_back(rule, index);
        sink->matches.push_back({rule->identifier, severityOf(rule), {}, descriptionOf(rule)});
    }
    if (sink->lines)
        addMatchLines(context, rule, *sink->lines, sink->offsets, sink->matches[index].lines);
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
        m_scanners.push_back({&set, scanner});
    }
}

YaraEvaluator::~YaraEvaluator()
{
    for (auto& s : m_scanners)
        yr_scanner_destroy(s.scanner);
}

void YaraEvaluator::scanView(Scanner& s, const FileFacts& facts, const char* view, std::string_view content,
                             std::vector<RuleMatch>& matches, const LineMapping* lines)
{
    if (!setExternals(s.scanner, facts, view))
        return;
    MatchSink sink{s.set->namespaceScopes, facts, matches, m_seen, lines, m_offsets};
    yr_scanner_set_callback(s.scanner, onScanMessage, &sink);
    static const std::uint8_t nothing = 0; // a link has no content
    const int rc = yr_scanner_scan_mem(
        s.scanner, content.empty() ? &nothing : reinterpret_cast<const std::uint8_t*>(content.data()),
        content.size());
    if (rc != ERROR_SUCCESS) {
        // Matches reported before a timeout stand; the line says which file was cut short.
        std::fprintf(stderr, "twwatch: scanning %s (%s view) stopped early (yara error %d)\n",
                     escapeForTerminal(facts.path).c_str(), view, rc);
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

    const std::size_t window = std::min(m_bound, kHeadBound);
    const std::size_t limit = readsHeadOnly(facts.extension) ? window : m_bound;
    int restFd = -1;
    const FileSnapshot snap = readSnapshot(change.path, m_buffer, window, limit, &restFd);
    const Fd rest(restFd);
    if (snap.kind == FileSnapshot::Kind::Unreadable)
        return {unreadable(snap.error)};
    // A link is judged by its own path alone: its target may lie outside the watched tree and is never
    // read.
    if (snap.kind == FileSnapshot::Kind::Link) {
        facts.changes = joinChanges(change.types);
        facts.size = snap.size;
        for (Scanner* s : m_applying)
            scanView(*s, facts, kRawView, std::string_view(), matches, nullptr);
    }
    // A file that is gone, or is not a regular file, has nothing left that could run; the rules
    // describe content and executable files, so there is nothing to match.
    if (snap.kind == FileSnapshot::Kind::Regular) {
        facts.changes = joinChanges(change.types);
        facts.isExecutable = snap.isExecutable;
        facts.isTruncated = snap.isTruncated;
        if (snap.isTruncated)
            facts.size = std::max<std::int64_t>(snap.size, static_cast<std::int64_t>(limit) + 1);
        else if (snap.goesOn)
            facts.size = std::max<std::int64_t>(snap.size, static_cast<std::int64_t>(snap.contentSize) + 1);
        else
            facts.size = static_cast<std::int64_t>(snap.contentSize);

        std::string_view raw(reinterpret_cast<const char*>(m_buffer.data()), snap.contentSize);
        // In UTF-16 or UTF-32 a 0x0A byte is not a line end; the text view gives those files' lines.
        const bool rawHasLines = !isWideText(raw);
        LineMapping rawLines{raw, 0};
        for (Scanner* s : m_applying)
            scanView(*s, facts, kRawView, raw, matches, rawHasLines ? &rawLines : nullptr);
        // Views come from the first window: the files they are about are far smaller.
        m_views.derive(facts, raw, !snap.goesOn && !snap.isTruncated);
        for (const auto& view : m_views.views()) {
            // The text view keeps every line end (CRLF becomes LF), so its lines are the file's; the
            // config and commands views carry the file's line of each of theirs.
            const LineMapping viewLines{view.content, 0, view.origins};
            for (Scanner* s : m_applying)
                scanView(*s, facts, view.name, view.content, matches, &viewLines);
        }
        // The rest of a large file, window by window. Each window starts with the end of the one
        // before, so the lines before it are those of the part that is dropped.
        std::size_t length = snap.contentSize;
        for (std::size_t total = length; snap.goesOn && total < limit;) {
            const std::size_t dropped = length - std::min(kWindowOverlap, length);
            if (rawHasLines)
                rawLines.linesBefore += static_cast<std::uint64_t>(std::count(
                    m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(dropped), '\n'));
            const std::size_t n = readNextWindow(rest.get(), m_buffer, length, kWindowOverlap, limit - total);
            if (n == 0)
                break;
            total += n;
            raw = std::string_view(reinterpret_cast<const char*>(m_buffer.data()), length);
            rawLines.content = raw;
            for (Scanner* s : m_applying)
                scanView(*s, facts, kRawView, raw, matches, rawHasLines ? &rawLines : nullptr);
        }
    }
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
    return std::make_unique<YaraEvaluator>(m_sets, m_bound);
}

} // namespace tw
