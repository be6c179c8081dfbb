#include "watch/PendingChanges.h"
#include "watch/Exclusions.h"
#include "watch/UrgentPaths.h"

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
        for (auto t = 0ms; t <= c.lastEvent; t += 500ms)
            pending.note("/p", "modified", c.writing, t0 + t);
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
    EXPECT_EQ(pending.take("/a"), (std::vector<std::string>{"created"}));
    EXPECT_FALSE(pending.take("/a").has_value());
    const auto due = pending.takeDue(t0 + 1s);
    EXPECT_EQ(paths(due), (std::vector<std::string>{"/b"}));
    EXPECT_EQ(due[0].types, (std::vector<std::string>{"attributes", "modified"}));
}

TEST(TwwatchPendingChanges, BoundedAndUrgentPathsFirst)
{
    PendingChanges pending({100ms, 2000ms, 10000ms}, 4);
    const auto t0 = Clock::now();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(pending.note("/bulk/" + std::to_string(i), "created", Writing::Unchanged, t0));
    EXPECT_TRUE(pending.full());
    EXPECT_FALSE(pending.note("/bulk/4", "created", Writing::Unchanged, t0));
    // A path already waiting takes no room.
    EXPECT_TRUE(pending.note("/bulk/0", "modified", Writing::Unchanged, t0));
    // Urgent paths have a reserve of a quarter on top, and no more.
    EXPECT_TRUE(pending.note("/r/.git/hooks/pre-commit", "created", Writing::Unchanged, t0 + 50ms, true));
    EXPECT_FALSE(pending.note("/r/package.json", "created", Writing::Unchanged, t0 + 50ms, true));

    const auto first = pending.takeDue(t0 + 1s, 2);
    EXPECT_EQ(paths(first), (std::vector<std::string>{"/r/.git/hooks/pre-commit", "/bulk/1"}));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_TRUE(first[0].urgent);
    EXPECT_FALSE(first[1].urgent);
    EXPECT_EQ(paths(pending.takeDue(t0 + 1s)), (std::vector<std::string>{"/bulk/2", "/bulk/3", "/bulk/0"}));
    EXPECT_FALSE(pending.full());
}

// Hooks, git's configuration and manifests jump the queue; git's object store is never watched.
TEST(TwwatchPathClasses, UrgentAndPruned)
{
    struct Case
    {
        const char* path;
        bool urgent;
        bool pruned;
    } cases[] = {
        {"/p/.git/hooks/pre-commit", true, false},    {"/p/package.json", true, false},
        {"/p/.git/refs/heads/main", false, false},    {"/p/.git/objects", false, true},
        {"/p/.git/modules/sub/objects", false, true}, {"/p/objects", false, false},
        {"/p/src/.git-not/objects", false, false},    {"/p/.git/modules/objects", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isUrgentPath(c.path), c.urgent) << c.path;
        EXPECT_EQ(isPrunedDirectory(c.path), c.pruned) << c.path;
    }
    EXPECT_TRUE(isPrunedDirectory("/p/.git", "objects"));
    EXPECT_FALSE(isPrunedDirectory("/p/.git", "hooks"));
}

} // namespace
} // namespace tw
