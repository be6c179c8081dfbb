#pragma once

// The bundled pack's cases, one per line of tests/data/rules/cases.tsv: a sample (an attack or a benign
// look-alike), where it lands in a developer's tree with which mode, and which rule should or should
// not fire on it.

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace tw::test {

struct RuleCase
{
    std::string name;
    bool fires = false;
    std::string rule;
    std::string severity;
    std::filesystem::perms mode{};
    std::string sample;      // under tests/data/rules/samples/
    std::string destination; // relative to the tree
    std::set<std::string> alsoAllowed;
};

// The well-formed rows of cases.tsv, read once.
const std::vector<RuleCase>& ruleCases();

// Copies the case's sample to `target` with the case's mode.
void plantSample(const RuleCase& c, const std::filesystem::path& target);

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RuleCase& c, std::ostream* os);

} // namespace tw::test
