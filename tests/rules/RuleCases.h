#pragma once

// The bundled pack's cases, one per line of tests/data/rules/cases/<family>.tsv (written by
// make_samples.py): a sample (an attack or a benign look-alike), where it lands in a developer's tree
// with which mode, and which rule should or should not fire on it.

#include <cstdint>
#include <filesystem>
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
    // Non-zero: the sample's first line is repeated until the planted file has this many bytes, then
    // the rest follows; large samples are grown at test time instead of being committed.
    std::uintmax_t growTo = 0;
};

// The well-formed rows of all case tables (cases/*.tsv, in name order), read once.
const std::vector<RuleCase>& ruleCases();

// Each row that is not well-formed, as "table: row".
const std::vector<std::string>& malformedCaseRows();

// Copies the case's sample to `target` with the case's mode.
void plantSample(const RuleCase& c, const std::filesystem::path& target);

} // namespace tw::test
