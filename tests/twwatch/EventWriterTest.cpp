#include "watch/EventWriter.h"
#include "watch/Utf8.h"
#include "watch/WarningRules.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>

namespace tw {
namespace {

// Whether bytes are valid UTF-8, and how they are shown on a terminal: controls, C1 and bidi marks
// escaped as code points, each byte of an invalid sequence as itself.
TEST(TwwatchUtf8, ValidationAndTerminalEscapes)
{
    struct Case
    {
        std::string bytes;
        bool valid;
        std::string shown;
    } cases[] = {
        {"", true, ""},
        {"plain caf\xc3\xa9.txt", true, "plain caf\xc3\xa9.txt"},
        {"\xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf", true, "\xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf"},
        {"line\nfeed", true, "line\\u{0a}feed"},
        {"title\x1b]0;x\x07", true, "title\\u{1b}]0;x\\u{07}"},
        {"c1 \xc2\x9b"
         "2J",
         true, "c1 \\u{9b}2J"},
        {"rlo \xe2\x80\xae", true, "rlo \\u{202e}"},
        {"back\\slash", true, "back\\\\slash"},
        {"lone \x9b byte", false, "lone \\x9b byte"},
        {"cut \xc3", false, "cut \\xc3"},
        {"\xc0\x80", false, "\\xc0\\x80"},
        {"\xe0\x80\x80", false, "\\xe0\\x80\\x80"},
        {"\xed\xa0\x80", false, "\\xed\\xa0\\x80"},
        {"\xf4\x90\x80\x80", false, "\\xf4\\x90\\x80\\x80"},
        {"\xff", false, "\\xff"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.shown;
        EXPECT_EQ(escapeForTerminal(c.bytes), c.shown);
    }
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode(std::string("\xff\xfe\x00\x01", 4)), "//4AAQ==");
}

TEST(TwwatchEventWriter, LinesAreEscapedJsonWithTheFourKeys)
{
    struct Case
    {
        const char* name;
        std::string path;
        std::string expectedPath;
        bool hasPathBytes;
        std::string description = {}; // rule-author text, escaped like the path
        std::string expectedDescription = {};
        std::vector<std::uint32_t> lines = {};
    } cases[] = {
        {"plain", "/a/b", "/a/b", false},
        {"quotes, backslash, controls",
         "/a\"b\\c\n\t\x01",
         "/a\"b\\c\n\t\x01",
         false,
         "runs \"curl\" | sh\nat\tstart\x01\x1b[0m\\",
         "runs \"curl\" | sh\nat\tstart\x01\x1b[0m\\",
         {1, 7, 20001}},
        {"UTF-8 kept", "/caf\xc3\xa9/\xe2\x80\xae", "/caf\xc3\xa9/\xe2\x80\xae", false,
         "caf\xc3\xa9 \xe2\x80\xae", "caf\xc3\xa9 \xe2\x80\xae"},
        {"invalid byte replaced", "/bad\xff", "/bad\xef\xbf\xbd", true, "bad\xff", "bad\xef\xbf\xbd", {3}},
        {"overlong form replaced", "/x\xc0\xaf", "/x\xef\xbf\xbd\xef\xbf\xbd", true},
    };
    for (const auto& c : cases) {
        const std::string line =
            EventWriter::format({c.path, {"created", "moved"}, "r", "high", {}, c.description, c.lines});
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\n') << c.name;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << c.name;
        EXPECT_TRUE(isValidUtf8(line)) << c.name;
        const auto json = nlohmann::json::parse(line);
        EXPECT_EQ(json["path"], c.expectedPath) << c.name;
        EXPECT_EQ(json["types"], nlohmann::json::array({"created", "moved"})) << c.name;
        EXPECT_EQ(json["rule"], "r");
        EXPECT_EQ(json["severity"], "high");
        EXPECT_EQ(json.contains("pathBytes"), c.hasPathBytes) << c.name;
        if (c.hasPathBytes)
            EXPECT_EQ(json["pathBytes"], base64Encode(c.path)) << c.name;
        EXPECT_FALSE(json.contains("reason"));
        EXPECT_EQ(json.contains("description"), !c.description.empty()) << c.name;
        if (!c.description.empty())
            EXPECT_EQ(json["description"], c.expectedDescription) << c.name;
        EXPECT_EQ(json.contains("lines"), !c.lines.empty()) << c.name;
        if (!c.lines.empty())
            EXPECT_EQ(json["lines"].get<std::vector<std::uint32_t>>(), c.lines) << c.name;
        // The four keys come first, whatever follows them.
        EXPECT_EQ(line.rfind(R"({"path":)", 0), 0u) << c.name;
        EXPECT_LT(line.find(R"("severity":)"), line.find(R"("description":)")) << c.name;
    }
    const auto warning =
        nlohmann::json::parse(EventWriter::format({"/d", {}, "watch_limit_reached", "warning", "why"}));
    EXPECT_EQ(warning["reason"], "why");
    EXPECT_TRUE(warning["types"].empty());
}

TEST(TwwatchEventWriter, ConcurrentLinesNeverInterleave)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EventWriter writer(fds[1]);
    std::string received;
    std::thread reader([&] {
        char buffer[65536];
        ssize_t n;
        while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
            received.append(buffer, static_cast<size_t>(n));
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            // Lines longer than the pipe's atomic size, so only the writer's own guarantee holds them.
            const std::string path =
                "/" + std::string(static_cast<size_t>(5000 + t), static_cast<char>('a' + t));
            for (int i = 0; i < 200; ++i)
                writer.write(Change{path, {"modified"}}, RuleMatch{"r" + std::to_string(i), "high"});
        });
    }
    for (auto& t : threads)
        t.join();
    close(fds[1]);
    reader.join();
    close(fds[0]);
    size_t lines = 0, start = 0;
    for (size_t lf; (lf = received.find('\n', start)) != std::string::npos; start = lf + 1, ++lines)
        EXPECT_NO_THROW((void)nlohmann::json::parse(received.substr(start, lf - start)));
    EXPECT_EQ(lines, 800u);
    EXPECT_EQ(start, received.size());
}

TEST(TwwatchEventWriter, FailedWriteCallsTheHandlerOnceAndDropsTheRest)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    ignoreSigpipe();
    EventWriter writer(fds[1]);
    int calls = 0;
    writer.setFailureHandler([&] { ++calls; });
    EXPECT_FALSE(writer.write(Change{"/a", {}}, RuleMatch{"r", "high"}));
    EXPECT_FALSE(writer.writeWarning("/b", warnings::watchLimit, "x"));
    EXPECT_TRUE(writer.failed());
    EXPECT_EQ(calls, 1);
    close(fds[1]);
}

TEST(TwwatchEventWriter, WarningRuleForEachErrno)
{
    struct Case
    {
        int error;
        std::string_view rule;
    } cases[] = {{ENOSPC, warnings::watchLimit},       {EMFILE, warnings::tooManyOpenFiles},
                 {ENFILE, warnings::tooManyOpenFiles}, {EACCES, warnings::permissionDenied},
                 {EPERM, warnings::permissionDenied},  {ENOTDIR, warnings::notADirectory},
                 {ENOMEM, warnings::watchFailed},      {EIO, warnings::watchFailed}};
    for (const auto& c : cases)
        EXPECT_EQ(warnings::ruleForErrno(c.error), c.rule) << c.error;
}

} // namespace
} // namespace tw
