#include "UrgentPaths.h"

#include "watch/PathScope.h"

namespace tw {

bool isUrgentPath(const std::string& path)
{
    static const PathScope urgent = PathScope::fromRuleText(
        "// twwatch-scope: */.git/hooks/* */.git/config */.git/modules/*/hooks/* */.git/modules/*/config\n"
        "// twwatch-scope: */.husky/* */.githooks/* .gitconfig .gitmodules .gitattributes\n"
        "// twwatch-scope: package.json .npmrc .yarnrc .yarnrc.yml .pypirc setup.py pyproject.toml\n"
        "// twwatch-scope: */.vscode/* *.code-workspace */.devcontainer/* .devcontainer.json .envrc\n"
        "// twwatch-scope: */.github/workflows/* */.github/copilot-instructions.md */.github/instructions/*\n"
        "// twwatch-scope: AGENTS.md CLAUDE.md CLAUDE.local.md GEMINI.md .cursorrules .windsurfrules\n"
        "// twwatch-scope: .clinerules */.claude/* */.cursor/rules/* */.gemini/* */.windsurf/rules/*\n"
        "// twwatch-scope: .bashrc .bash_profile .profile .zshrc .zprofile .zshenv */.ssh/authorized_keys\n");
    const auto slash = path.rfind('/');
    return urgent.contains(path, slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace tw
