// Every rule of the bundled pack against real files: each case plants one sample (an attack, or a
// benign look-alike) where it would land in a developer's tree, runs `twwatch --scan` on the tree and
// checks which rules fire at which severity. The cases live in tests/data/rules/cases/*.tsv.

#include "RuleCases.h"
#include "ScanRunner.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

class RulesPack : public ::testing::TestWithParam<RuleCase>
{
protected:
    void SetUp() override { useConfigHome(m_config.path()); }
    TempDir m_config; // empty: only the bundled pack loads
    TempDir m_tree;
};

std::string describe(const std::vector<Event>& events)
{
    std::string s;
    for (const auto& e : events)
        s += "  " + e.rule + " (" + e.severity + ") " + e.path + "\n";
    return s.empty() ? "  (nothing)\n" : s;
}

TEST_P(RulesPack, FiresOnlyWhereItShould)
{
    const RuleCase& c = GetParam();
    const fs::path target = m_tree / c.destination;
    plantSample(c, target);

    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()});
    ASSERT_EQ(r.process.exitCode, 0) << r.process.err;
    ASSERT_TRUE(r.allLinesDecoded) << r.process.out;
    const std::string found = describe(r.events);

    bool expectedSeen = false;
    for (const auto& e : r.events) {
        EXPECT_EQ(e.path, target.string());
        EXPECT_TRUE(e.types.empty()) << "an audit reports no change words";
        if (e.rule == c.rule) {
            EXPECT_TRUE(c.fires) << c.rule << " fired on a benign look-alike:\n" << found;
            EXPECT_EQ(e.severity, c.severity) << found;
            expectedSeen = true;
        } else {
            EXPECT_TRUE(c.alsoAllowed.count(e.rule)) << "unexpected rule " << e.rule << ":\n" << found;
        }
    }
    if (c.fires)
        EXPECT_TRUE(expectedSeen) << c.rule << " did not fire on " << c.destination << ":\n" << found;
    // One finding per rule and file, never the same rule twice.
    std::set<std::string> rules;
    for (const auto& e : r.events)
        EXPECT_TRUE(rules.insert(e.rule).second) << found;
}

INSTANTIATE_TEST_SUITE_P(Cases, RulesPack, ::testing::ValuesIn(ruleCases()),
                         [](const ::testing::TestParamInfo<RuleCase>& info) { return info.param.name; });

// Every rule the pack loads has at least one attack that fires it and one look-alike that does not.
TEST(RulesPackTable, EveryRuleHasAnAttackAndALookAlike)
{
    EXPECT_EQ(malformedCaseRows(), std::vector<std::string>{});
    TempDir config;
    useConfigHome(config.path());
    const ScanResult r = runTwwatch({"--check-rules"});
    ASSERT_EQ(r.process.exitCode, 0) << r.process.err;
    std::set<std::string> loaded;
    std::istringstream out(r.process.out);
    for (std::string line; std::getline(out, line);) {
        if (line.rfind("  ", 0) == 0)
            loaded.insert(line.substr(2));
    }
    ASSERT_GE(loaded.size(), 40u) << r.process.out;
    std::set<std::string> attacked, lookAlike;
    for (const auto& c : ruleCases())
        (c.fires ? attacked : lookAlike).insert(c.rule);
    for (const auto& rule : loaded) {
        EXPECT_TRUE(attacked.count(rule)) << rule << " has no attack sample";
        EXPECT_TRUE(lookAlike.count(rule)) << rule << " has no benign look-alike";
    }
    for (const auto& rule : attacked)
        EXPECT_TRUE(loaded.count(rule)) << "the cases name " << rule << ", which the pack does not load";
}

} // namespace
