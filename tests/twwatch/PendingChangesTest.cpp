#include "watch/PendingChanges.h"
#include "watch/Exclusions.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using namespace std::chrono_literals;
using Writing = PendingChanges::Writing;
using Clock = PendingChanges::Clock;

std::vector<std::string> paths(const std::vector<Change>& changes)
{
    std::vector<std::string> out;
    for (const auto& c : changes)
        out.push_back(c.path);
    return out;
}

TEST(TwwatchPendingChanges, WaitsForTheWriterThenHandsOutOnce)
{
    PendingChanges pending({100ms, 2000ms, 10000ms});
    const auto t0 = Clock::now();
    // Created and written: waits for the close, however long the writer pauses (up to the quiet bound).
    pending.note("/f", "created", Writing::Started, t0);
    pending.note("/f", "modified", Writing::Started, t0 + 50ms);
    pending.note("/f", "modified", Writing::Started, t0 + 900ms);
    EXPECT_TRUE(pending.takeDue(t0 + 1500ms).empty());
    pending.note("/f", {}, Writing::Finished, t0 + 1600ms);
    EXPECT_TRUE(pending.takeDue(t0 + 1650ms).empty());
    const auto due = pending.takeDue(t0 + 1700ms);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].types, (std::vector<std::string>{"created", "modified"}));
    EXPECT_TRUE(pending.takeDue(t0 + 5s).empty());
    EXPECT_FALSE(pending.nextDue().has_value());
}

TEST(TwwatchPendingChanges, Deadlines)
{
    struct Case
    {
        const char* name;
        Writing writing;
        std::chrono::milliseconds lastEvent;
        std::chrono::milliseconds notDueAt;
        std::chrono::milliseconds dueAt;
    } cases[] = {
        {"closed file settles after the short quiet", Writing::Finished, 0ms, 99ms, 100ms},
        {"attributes only settle after the short quiet", Writing::Unchanged, 0ms, 90ms, 100ms},
        {"open file settles after the long quiet", Writing::Started, 0ms, 1999ms, 2000ms},
        {"a file written without pause is still evaluated", Writing::Started, 9500ms, 9999ms, 10000ms},
    };
    for (const auto& c : cases) {
        PendingChanges pending({100ms, 2000ms, 10000ms});
        const auto t0 = Clock::now();
        pending.note("/p", "modified", c.writing, t0);
        for (auto t = 0ms; t <= c.lastEvent; t += 500ms)
            pending.note("/p", "modified", c.writing, t0 + t);
        if (c.lastEvent > 0ms)
            pending.note("/p", "modified", c.writing, t0 + c.lastEvent);
        EXPECT_TRUE(pending.takeDue(t0 + c.notDueAt).empty()) << c.name;
        EXPECT_EQ(pending.takeDue(t0 + c.dueAt).size(), 1u) << c.name;
    }
}

TEST(TwwatchPendingChanges, WordsMergeInFirstSeenOrderAndTakeRemoves)
{
    PendingChanges pending;
    const auto t0 = Clock::now();
    pending.note("/b", "attributes", Writing::Unchanged, t0);
    pending.note("/a", "created", Writing::Unchanged, t0 + 1ms);
    pending.note("/b", "modified", Writing::Unchanged, t0 + 2ms);
    pending.note("/b", "attributes", Writing::Unchanged, t0 + 3ms);
    EXPECT_TRUE(pending.hasWord("/a", "created"));
    EXPECT_FALSE(pending.hasWord("/a", "modified"));
    EXPECT_EQ(pending.take("/a"), (std::vector<std::string>{"created"}));
    EXPECT_FALSE(pending.take("/a").has_value());
    pending.note("/c", "not-a-change-word", Writing::Unchanged, t0);
    EXPECT_EQ(pending.take("/c"), std::vector<std::string>{});
    const auto due = pending.takeDue(t0 + 1s);
    EXPECT_EQ(paths(due), (std::vector<std::string>{"/b"}));
    EXPECT_EQ(due[0].types, (std::vector<std::string>{"attributes", "modified"}));
}

TEST(TwwatchExclusions, PrunedDirectories)
{
    struct Case
    {
        const char* path;
        bool pruned;
    } cases[] = {
        {"/p/.git/objects", true},
        {"/p/.git/lfs", true},
        {"/p/.git/modules/sub/objects", true},
        {"/p/.git/modules/a/modules/b/objects", true},
        {"/p/.git/objects/", true},
        {"/p/.git/hooks", false},
        {"/p/.git", false},
        {"/p/.git/refs", false},
        {"/p/objects", false},
        {"/p/src/.git-not/objects", false},
        {"/p/node_modules", false},
        {"/p/node_modules/left-pad", false},
        {"/p/.git/modules/objects", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isPrunedDirectory(c.path), c.pruned) << c.path;
    EXPECT_TRUE(isPrunedDirectory("/p/.git", "objects"));
    EXPECT_FALSE(isPrunedDirectory("/p/.git", "hooks"));
}

} // namespace
} // namespace tw
