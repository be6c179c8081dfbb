#pragma once

// The YARA evaluator: one per worker thread, each with its own scanners (one per rule set) and read
// buffer over the shared compiled rules, so evaluations on different threads never contend. A file that
// no set applies to is not even opened. Otherwise it is read once, its views derived (views/), and each
// view scanned by every set whose scope contains it; a set of several files keeps only the matches of
// rules whose own file's scope contains it. A rule reports once per file, from the first view it
// matches in. A file larger than one window (FileSnapshot.h) is scanned raw window by window, so each
// worker's memory stays at one window whatever the file. A rule's match carries its description and
// the lines of its first matches, counted on the raw bytes (carried from window to window) or on the
// text view, or, in the views that rearrange the content, taken from the file's line each of their
// lines came from (none where that is unknown).

#include "rules/RuleCompiler.h"
#include "rules/views/DerivedViews.h"
#include "watch/RuleEngine.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef struct YR_SCAN_CONTEXT YR_SCANNER;
typedef struct YR_RULE YR_RULE;

namespace tw {

// Where the lines of a scanned view start: the view's bytes and the number of lines of the file before
// them (a later window of a large file starts far into it).
struct LineMapping
{
    std::string_view content;
    std::uint64_t linesBefore = 0;
    // For a derived view: the file's line of each of the view's lines (0: unknown).
    const LineOrigins* origins = nullptr;
};

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
        const RuleSet* set; // the engine's, which outlives its evaluators
        YR_SCANNER* scanner = nullptr;
    };
    void scanView(Scanner& s, const FileFacts& facts, const char* view, std::string_view content,
                  std::vector<RuleMatch>& matches, const LineMapping* lines);

    std::vector<Scanner> m_scanners;
    std::vector<Scanner*> m_applying;
    std::vector<std::pair<const YR_RULE*, std::size_t>> m_seen;
    std::vector<std::uint64_t> m_offsets;
    std::size_t m_bound;
    std::vector<unsigned char> m_buffer;
    DerivedViews m_views;
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
