// Roots that come, go and come back, and directories the watcher is not allowed to see.

#include "WatcherHarness.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A root that does not exist yet is waited for; one that is a file is a warning until it becomes a
// directory.
TEST(TwwatchRoots, RootsThatAreNotDirectoriesYet)
{
    TempDir base, anchor;
    const fs::path missing = base / "not/yet/there";
    const fs::path file = base / "thing";
    writeFile(file, "not a directory");
    Watcher watcher;
    watcher.send({anchor.path(), missing, file});
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& l) {
        return l.path == file.string() && l.rule == "not_a_directory" && l.severity == "warning" &&
               !l.reason.empty();
    }));
    ASSERT_TRUE(watcher.sync(anchor.path()));

    // Created a step at a time, then filled at once.
    fs::create_directories(base / "not");
    fs::create_directories(base / "not/yet");
    shell("mkdir -p there/.git/hooks && echo x > there/.git/hooks/pre-push", base / "not/yet");
    ASSERT_TRUE(watcher.sees(missing / ".git/hooks/pre-push"));
    writeFile(missing / "later", "x");
    ASSERT_TRUE(watcher.sees(missing / "later"));
    fs::remove(file);
    fs::create_directories(file);
    ASSERT_TRUE(watcher.sync(file));
}

// A root deleted and made again, or replaced by a rename, is watched again; when an ancestor is
// renamed the watches follow the folder, the root's path leads nowhere, and must be waited for.
TEST(TwwatchRoots, RootsThatGoAndComeBack)
{
    TempDir base;
    const fs::path root = base / "project";
    const fs::path nested = base / "parent/root";
    fs::create_directories(root / "src");
    fs::create_directories(nested / "src");
    Watcher watcher;
    ASSERT_TRUE(watcher.watch({root, nested}));
    ASSERT_TRUE(watcher.sync(nested));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const fs::path again = root / "src" / ("again" + std::to_string(round));
        fs::remove_all(root);
        fs::create_directories(root / "src");
        writeFile(again, "x");
        ASSERT_TRUE(watcher.sees(again));
        ASSERT_TRUE(watcher.sync(root));
    }
    fs::create_directories(base / "other/lib");
    writeFile(base / "other/lib/moved-in", "x");
    fs::remove_all(root);
    fs::rename(base / "other", root);
    ASSERT_TRUE(watcher.sees(root / "lib/moved-in"));
    ASSERT_TRUE(watcher.sync(root / "lib"));

    fs::rename(base / "parent", base / "moved");
    writeFile(base / "moved/root/src/stale", "x");
    fs::create_directories(nested / "src");
    writeFile(nested / "src/fresh", "x");
    ASSERT_TRUE(watcher.sees(nested / "src/fresh"));
    ASSERT_TRUE(watcher.sync(nested));
    for (const auto& line : watcher.lines())
        EXPECT_EQ(line.path.find("stale"), std::string::npos) << line.raw;
}

TEST(TwwatchRoots, UnreadableDirectoryIsAWarningAndTheRestIsWatched)
{
    TempDir root;
    fs::permissions(root.path(), fs::perms(0755));
    fs::create_directories(root / "open/sub");
    fs::create_directories(root / "closed/inner");
    fs::permissions(root / "open", fs::perms(0777));
    fs::permissions(root / "open/sub", fs::perms(0777));
    // As root the watcher runs as nobody, for whom an owner-only folder is closed; otherwise close it.
    fs::permissions(root / "closed", geteuid() == 0 ? fs::perms::owner_all : fs::perms::none);
    Watcher watcher({.asNobody = true});
    watcher.send({root.path()});
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& l) {
        return l.path == (root / "closed").string() && l.rule == "permission_denied" &&
               l.severity == "warning";
    }));
    // The warning comes while the first walk is still going; wait until it has reached open/sub.
    ASSERT_TRUE(watcher.sync(root / "open/sub"));
    writeFile(root / "open/sub/seen", "x");
    ASSERT_TRUE(watcher.sees(root / "open/sub/seen"));
    // Reported once, not again on every later change.
    EXPECT_EQ(watcher.linesFor((root / "closed").string(), "permission_denied").size(), 1u);
}

} // namespace
} // namespace tw::test
