#include "WatcherHarness.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// A root that does not exist yet is waited for; one that is a file is a warning until it becomes a
// directory. A root deleted and made again, or replaced by a rename, is watched again; when an ancestor
// is renamed the watches follow the folder, the root's path leads nowhere, and must be waited for.
TEST(TwwatchRoots, RootsThatAreNotThereYetOrGoAndComeBack)
{
    TempDir base;
    const fs::path root = base / "project";
    const fs::path nested = base / "parent/root";
    const fs::path missing = base / "not/yet/there";
    const fs::path file = base / "thing";
    fs::create_directories(root / "src");
    fs::create_directories(nested / "src");
    writeFile(file, "not a directory");
    Watcher watcher;
    ASSERT_TRUE(watcher.watch({root, nested, missing, file}));
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& l) {
        return l.path == file.string() && l.rule == "not_a_directory" && l.severity == "warning" &&
               !l.reason.empty();
    }));
    ASSERT_TRUE(watcher.sync(nested));

    // Created a step at a time, then filled at once.
    fs::create_directories(base / "not/yet");
    shell("mkdir -p there/.git/hooks && echo x > there/.git/hooks/pre-push", base / "not/yet");
    ASSERT_TRUE(watcher.sees(missing / ".git/hooks/pre-push"));
    writeFile(missing / "later", "x");
    ASSERT_TRUE(watcher.sees(missing / "later"));
    fs::remove(file);
    fs::create_directories(file);
    ASSERT_TRUE(watcher.sync(file));

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

} // namespace
} // namespace tw::test
