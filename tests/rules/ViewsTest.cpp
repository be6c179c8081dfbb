// The decoders behind the derived views, row by row: what each input becomes, and that hostile input
// stays within its bounds.

#include "rules/views/ConfigView.h"
#include "rules/views/DerivedViews.h"
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

// The config view of `content` at `path`, or "<none>" when it has none.
std::string configOf(const std::string& path, const std::string& content)
{
    const ConfigFormat format = configFormatOf(describePath(path));
    std::string out;
    ConfigRenderer renderer(out, viewBudget(content.size()));
    if (format == ConfigFormat::None || !readConfigLeaves(format, content, renderer))
        return "<none>";
    return out;
}

TEST(RulesConfigView, OneLinePerLeaf)
{
    struct Row
    {
        const char* name;
        const char* path;
        std::string content;
        std::string lines;
    };
    const Row rows[] = {
        {"JSON nesting, arrays and escapes", "/p/.claude/settings.json",
         R"({"hooks":{"SessionStart":[{"hooks":[{"command":"cu\u0072l x\n\ty\\"}]}]}})",
         "hooks.SessionStart.0.hooks.0.command = curl x\\n\\ty\\\\\n"},
        {"JSON literals, empties and a dotted key", "/p/a.json",
         R"({"n":1.50,"i":-3,"t":true,"z":null,"o":{},"a":[],"k.dot":"v","C":"\u0001"})",
         "n = 1.50\ni = -3\nt = true\nz = null\no = {}\na = []\nk.dot = v\nC = \\u0001\n"},
        {"JSONC comments and trailing commas; commented-out entry absent", "/p/.vscode/tasks.json",
         "{\n // \"x\": \"curl evil\",\n /* \"y\": 1, */ \"a\": [1, 2,],\n \"s\": \"//,]\",\n}\n",
         "a.0 = 1\na.1 = 2\ns = //,]\n"},
        {"invalid JSON has no view", "/p/package.json", "{\"a\": ", "<none>"},
        {"YAML maps, sequences and block text", "/p/.github/workflows/ci.yml",
         "jobs:\n  b:\n    steps:\n      - run: |\n          echo a\n          echo b\n# run: curl x\n",
         "jobs.b.steps.0.run = echo a\\necho b\\n\n"},
        {"YAML aliases read as their anchor", "/p/c.yaml", "base: &b {x: 1}\nuse: *b\nn: ~\ne: []\n",
         "base.x = 1\nuse.x = 1\nn = null\ne = []\n"},
        {"invalid YAML has no view", "/p/c.yml", "a: [1, 2\n", "<none>"},
        {"TOML tables (keys in order), arrays and literals", "/p/pyproject.toml",
         "[tool.x]\ncmd = \"sh -c 'id'\"\nn = 3\nf = [true, 1.5]\n# k = \"gone\"\n",
         "tool.x.cmd = sh -c 'id'\ntool.x.f.0 = true\ntool.x.f.1 = 1.5\ntool.x.n = 3\n"},
        {"invalid TOML has no view", "/p/Cargo.toml", "[a\nb = ", "<none>"},
        {"git config folds section and key case, keeps the subsection's", "/p/.git/config",
         "[Core]\n\tFSMonitor = \"./x.sh\" # why\n[Remote \"Origin\"]\n  URL = u\n[alias]\n  co\n; [x] k = "
         "1\n",
         "core.fsmonitor = ./x.sh\nremote.Origin.url = u\nalias.co = true\n"},
        {"git config quotes, escapes, continuation and the old subsection form", "/p/.gitconfig",
         "[alias \"x\"]\n  a = !\"sh\" -c \\\n  \"echo \\\"q\\\" ;\\tz\"   \n[Sub.Sect]\nk=v\n",
         "alias.x.a = !sh -c   echo \"q\" ;\\tz\nsub.sect.k = v\n"},
        {"git config under ~/.config/git and modules", "/h/.config/git/config", "[core]\npager = less\n",
         "core.pager = less\n"},
        {".npmrc keys and sections, comments dropped", "/p/.npmrc",
         "; node-options=--require x\nnode-options = --require ./a.js\n[sec]\n# c\nk: v\n",
         "node-options = --require ./a.js\nsec.k = v\n"},
        {"properties file", "/p/gradle/wrapper/gradle-wrapper.properties",
         "! c\ndistributionUrl=https\\://e.example/g.zip\n",
         "distributionUrl = https\\\\://e.example/g.zip\n"},
        {"other files have no config view", "/p/readme.md", "a = b\n", "<none>"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(configOf(row.path, row.content), row.lines) << row.name;
}

TEST(RulesConfigView, HostileInputStaysWithinBounds)
{
    struct Row
    {
        const char* name;
        const char* path;
        std::string content;
    };
    std::string laughs = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
    for (char c = 'b'; c <= 'k'; ++c)
        laughs += std::string(1, c) + ": &" + c + " [*" + char(c - 1) + ", *" + char(c - 1) + ", *" +
                  char(c - 1) + ", *" + char(c - 1) + ", *" + char(c - 1) + ", *" + char(c - 1) + ", *" +
                  char(c - 1) + ", *" + char(c - 1) + ", *" + char(c - 1) + ", *" + char(c - 1) + "]\n";
    const Row rows[] = {
        {"YAML alias bomb", "/p/a.yml", laughs},
        {"long key repeated on every leaf", "/p/a.json",
         "{\"" + std::string(4000, 'k') + "\":[" +
             [] {
                 std::string s = "1";
                 for (int i = 0; i < 3000; ++i)
                     s += ",1";
                 return s;
             }() +
             "]}"},
        {"deep JSON", "/p/d.json", std::string(100000, '[') + std::string(100000, ']')},
        {"deep YAML", "/p/d.yaml", std::string(5000, '[') + std::string(5000, ']')},
        {"deep TOML", "/p/d.toml", "a = " + std::string(5000, '[') + std::string(5000, ']')},
    };
    for (const auto& row : rows) {
        const std::string out = configOf(row.path, row.content);
        EXPECT_LE(out.size(), viewBudget(row.content.size())) << row.name;
    }
}
} // namespace
