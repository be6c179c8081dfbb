#include "UrgentPaths.h"

#include <algorithm>
#include <fnmatch.h>
#include <iterator>
#include <string_view>

namespace tw {
namespace {

// Matched against the whole path.
constexpr const char* pathPatterns[] = {"*/.git/hooks/*",
                                        "*/.git/config",
                                        "*/.git/modules/*/hooks/*",
                                        "*/.git/modules/*/config",
                                        "*/.husky/*",
                                        "*/.githooks/*",
                                        "*/.vscode/*",
                                        "*/.devcontainer/*",
                                        "*/.github/workflows/*",
                                        "*/.github/copilot-instructions.md",
                                        "*/.github/instructions/*",
                                        "*/.claude/*",
                                        "*/.cursor/rules/*",
                                        "*/.gemini/*",
                                        "*/.windsurf/rules/*",
                                        "*/.ssh/authorized_keys",
                                        "*.code-workspace"};

// Matched against the file name alone.
constexpr std::string_view names[] = {
    ".gitconfig",     ".gitmodules",    ".gitattributes", "package.json",    ".npmrc",
    ".yarnrc",        ".yarnrc.yml",    ".pypirc",        "setup.py",        "pyproject.toml",
    ".envrc",         "AGENTS.md",      "CLAUDE.md",      "CLAUDE.local.md", "GEMINI.md",
    ".cursorrules",   ".windsurfrules", ".clinerules",    ".bashrc",         ".bash_profile",
    ".profile",       ".zshrc",         ".zprofile",      ".zshenv",         ".devcontainer.json",
    ".code-workspace"};

} // namespace

bool isUrgentPath(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string_view name =
        slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    if (std::find(std::begin(names), std::end(names), name) != std::end(names))
        return true;
    return std::any_of(std::begin(pathPatterns), std::end(pathPatterns),
                       [&](const char* pattern) { return ::fnmatch(pattern, path.c_str(), 0) == 0; });
}

} // namespace tw
