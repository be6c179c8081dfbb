#include "RuleCases.h"

#include "TestSupport.h"

#include <fstream>
#include <sstream>

namespace tw::test {

namespace {

std::set<std::string> splitList(const std::string& s)
{
    std::set<std::string> out;
    if (s == "-")
        return out;
    std::istringstream in(s);
    for (std::string item; std::getline(in, item, ',');)
        out.insert(item);
    return out;
}

std::vector<RuleCase> loadCases()
{
    std::vector<RuleCase> cases;
    std::ifstream in(testDataDir() / "rules" / "cases.tsv");
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::istringstream cols(line);
        for (std::string c; std::getline(cols, c, '\t');)
            f.push_back(c);
        if (f.size() != 8)
            continue; // caught by CasesTableIsWellFormed
        cases.push_back({f[0], f[1] == "fires", f[2], f[3],
                         static_cast<std::filesystem::perms>(std::stoi(f[4], nullptr, 8)), f[5], f[6],
                         splitList(f[7])});
    }
    return cases;
}

} // namespace

const std::vector<RuleCase>& ruleCases()
{
    static const std::vector<RuleCase> all = loadCases();
    return all;
}

void plantSample(const RuleCase& c, const std::filesystem::path& target)
{
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(testDataDir() / "rules" / "samples" / c.sample, target);
    std::filesystem::permissions(target, c.mode);
}

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << c.name;
}

} // namespace tw::test
