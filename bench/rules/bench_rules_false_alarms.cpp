// False alarms of the bundled pack on real code that is on this machine: npm's own package tree, the
// Python standard library and site-packages (of every python3 found), and /usr/share/doc. The goal is
// no "critical" and no "high"; every finding is listed with the rule's description, which says why it
// fired.
//
//   bench_rules_false_alarms [DIR...]   (default: the trees above)

#include "BenchSupport.h"

#include <cstdio>
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
    std::vector<fs::path> trees;
    for (int i = 1; i < argc; ++i)
        trees.emplace_back(argv[i]);
    if (trees.empty())
        trees = defaultTrees();
    const auto why = descriptions();

    std::map<std::string, int> totals;
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
            const auto d = why.find(rule);
            listed.push_back(severity + "  " + rule + "  " + path + "\n      why: " +
                             (d == why.end() ? std::string("(no description)") : d->second));
        }
        std::printf("%-60s %8zu %8.2f %9d %6d %8d\n", tree.c_str(), countFiles(tree), r.seconds,
                    counts["critical"], counts["high"], counts["warning"]);
    }
    std::printf("\ntotal: %d critical, %d high, %d warning (goal: no critical, no high)\n",
                totals["critical"], totals["high"], totals["warning"]);
    for (const auto& l : listed)
        std::printf("  %s\n", l.c_str());
    return totals["critical"] + totals["high"] == 0 ? 0 : 1;
}
