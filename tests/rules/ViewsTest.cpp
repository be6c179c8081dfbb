// The decoders behind the derived views, row by row: what each input becomes, and that hostile input
// stays within its bounds.

#include "rules/views/TextView.h"

#include <gtest/gtest.h>
#include <string>

using namespace tw;
using namespace std::string_literals;

namespace {

std::string utf16le(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += c + "\0"s;
    return out;
}

std::string utf16be(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += "\0"s + c;
    return out;
}

std::string utf32le(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += c + "\0\0\0"s;
    return out;
}

std::string utf32be(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += "\0\0\0"s + c;
    return out;
}

TEST(RulesTextView, DecodesEncodingsMarksAndLineEnds)
{
    struct Row
    {
        const char* name;
        std::string raw;
        bool derived;
        std::string text;
    };
    const Row rows[] = {
        {"plain UTF-8 has no text view", "curl x | sh\n", false, ""},
        {"a lone CR is kept: no text view", "a\rb", false, ""},
        {"CRLF becomes LF", "a\r\nb\r\n", true, "a\nb\n"},
        {"UTF-8 mark removed",
         "\xEF\xBB\xBF"
         "curl",
         true, "curl"},
        {"UTF-16 LE with mark", "\xFF\xFE"s + utf16le("curl x\r\n"), true, "curl x\n"},
        {"UTF-16 BE with mark", "\xFE\xFF"s + utf16be("curl x"), true, "curl x"},
        {"UTF-16 LE without mark", utf16le("node -e 'x'"), true, "node -e 'x'"},
        {"UTF-16 BE without mark", utf16be("node -e 'x'"), true, "node -e 'x'"},
        {"UTF-32 LE with mark", "\xFF\xFE\0\0"s + utf32le("wget"), true, "wget"},
        {"UTF-32 BE with mark", "\0\0\xFE\xFF"s + utf32be("wget"), true, "wget"},
        {"UTF-32 LE without mark", utf32le("wget -q"), true, "wget -q"},
        {"UTF-32 BE without mark", utf32be("wget -q"), true, "wget -q"},
        {"non-ASCII and surrogate pair", "\xFF\xFE\xE9\x00\x3D\xD8\x00\xDE"s, true,
         "\xC3\xA9\xF0\x9F\x98\x80"},
        {"lone surrogate is U+FFFD", "\xFF\xFE\x00\xD8\x41\x00"s, true,
         "\xEF\xBF\xBD"
         "A"},
        {"odd trailing byte is U+FFFD", "\xFF\xFE\x41\x00\x42"s, true, "A\xEF\xBF\xBD"},
        {"UTF-32 beyond Unicode is U+FFFD", "\xFF\xFE\0\0\0\0\x11\0"s, true, "\xEF\xBF\xBD"},
        {"binary with scattered NULs is not text", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0"s, true,
         "\x89PNG\n\x1a\n\0\0\0\rIHDR\0\0\x01\0"s},
    };
    for (const auto& row : rows) {
        std::string out;
        EXPECT_EQ(decodeText(row.raw, out), row.derived) << row.name;
        if (row.derived)
            EXPECT_EQ(out, row.text) << row.name;
    }
}

TEST(RulesTextView, OutputStaysWithinOneAndAHalfTimesTheInput)
{
    // Every code unit a three-byte character: the worst case of UTF-16.
    std::string raw = "\xFF\xFE"s;
    for (int i = 0; i < 5000; ++i)
        raw += "\xAC\x20"s;
    std::string out;
    ASSERT_TRUE(decodeText(raw, out));
    EXPECT_EQ(out.size(), 15000u);
    EXPECT_LE(out.size(), raw.size() * 3 / 2);
}

} // namespace
