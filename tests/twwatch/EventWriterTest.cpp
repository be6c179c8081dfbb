#include "watch/EventWriter.h"
#include "watch/Utf8.h"

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
        {"plain caf\xc3\xa9.txt", true, "plain caf\xc3\xa9.txt"},
        {"\xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf", true, "\xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf"},
        {"line\nfeed", true, "line\\u{0a}feed"},
        {"title\x1b]0;x\x07", true, "title\\u{1b}]0;x\\u{07}"},
        {"c1 \xc2\x9b[2J", true, "c1 \\u{9b}[2J"},
        {"rlo \xe2\x80\xae", true, "rlo \\u{202e}"},
        {"back\\slash", true, "back\\\\slash"},
        {"lone \x9b byte", false, "lone \\x9b byte"},
        {"cut \xc3", false, "cut \\xc3"},
        {"\xc0\x80", false, "\\xc0\\x80"},
        {"\xed\xa0\x80", false, "\\xed\\xa0\\x80"},
        {"\xf4\x90\x80\x80", false, "\\xf4\\x90\\x80\\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.shown;
        EXPECT_EQ(escapeForTerminal(c.bytes), c.shown);
    }
}

// One line of JSON per event: the four keys first, text escaped, invalid bytes replaced with the exact
// bytes alongside, the optional keys only when set.
TEST(TwwatchEventWriter, EachEventIsOneLineOfJson)
{
    using nlohmann::json;
    struct Case
    {
        EventLine event; // rule "r", severity "high"
        json keys;       // over {"types": ["created", "moved"], "rule": "r", "severity": "high"}
    } cases[] = {
        {{"/a\"b\\c\n\t\x01",
          {"created", "moved"},
          "r",
          "high",
          {},
          "runs \"curl\"\n\x1b[0m\\",
          {1, 7, 20001}},
         {{"path", "/a\"b\\c\n\t\x01"},
          {"description", "runs \"curl\"\n\x1b[0m\\"},
          {"lines", {1, 7, 20001}}}},
        {{"/bad\xff", {"created", "moved"}, "r", "high", {}, "bad\xff"},
         {{"path", "/bad\xef\xbf\xbd"}, {"pathBytes", "L2JhZP8="}, {"description", "bad\xef\xbf\xbd"}}},
        {{"/d", {}, "r", "high", "why"}, {{"path", "/d"}, {"types", json::array()}, {"reason", "why"}}},
    };
    for (const auto& c : cases) {
        const std::string line = EventWriter::format(c.event);
        ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
        json expected = {{"types", {"created", "moved"}}, {"rule", "r"}, {"severity", "high"}};
        expected.update(c.keys);
        EXPECT_EQ(json::parse(line), expected) << line;
        EXPECT_EQ(line.rfind(R"({"path":)", 0), 0u) << line;
        EXPECT_LT(line.find(R"("severity":)"), line.find(R"("description":)")) << line;
    }
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

} // namespace
} // namespace tw
