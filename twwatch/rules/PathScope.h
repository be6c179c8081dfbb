#pragma once

// The paths a rule file is about, declared in the file itself:
//
//     // twwatch-scope: package.json .npmrc */.github/workflows/*
//
// Every string of every rule is searched in every file it is evaluated on, whatever its condition says
// about the path, and that search is most of the cost of a scan. A file that declares a scope only
// reports on paths inside it; a file without one on every file. The rules' own conditions still
// decide. Where a scoped file has a compiled set of its own, the scope also spares the search where
// its rules could never match (RuleCompiler.h).
//
// Patterns are separated by white space, one or more scope lines per file. A pattern with a slash is
// matched against the whole path, one without against the file name; `*`, `?` and `[...]` are shell
// wildcards (a `*` also crosses slashes), matching is case-sensitive. A pattern that starts with `!`
// excludes what it matches; a scope of exclusions alone covers every other file.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tw {

class PathScope
{
public:
    // Reads every "// twwatch-scope:" line of a rule file's text.
    static PathScope fromRuleText(std::string_view text);

    bool isEverything() const { return m_all.empty(); }
    bool contains(const std::string& path, const std::string& name) const;
    std::string describe() const; // the patterns, space-separated

private:
    void add(const std::string& pattern);

    struct Patterns
    {
        std::unordered_set<std::string> names; // plain file names, the common case: one hash look-up
        std::vector<std::string> namePatterns;
        std::vector<std::string> pathPatterns;
        bool empty() const { return names.empty() && namePatterns.empty() && pathPatterns.empty(); }
        bool match(const std::string& path, const std::string& name) const;
    };
    Patterns m_include;
    Patterns m_exclude;
    std::vector<std::string> m_all;
};

} // namespace tw
