// The fallback engine used when the YARA rules cannot be loaded: it must still catch the attacks the
// tool exists for, and stay quiet on their look-alikes.

#include "TestSupport.h"
#include "watch/RuleEngine.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(TwwatchBuiltinRules, AttacksAndLookAlikes)
{
    test::TempDir dir;
    struct Case
    {
        const char* name;
        std::string relPath;
        std::string content;
        std::vector<std::string> types;
        std::vector<std::string> rules;
    } cases[] = {
        {"git hook", ".git/hooks/pre-commit", "#!/bin/sh\n", {"created"}, {"git_hook_changed"}},
        {"hook sample", ".git/hooks/pre-commit.sample", "#!/bin/sh\n", {"created"}, {}},
        {"hook deleted", ".git/hooks/post-merge", "", {"deleted"}, {}},
        {"editor task", ".vscode/tasks.json", "{}", {"modified"}, {"vscode_task_changed"}},
        {"lifecycle script",
         "package.json",
         R"({"scripts":{"postinstall":"node x.js"}})",
         {"modified"},
         {"npm_lifecycle_script"}},
        {"plain package.json", "pkg/package.json", R"({"scripts":{"test":"jest"}})", {"modified"}, {}},
        {"invisible text in agent rules",
         ".cursorrules",
         "be nice\xE2\x80\xAE hidden",
         {"modified"},
         {"agent_rules_invisible_unicode"}},
        {"tag characters in CLAUDE.md",
         "CLAUDE.md",
         "ok \xF3\xA0\x81\x81",
         {"created"},
         {"agent_rules_invisible_unicode"}},
        {"plain agent rules", "AGENTS.md", "use tabs, caf\xC3\xA9", {"modified"}, {}},
        {"invisible text elsewhere", "notes.md", "x\xE2\x80\x8By", {"modified"}, {}},
    };
    const auto engine = makeBuiltinRuleEngine();
    const auto evaluator = engine->makeEvaluator();
    for (const auto& c : cases) {
        const auto path = dir / c.relPath;
        std::filesystem::create_directories(path.parent_path());
        if (c.types != std::vector<std::string>{"deleted"})
            test::writeFile(path, c.content);
        std::vector<std::string> got;
        for (const auto& match : evaluator->evaluate(Change{path.string(), c.types}))
            got.push_back(match.rule);
        EXPECT_EQ(got, c.rules) << c.name;
    }
}

} // namespace
} // namespace tw
