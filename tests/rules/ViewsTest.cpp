// The decoders behind the derived views, row by row: what each input becomes, and that hostile input
// stays within its bounds.

#include "rules/views/DerivedViews.h"
#include "rules/views/ShellNormaliser.h"
#include "rules/views/TextView.h"

#include <gtest/gtest.h>
#include <string>

using namespace tw;
using namespace std::string_literals;

namespace {

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
        {"UTF-16 BE without mark", "\0n\0o\0d\0e\0 \0-\0e\0 \0'\0x\0'"s, true, "node -e 'x'"},
        {"UTF-32 LE with mark", "\xFF\xFE\0\0w\0\0\0g\0\0\0e\0\0\0t\0\0\0"s, true, "wget"},
        {"UTF-32 BE without mark", "\0\0\0w\0\0\0g\0\0\0e\0\0\0t\0\0\0 \0\0\0-\0\0\0q"s, true, "wget -q"},
        {"non-ASCII and surrogate pair", "\xFF\xFE\xE9\x00\xAC\x20\x3D\xD8\x00\xDE"s, true,
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
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

// The config view has one line per leaf, the commands view one per command that runs by itself.
TEST(RulesDerivedViews, ConfigLeavesAndCommands)
{
    struct Row
    {
        const char* view;
        const char* path;
        std::string content;
        std::string lines;
    };
    const Row rows[] = {
        {"config", "/p/.claude/settings.json",
         R"({"hooks":{"SessionStart":[{"hooks":[{"command":"cu\u0072l x\n\ty\\"}]}]}})",
         "hooks.SessionStart.0.hooks.0.command = curl x\\n\\ty\\\\\n"},
        {"config", "/p/a.json",
         R"({"n":1.50,"i":-3,"t":true,"z":null,"o":{},"a":[],"k.dot":"v","C":"\u0001"})",
         "n = 1.50\ni = -3\nt = true\nz = null\no = {}\na = []\nk.dot = v\nC = \\u0001\n"},
        {"config", "/p/package.json", "{\"a\": ", "<none>"},
        {"config", "/p/c.yaml", "base: &b {x: 1}\nuse: *b\nn: ~\ne: []\n",
         "base.x = 1\nuse.x = 1\nn = null\ne = []\n"},
        {"config", "/p/pyproject.toml",
         "[tool.x]\ncmd = \"sh -c 'id'\"\nn = 3\nf = [true, 1.5]\n# k = \"gone\"\n",
         "tool.x.cmd = sh -c 'id'\ntool.x.f.0 = true\ntool.x.f.1 = 1.5\ntool.x.n = 3\n"},
        {"config", "/p/.gitconfig",
         "[alias \"x\"]\n  a = !\"sh\" -c \\\n  \"echo \\\"q\\\" ;\\tz\"   \n[Sub.Sect]\nk=v\n",
         "alias.x.a = !sh -c   echo \"q\" ;\\tz\nsub.sect.k = v\n"},

        {"commands", "/p/.vscode/tasks.json",
         R"({"tasks":[{"command":"npm","args":["test"]},
             {"command":"node","args":["a.js","--x"],"linux":{"command":"sh"},"runOptions":{"runOn":"folderOpen"}}]})",
         "vscode.task.folderOpen: node a.js --x\nvscode.task.folderOpen: sh a.js --x\n"},
        {"commands", "/p/.devcontainer/devcontainer.json",
         R"({"initializeCommand":"curl x|sh","postCreateCommand":["npm","ci"],"postStartCommand":{"a":"id","b":["ls","-l"]}})",
         "devcontainer.initializeCommand: curl x|sh\ndevcontainer.postCreateCommand: npm ci\n"
         "devcontainer.postStartCommand: id\ndevcontainer.postStartCommand: ls -l\n"},
        {"commands", "/p/.cursor/mcp.json",
         R"({"mcpServers":{"s":{"command":"npx","args":["-y","pkg"]},"r":{"url":"https://e.example"}}})",
         "mcp.server: npx -y pkg\n"},
        {"commands", "/p/.claude/settings.json",
         R"({"hooks":{"PreToolUse":[{"hooks":[{"type":"command","command":"./h.sh"}]}]},"statusLine":{"command":"s"},"apiKeyHelper":"k"})",
         "agent.hook: ./h.sh\nagent.hook: s\nagent.hook: k\n"},
        {"commands", "/p/x/package.json", R"({"scripts":{"postinstall":"x")", "<none>"},
    };
    for (const auto& row : rows) {
        DerivedViews views;
        views.derive(describePath(row.path), row.content);
        std::string lines = "<none>";
        for (const auto& v : views.views())
            if (std::string(v.name) == row.view)
                lines = v.content;
        EXPECT_EQ(lines, row.lines) << row.view << " of " << row.path;
    }
}

// Every hostile input through every view the watcher derives: the text view within one and a half times
// the input, the others and a shell command's normal form within the view budget.
TEST(RulesViews, HostileInputStaysWithinBounds)
{
    struct Row
    {
        const char* name;
        const char* path;
        std::string content;
    };
    std::string utf16 = "\xFF\xFE"s;
    for (int i = 0; i < 5000; ++i)
        utf16 += "\xAC\x20"s;
    // Ten aliases of ten aliases of ...: 10^11 nodes when expanded.
    std::string laughs = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
    for (char c = 'b'; c <= 'k'; ++c) {
        laughs += std::string(1, c) + ": &" + c + " [*" + char(c - 1);
        for (int i = 0; i < 9; ++i)
            laughs += std::string(", *") + char(c - 1);
        laughs += "]\n";
    }
    std::string ones = "1";
    for (int i = 0; i < 3000; ++i)
        ones += ",1";
    std::string bomb = "a=xxxxxxxxxxxxxxxx";
    for (char c = 'b'; c <= 'z'; ++c)
        bomb += std::string(";") + c + "=$" + char(c - 1) + "$" + char(c - 1);
    const Row rows[] = {
        {"UTF-16 of three-byte characters only: the worst case", "/p/a.txt", utf16},
        {"YAML alias bomb", "/p/a.yml", laughs},
        {"long key repeated on every leaf", "/p/a.json",
         "{\"" + std::string(4000, 'k') + "\":[" + ones + "]}"},
        {"deep JSON", "/p/d.json", std::string(100000, '[') + std::string(100000, ']')},
        {"YAML that makes yaml-cpp report nulls without end", "/p/c.yml", ","},
        {"deep YAML", "/p/d.yaml", std::string(5000, '[') + std::string(5000, ']')},
        {"deep TOML", "/p/d.toml", "a = " + std::string(5000, '[') + std::string(5000, ']')},
        // Each assignment doubles the last: unbounded substitution would grow exponentially.
        {"variables doubling", "/p/run.sh", bomb + ";$z$z$z$z"},
        {"nested substitutions", "/p/run.sh", std::string(2000, '$') + std::string(2000, '(')},
    };
    for (const auto& row : rows) {
        DerivedViews views;
        views.derive(describePath(row.path), row.content);
        for (const auto& v : views.views()) {
            const bool text = std::string(v.name) == "text";
            EXPECT_LE(v.content.size(),
                      text ? row.content.size() * 3 / 2 : viewBudget(row.content.size() * 3 / 2))
                << row.name << ", " << v.name;
        }
        EXPECT_LE(normaliseCommand(row.content).size(), viewBudget(row.content.size())) << row.name;
    }
}

// The pack's cases cover the tricks themselves (split quotes, printf escapes, brace lists, base64);
// these rows are the edges they do not reach.
TEST(RulesShellNormaliser, SeesThroughEachTrick)
{
    struct Row
    {
        const char* command;
        const char* normalised;
        std::vector<std::string> decoded;
    };
    const Row rows[] = {
        {R"(c\u\r\l x)", "curl x", {}},
        {"{curl,-fsSL,u}|sh; echo {a,b}", "curl -fsSL u|sh; echo {a,b}", {}}, // command position only
        {"echo $HOME ${X}", "echo $HOME ${X}", {}},
        {"base64 -d <<< 'aWQ7IHdob2FtaQ=='", "base64 -d <<< aWQ7IHdob2FtaQ==", {"id; whoami"}},
        {"echo WlhoaGJRPT0= | base64 -d", "echo WlhoaGJRPT0= | base64 -d", {"ZXhhbQ=="}}, // decoded once
        // Binary decodings are dropped.
        {"echo AAECAwQFBgcICQ== | base64 -d", "echo AAECAwQFBgcICQ== | base64 -d", {}},
        {"echo 'abc", "echo abc", {}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> decoded;
        EXPECT_EQ(normaliseCommand(row.command, &decoded), row.normalised) << row.command;
        EXPECT_EQ(decoded, row.decoded) << row.command;
    }
}

} // namespace
