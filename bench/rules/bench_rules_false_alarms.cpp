// False alarms of the bundled pack on real code: a fresh `npm install --ignore-scripts` of a pinned list
// of popular packages (bench/rules/false_alarm_packages.txt) in a temporary folder, npm's own package
// tree, the Python standard library and site-packages (of every python3 found), and /usr/share/doc.
// The goal is no "critical", and only "high" findings a careful user would agree with; every critical
// and high is listed with its rule and the rule's description, warnings are counted per rule. The load
// average is printed beside the figures because the machine is shared.
//
//   bench_rules_false_alarms [--keep] [DIR...]   (default: the trees above; --keep leaves the npm tree)

#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace tw::bench;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty())
            out.push_back(l);
    return out;
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Installs the pinned package list into a new temporary folder without running any package script
// (the benchmark must never run package code). Returns the folder, or an empty path when npm failed.
fs::path installPinnedPackages()
{
    std::vector<std::string> argv{"npm",
                                  "install",
                                  "--ignore-scripts",
                                  "--no-audit",
                                  "--no-fund",
                                  "--legacy-peer-deps",
                                  "--prefer-offline",
                                  "--loglevel=error"};
    std::ifstream list(fs::path(TW_SOURCE_DIR) / "bench" / "rules" / "false_alarm_packages.txt");
    std::size_t packages = 0;
    for (std::string l; std::getline(list, l);) {
        if (!l.empty() && l[0] != '#') {
            argv.push_back(l);
            ++packages;
        }
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/tw-false-alarms-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        return {};
    const fs::path dir = tmpl;
    std::ofstream(dir / "package.json") << "{ \"name\": \"tw-false-alarm-bench\", \"private\": true }\n";
    argv.insert(argv.begin() + 1, {"--prefix", dir.string()});
    std::printf("npm install --ignore-scripts of %zu pinned packages into %s ...\n", packages, dir.c_str());
    std::fflush(stdout);
    const RunResult r = run(argv, false);
    if (r.exitCode != 0) {
        std::fprintf(stderr, "npm install failed with exit code %d\n", r.exitCode);
        fs::remove_all(dir);
        return {};
    }
    std::printf("installed in %.0f s\n", r.seconds);
    return dir;
}

std::vector<fs::path> defaultTrees()
{
    std::set<fs::path> trees;
    const RunResult npmRoot = run({"npm", "root", "-g"}, true);
    for (const auto& l : lines(npmRoot.out))
        if (fs::is_directory(fs::path(l) / "npm"))
            trees.insert(fs::path(l) / "npm");
    const std::string probe = "import site, sysconfig\nprint(sysconfig.get_paths()['stdlib'])\n"
                              "[print(p) for p in site.getsitepackages()]\n";
    for (const char* python : {"python3", "/usr/bin/python3"}) {
        for (const auto& l : lines(run({python, "-c", probe}, true).out))
            if (fs::is_directory(l))
                trees.insert(fs::canonical(l));
    }
    trees.insert("/usr/share/doc");
    // A site-packages folder inside a standard library folder is scanned with it.
    std::vector<fs::path> out;
    for (const auto& t : trees) {
        bool inside = false;
        for (const auto& o : trees)
            inside = inside || (o != t && t.string().rfind(o.string() + "/", 0) == 0);
        if (!inside)
            out.push_back(t);
    }
    return out;
}

// rule name -> description meta, read from the pack.
std::map<std::string, std::string> descriptions()
{
    std::map<std::string, std::string> out;
    const std::regex ruleRe(R"(^\s*rule\s+(\w+))"), descRe(R"re(^\s*description\s*=\s*"(.*)"\s*$)re");
    for (const auto& f : packFiles()) {
        std::ifstream in(f);
        std::string current;
        for (std::string l; std::getline(in, l);) {
            std::smatch m;
            if (std::regex_search(l, m, ruleRe))
                current = m[1];
            else if (std::regex_search(l, m, descRe) && !current.empty())
                out[current] = m[1];
        }
    }
    return out;
}

std::size_t countFiles(const fs::path& dir)
{
    std::size_t n = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        n += it->is_regular_file(ec);
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    bool keep = false;
    std::vector<fs::path> trees;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--keep")
            keep = true;
        else
            trees.emplace_back(argv[i]);
    }
    fs::path installed;
    if (trees.empty()) {
        installed = installPinnedPackages();
        if (installed.empty())
            return 2;
        trees.push_back(installed / "node_modules");
        for (const auto& t : defaultTrees())
            trees.push_back(t);
    }
    const auto why = descriptions();
    std::printf("load average before: %s\n", loadAverage().c_str());

    std::map<std::string, int> totals;
    std::map<std::string, int> warningsByRule;
    std::vector<std::string> listed;
    std::printf("%-60s %8s %8s %9s %6s %8s\n", "tree", "files", "seconds", "critical", "high", "warning");
    for (const auto& tree : trees) {
        const RunResult r = run({twwatchBinary().string(), "--scan", tree.string()}, true);
        std::map<std::string, int> counts;
        for (const auto& l : lines(r.out)) {
            const auto j = nlohmann::json::parse(l);
            const std::string severity = j.at("severity"), rule = j.at("rule"), path = j.at("path");
            ++counts[severity];
            ++totals[severity];
            if (severity == "warning") {
                ++warningsByRule[rule];
                continue;
            }
            const auto d = why.find(rule);
            listed.push_back(severity + "  " + rule + "  " + path + "\n      why: " +
                             (d == why.end() ? std::string("(no description)") : d->second));
        }
        std::printf("%-60s %8zu %8.2f %9d %6d %8d\n", tree.c_str(), countFiles(tree), r.seconds,
                    counts["critical"], counts["high"], counts["warning"]);
    }
    std::printf(
        "\ntotal: %d critical, %d high, %d warning (goal: no critical; each high one you would agree with)\n",
        totals["critical"], totals["high"], totals["warning"]);
    std::printf("load average after: %s\n", loadAverage().c_str());
    std::sort(listed.begin(), listed.end());
    for (const auto& l : listed)
        std::printf("  %s\n", l.c_str());
    if (!warningsByRule.empty())
        std::printf("\nwarnings by rule:\n");
    for (const auto& [rule, n] : warningsByRule)
        std::printf("  %6d  %s\n", n, rule.c_str());
    if (!installed.empty()) {
        if (keep)
            std::printf("\nnpm tree kept in %s\n", installed.c_str());
        else
            fs::remove_all(installed);
    }
    return totals["critical"] == 0 ? 0 : 1;
}
