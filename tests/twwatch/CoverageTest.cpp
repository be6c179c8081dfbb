// Real directories changed the way real tools change them; a user rule that matches all makes each a line.

#include "WatcherHarness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class TwwatchCoverage : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(watcher.watch({root.path()})); }

    TempDir root;
    // Matches only the final version of a file (PathChangingWhileItIsEvaluated).
    Watcher watcher{{.rules = {WatcherSetup{}.rules[0],
                               {"final.yar", "rule final_mark { meta: severity = \"high\" strings: $m = "
                                             "\"FINAL-VERSION-MARK\" condition: $m }"}}}};
};

// Files land in directories before their watches can exist (thousands at once: OverloadTest). Git's
// object store is pruned: nothing under .git/objects is ever reported.
TEST_F(TwwatchCoverage, TreesCreatedAndFilledAtOnce)
{
    std::set<std::string> expected{(root / "a/b/c/f").string()};
    shell("mkdir -p a/b/c .git/objects/ab && echo x > a/b/c/f && echo x > .git/objects/ab/cd", root.path());
    for (int d = 0; d < 100; ++d) {
        const fs::path dir = root / "wide" / ("w" + std::to_string(d)) / "inner";
        fs::create_directories(dir);
        expected.merge(makeFiles(dir, 10));
    }
    EXPECT_TRUE(watcher.waitForPaths(expected));
    writeFile(root / ".git/objects/ab/ef", "x");
    writeFile(root / "wide/w99/inner/later", "x");
    EXPECT_TRUE(watcher.sees(root / "wide/w99/inner/later"));
    ASSERT_TRUE(watcher.sync(root.path()));
    for (const auto& line : watcher.lines())
        EXPECT_EQ(line.path.find("/.git/objects/"), std::string::npos) << line.raw;
}

TEST_F(TwwatchCoverage, FileWrittenInManyPiecesIsEvaluatedOnce)
{
    const fs::path path = root / "slow.bin";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string piece(4096, 'p');
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(::write(fd, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
        // A pause the watcher has lived through (a later probe came back): the open file is not finished.
        ASSERT_TRUE(watcher.sync(root.path()));
    }
    ::close(fd);
    ASSERT_TRUE(watcher.sees(path));
    ASSERT_TRUE(watcher.sync(root.path()));
    const auto lines = watcher.linesFor(path.string());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].hasType("created")) << lines[0].raw;
    EXPECT_TRUE(lines[0].hasType("modified")) << lines[0].raw;
}

// One line of its target per kind of change, with its word (chmod and rewrites: RulesPack's change words).
TEST_F(TwwatchCoverage, ChangeWordsForEachKindOfChange)
{
    writeFile(root / "victim", "x");
    writeFile(root / "config.json", "{}\n");
    fs::create_directories(root / "sub");
    ASSERT_TRUE(watcher.waitForPaths({(root / "victim").string(), (root / "config.json").string()}));
    ASSERT_TRUE(watcher.sync(root.path()));

    struct Case
    {
        std::string name;
        std::function<void()> act;
        std::string path;
        std::string word;
    } cases[] = {
        {"rename within", [&] { fs::rename(root / "victim", root / "sub/victim"); },
         (root / "sub/victim").string(), "moved"},
        {"editor's save: a temporary file renamed over the original",
         [&] {
             writeFile(root / ".config.json.swp~", "{\"changed\": true}\n");
             fs::rename(root / ".config.json.swp~", root / "config.json");
         },
         (root / "config.json").string(), "moved"},
        {"name not UTF-8", [&] { writeFile(root / "bad\xff\xfe-name", "x"); },
         (root / "bad\xEF\xBF\xBD\xEF\xBF\xBD-name").string(), "created"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = watcher.linesFor(c.path).size();
        c.act();
        EXPECT_TRUE(watcher.waitForWord(c.path, c.word));
        ASSERT_TRUE(watcher.sync(root.path()));
        EXPECT_EQ(watcher.linesFor(c.path).size(), before + 1);
    }
    EXPECT_TRUE(watcher.linesFor((root / ".config.json.swp~").string()).empty());
}

TEST_F(TwwatchCoverage, DirectoriesMovedInOutWithinAndReplaced)
{
    TempDir outside;
    fs::create_directories(outside / "pkg/lib");
    writeFile(outside / "pkg/lib/index.js", "x");
    fs::create_directories(root / "inside/deeper");
    writeFile(root / "inside/deeper/a", "x");
    ASSERT_TRUE(watcher.sees(root / "inside/deeper/a"));

    fs::rename(outside / "pkg", root / "pkg");
    ASSERT_TRUE(watcher.waitForWord(root / "pkg/lib/index.js", "moved"));
    writeFile(root / "pkg/lib/new.js", "x");
    ASSERT_TRUE(watcher.sees(root / "pkg/lib/new.js"));

    fs::rename(root / "inside", root / "renamed");
    ASSERT_TRUE(watcher.waitForWord(root / "renamed/deeper/a", "moved"));
    writeFile(root / "renamed/deeper/b", "x");
    ASSERT_TRUE(watcher.sees(root / "renamed/deeper/b"));

    // Out: no longer watched, and no stale paths.
    fs::rename(root / "renamed", outside / "gone");
    writeFile(outside / "gone/deeper/c", "x");
    writeFile(root / "marker", "x");
    ASSERT_TRUE(watcher.sees(root / "marker"));
    ASSERT_TRUE(watcher.sync(root.path()));

    // Replaced by another: removed, and a sibling renamed over its name, watched under the new path.
    fs::create_directories(root / "dir2/sub");
    writeFile(root / "dir2/sub/new", "x");
    shell("rm -rf pkg && mv dir2 pkg", root.path());
    ASSERT_TRUE(watcher.sees(root / "pkg/sub/new"));
    writeFile(root / "pkg/sub/later", "x");
    ASSERT_TRUE(watcher.sees(root / "pkg/sub/later"));
    for (const auto& line : watcher.lines()) {
        EXPECT_EQ(line.path.find("/deeper/c"), std::string::npos) << line.raw;
        EXPECT_EQ(line.path.find(outside.path().string()), std::string::npos) << line.raw;
        EXPECT_EQ(line.path.find("/dir2/sub/later"), std::string::npos) << line.raw;
    }
}

// Only the final version matches; a large file keeps every evaluation busy for a while. However the
// writes and evaluations overlap, the last write is evaluated after it happened.
TEST_F(TwwatchCoverage, PathChangingWhileItIsEvaluated)
{
    const fs::path path = root / "busy.txt";
    // Below the size up to which the rules read a file.
    const std::string bulk(600 << 10, 'a');
    for (int i = 0; i < 15; ++i) {
        const auto evaluated = watcher.linesFor(path.string()).size();
        writeFile(path, bulk + (i == 14 ? "FINAL-VERSION-MARK" : "draft"));
        // Two writes in quick succession land during an evaluation or before it; every third waits until
        // one has come back, so the next lands after it.
        if (i % 3 == 2 && i != 14)
            ASSERT_TRUE(waitUntil([&] { return watcher.linesFor(path.string()).size() > evaluated; }));
    }
    EXPECT_TRUE(watcher.waitForPaths({path.string()}, 20s, "final_mark"));
}

} // namespace
} // namespace tw::test
