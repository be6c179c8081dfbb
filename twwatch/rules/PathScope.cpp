#include "rules/PathScope.h"

#include <fnmatch.h>
#include <sstream>

namespace tw {

PathScope PathScope::fromRuleText(std::string_view text)
{
    static constexpr std::string_view marker = "twwatch-scope:";
    PathScope scope;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line.substr(first, 2) != "//")
            continue;
        line.remove_prefix(first + 2);
        const auto m = line.find_first_not_of(" \t");
        if (m == std::string_view::npos || line.substr(m, marker.size()) != marker)
            continue;
        std::istringstream patterns{std::string(line.substr(m + marker.size()))};
        for (std::string p; patterns >> p;)
            scope.add(p);
    }
    return scope;
}

void PathScope::add(const std::string& pattern)
{
    const bool exclude = pattern[0] == '!';
    const std::string p = exclude ? pattern.substr(1) : pattern;
    if (p.empty())
        return;
    m_all.push_back(pattern);
    Patterns& into = exclude ? m_exclude : m_include;
    if (p.find('/') != std::string::npos)
        into.pathPatterns.push_back(p);
    else if (p.find_first_of("*?[") != std::string::npos)
        into.namePatterns.push_back(p);
    else
        into.names.insert(p);
}

bool PathScope::Patterns::match(const std::string& path, const std::string& name) const
{
    if (names.count(name))
        return true;
    for (const auto& p : namePatterns)
        if (::fnmatch(p.c_str(), name.c_str(), 0) == 0)
            return true;
    for (const auto& p : pathPatterns)
        if (::fnmatch(p.c_str(), path.c_str(), 0) == 0)
            return true;
    return false;
}

bool PathScope::contains(const std::string& path, const std::string& name) const
{
    if (!m_exclude.empty() && m_exclude.match(path, name))
        return false;
    return m_include.empty() || m_include.match(path, name);
}

std::string PathScope::describe() const
{
    std::string s;
    for (const auto& p : m_all)
        s += (s.empty() ? "" : " ") + p;
    return s;
}

} // namespace tw
