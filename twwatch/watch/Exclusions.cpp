#include "Exclusions.h"

#include <array>

namespace tw {
namespace {

std::string_view lastComponent(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view dirName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash);
}

// True for a git directory: `.git` itself, or a submodule's `.git/modules/<name>` (nested modules
// included, as .git/modules/a/modules/b).
bool isGitDir(std::string_view dir)
{
    if (lastComponent(dir) == ".git")
        return true;
    const std::string_view parent = dirName(dir);
    return lastComponent(parent) == "modules" && dir.find("/.git/modules/") != std::string_view::npos;
}

} // namespace

bool isPrunedDirectory(std::string_view parent, std::string_view name)
{
    static constexpr std::array<std::string_view, 2> gitChurn{"objects", "lfs"};
    for (const auto churn : gitChurn) {
        if (name == churn && isGitDir(parent))
            return true;
    }
    return false;
}

bool isPrunedDirectory(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return isPrunedDirectory(dirName(path), lastComponent(path));
}

} // namespace tw
