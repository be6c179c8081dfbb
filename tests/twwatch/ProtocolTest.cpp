// The watcher's process contract: arguments, standard input messages, ending, and standard output.

#include "WatcherHarness.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace tw::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(TwwatchProtocol, VersionAndBadArguments)
{
    const auto version = runProcess({(binDir() / "twwatch").string(), "--version"}, {}, 20s);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, "twwatch " TW_TEST_VERSION "\n");
    const auto bad = runProcess({(binDir() / "twwatch").string(), "--frobnicate"}, {}, 20s);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("unknown or incomplete arguments: --frobnicate"), std::string::npos) << bad.err;
}

// However it is told to stop, or loses its reader, the watcher ends promptly, with 0 and without a
// complaint. The bounds leave room for a sanitizer build's exit-time leak check on a loaded machine.
TEST(TwwatchProtocol, EndsPromptlyAndQuietly)
{
    using Ending = std::function<void(Watcher&, const fs::path&)>;
    const auto signal = [](int sig) { return [sig](Watcher& w, const fs::path&) { w.signal(sig); }; };
    const auto readerGone = [](int changes) {
        return [changes](Watcher& w, const fs::path& dir) {
            w.closeOutput();
            makeFiles(dir, changes);
        };
    };
    const std::tuple<const char*, Ending, std::chrono::milliseconds> cases[] = {
        {"end of input", [](Watcher& w, const fs::path&) { w.closeInput(); }, 2000ms},
        // The application hangs, then goes: workers blocked on the full pipe must not keep it alive.
        {"end of input while the output is not read",
         [](Watcher& w, const fs::path& dir) {
             w.pauseReading();
             makeFiles(dir, 2000);
             ASSERT_TRUE(waitUntil([&] { return w.blockedWriting(); }, 30s));
             w.closeInput();
         },
         3000ms},
        {"SIGTERM", signal(SIGTERM), 2000ms},
        {"SIGINT", signal(SIGINT), 2000ms},
        {"SIGHUP", signal(SIGHUP), 2000ms},
        // Noticed while idle (the pipe reports the error) and on the next write.
        {"reader gone", readerGone(0), 5000ms},
        {"reader gone, then a change", readerGone(20), 5000ms},
    };
    for (const auto& [name, end, bound] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        Watcher watcher;
        ASSERT_TRUE(watcher.watch({dir.path()}));
        end(watcher, dir.path());
        const auto status = watcher.waitExit(bound);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0);
        EXPECT_EQ(watcher.errors().find("twwatch:"), std::string::npos);
    }
}

// A root added later is audited once, not again while it stays; one left out, or an empty message,
// stops its watching.
TEST(TwwatchProtocol, EachMessageReplacesTheWatchedSet)
{
    TempDir a, b;
    const std::string old = (b / "old").string();
    writeFile(old, "x");
    Watcher watcher;
    ASSERT_TRUE(watcher.watch({a.path()}));
    ASSERT_TRUE(watcher.watch({a.path(), b.path()}));
    ASSERT_TRUE(watcher.waitForWord(old, "existing"));
    ASSERT_TRUE(watcher.watch({a.path(), b.path()}));
    EXPECT_EQ(watcher.linesFor(old).size(), 1u);

    ASSERT_TRUE(watcher.watch({b.path()}));
    writeFile(a / "after-a", "x");
    writeFile(b / "after-b", "x");
    ASSERT_TRUE(watcher.sees(b / "after-b"));
    watcher.sendRaw("\n");
    ASSERT_TRUE(watcher.watch({a.path()}));
    writeFile(b / "after-nothing", "x");
    writeFile(a / "last", "x");
    ASSERT_TRUE(watcher.sees(a / "last"));
    ASSERT_TRUE(watcher.sync(a.path()));

    // Written while a was not watched: found only by the audit when a came back, if at all.
    for (const auto& line : watcher.linesFor((a / "after-a").string())) {
        ASSERT_EQ(line.types.size(), 1u);
        EXPECT_TRUE(line.types[0] == "existing" || line.types[0] == "rescanned");
    }
    EXPECT_TRUE(watcher.linesFor((b / "after-nothing").string()).empty());
}

// A rejected line is named on standard error, cut and without the terminal escapes in it. Which lines
// are rejected, however the input is cut, is ConfigReaderTest's.
TEST(TwwatchProtocol, RejectedConfigurationLineIsNamedWithoutItsEscapes)
{
    TempDir dir;
    Watcher watcher;
    watcher.sendRaw("relative\x1b]0;owned\x07\x1b[2J\x9b[1m/path\n" + std::string(1000, 'r') + "\n");
    ASSERT_TRUE(watcher.watch({dir.path()}));
    const std::string err = watcher.errors();
    EXPECT_NE(err.find("relative"), std::string::npos) << err;
    EXPECT_NE(err.find("1m/path"), std::string::npos) << err;
    EXPECT_NE(err.find(std::string(256, 'r')), std::string::npos) << err;
    EXPECT_EQ(err.find(std::string(257, 'r')), std::string::npos) << "named, but cut";
    for (const char escape : {'\x1b', '\x07', '\x9b'})
        EXPECT_EQ(err.find(escape), std::string::npos) << err;
}

} // namespace
} // namespace tw::test
