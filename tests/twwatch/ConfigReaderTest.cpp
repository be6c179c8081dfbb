#include "watch/ConfigReader.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using Messages = std::vector<std::vector<std::string>>;

TEST(TwwatchConfigReader, MessagesWhateverTheChunking)
{
    struct Case
    {
        const char* name;
        std::string input;
        Messages expected;
    } cases[] = {
        {"empty selection is two empty messages", "\n\n", {{}, {}}},
        {"successive messages", "/a\n\n/b\n\n", {{"/a"}, {"/b"}}},
        {"unfinished message is held back", "/a\n\n/b\n", {{"/a"}}},
        {"trailing slashes removed", "/a/b///\n/\n\n", {{"/a/b", "/"}}},
        {"duplicates keep first place", "/b\n/a\n/b/\n\n", {{"/b", "/a"}}},
        {"relative and empty-looking lines rejected", "rel\n./x\n /a\n/ok\n\n", {{"/ok"}}},
        {"carriage return kept as a name byte", "/a\r\n\n", {{"/a\r"}}},
        {"non-UTF-8 bytes kept", "/caf\xe9\n\n", {{"/caf\xe9"}}},
        {"NUL rejected", std::string("/a\0b\n/c\n\n", 9), {{"/c"}}},
        {"over-long line rejected up to its LF", "/" + std::string(5000, 'x') + "\n/short\n\n", {{"/short"}}},
        {"longest accepted line", "/" + std::string(4095, 'y') + "\n\n", {{"/" + std::string(4095, 'y')}}},
    };
    for (const auto& c : cases) {
        for (const size_t chunk : {size_t(1), size_t(3), size_t(64), c.input.size()}) {
            ConfigReader reader;
            Messages got;
            for (size_t i = 0; i < c.input.size(); i += chunk) {
                for (auto& m : reader.feed(std::string_view(c.input).substr(i, chunk)))
                    got.push_back(m.paths);
            }
            EXPECT_EQ(got, c.expected) << c.name << ", chunk " << chunk;
        }
    }
}

} // namespace
} // namespace tw
