#include "RuleCases.h"

#include "TestSupport.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tw::test {

namespace {

std::vector<std::string> split(const std::string& s, char separator)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string item; std::getline(in, item, separator);)
        out.push_back(item);
    return out;
}

// "1200k" or "2M"; 0 for "-" or anything else.
std::uintmax_t parseSize(const std::string& s)
{
    if (s.size() < 2 || s.find_first_not_of("0123456789") != s.size() - 1)
        return 0;
    const std::uintmax_t n = std::stoull(s);
    return s.back() == 'M' ? n << 20 : s.back() == 'k' ? n << 10 : 0;
}

std::vector<std::string> g_malformed;

std::vector<RuleCase> loadCases()
{
    std::vector<std::filesystem::path> tables;
    for (const auto& e : std::filesystem::directory_iterator(testDataDir() / "rules" / "cases")) {
        if (e.path().extension() == ".tsv")
            tables.push_back(e.path());
    }
    std::sort(tables.begin(), tables.end());
    std::vector<RuleCase> cases;
    for (const auto& table : tables) {
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            const std::vector<std::string> f = split(line, '\t');
            // Nine columns, the last a size or "-".
            if (f.size() != 9 || (f[8] != "-" && parseSize(f[8]) == 0)) {
                g_malformed.push_back(table.filename().string() + ": " + line);
                continue;
            }
            const auto also = f[7] == "-" ? std::vector<std::string>{} : split(f[7], ',');
            cases.push_back({f[0],
                             f[1] == "fires",
                             f[2],
                             f[3],
                             static_cast<std::filesystem::perms>(std::stoi(f[4], nullptr, 8)),
                             f[5],
                             f[6],
                             {also.begin(), also.end()},
                             parseSize(f[8])});
        }
    }
    return cases;
}

} // namespace

const std::vector<RuleCase>& ruleCases()
{
    static const std::vector<RuleCase> all = loadCases();
    return all;
}

const std::vector<std::string>& malformedCaseRows()
{
    ruleCases();
    return g_malformed;
}

void plantSample(const RuleCase& c, const std::filesystem::path& target)
{
    std::filesystem::create_directories(target.parent_path());
    const auto source = testDataDir() / "rules" / "samples" / c.sample;
    if (c.growTo == 0) {
        std::filesystem::copy_file(source, target);
    } else {
        std::ifstream in(source, std::ios::binary);
        std::string first;
        std::getline(in, first);
        first += '\n';
        std::ofstream out(target, std::ios::binary);
        std::uintmax_t written = 0;
        for (; written < c.growTo; written += first.size())
            out << first;
        out << in.rdbuf();
    }
    std::filesystem::permissions(target, c.mode);
}

} // namespace tw::test
