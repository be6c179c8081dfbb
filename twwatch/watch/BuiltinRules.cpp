// The fallback engine: a handful of path and content checks for the attacks this tool exists for. The
// YARA rule pack supersedes it whenever it loads.

#include "RuleEngine.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace tw {
namespace {

constexpr size_t maxRead = 1 << 20;

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string_view baseName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool hasWord(const Change& change, std::string_view word)
{
    return std::find(change.types.begin(), change.types.end(), word) != change.types.end();
}

// Reads at most maxRead bytes without following a symlink at the last component.
std::string readHead(const std::string& path)
{
    std::string data;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return data;
    data.resize(maxRead);
    size_t got = 0;
    while (got < maxRead) {
        const ssize_t n = ::read(fd, data.data() + got, maxRead - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    data.resize(got);
    return data;
}

// Bidirectional controls, zero-width characters and Unicode tag characters, as UTF-8.
bool hasInvisibleUnicode(std::string_view text)
{
    static constexpr std::array<std::string_view, 12> marks{
        "\xE2\x80\x8B", "\xE2\x80\x8C", "\xE2\x80\x8D", "\xE2\x80\xAA", "\xE2\x80\xAB", "\xE2\x80\xAC",
        "\xE2\x80\xAD", "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x81\xA7", "\xE2\x81\xA8", "\xE2\x81\xA9"};
    for (const auto mark : marks) {
        if (text.find(mark) != std::string_view::npos)
            return true;
    }
    return text.find("\xF3\xA0\x80") != std::string_view::npos ||
           text.find("\xF3\xA0\x81") != std::string_view::npos;
}

bool isAgentRulesFile(std::string_view path)
{
    const auto name = baseName(path);
    return name == ".cursorrules" || name == ".windsurfrules" || name == "CLAUDE.md" || name == "AGENTS.md" ||
           name == "copilot-instructions.md" || path.find("/.cursor/rules/") != std::string_view::npos;
}

class BuiltinEvaluator final : public Evaluator
{
public:
    std::vector<RuleMatch> evaluate(const Change& change) override
    {
        std::vector<RuleMatch> matches;
        if (hasWord(change, words::deleted) && change.types.size() == 1)
            return matches;
        const std::string_view path = change.path;
        if (path.find("/.git/hooks/") != std::string_view::npos && !endsWith(path, ".sample"))
            matches.push_back({"git_hook_changed", "critical"});
        if (endsWith(path, "/.vscode/tasks.json"))
            matches.push_back({"vscode_task_changed", "high"});
        const bool packageJson = baseName(path) == "package.json";
        const bool agentRules = isAgentRulesFile(path);
        if (packageJson || agentRules) {
            const std::string text = readHead(change.path);
            if (packageJson && (text.find("\"preinstall\"") != std::string::npos ||
                                text.find("\"postinstall\"") != std::string::npos ||
                                text.find("\"install\"") != std::string::npos))
                matches.push_back({"npm_lifecycle_script", "high"});
            if (agentRules && hasInvisibleUnicode(text))
                matches.push_back({"agent_rules_invisible_unicode", "critical"});
        }
        return matches;
    }
};

class BuiltinRuleEngine final : public RuleEngine
{
public:
    std::unique_ptr<Evaluator> makeEvaluator() const override { return std::make_unique<BuiltinEvaluator>(); }
};

} // namespace

std::unique_ptr<RuleEngine> makeBuiltinRuleEngine()
{
    return std::make_unique<BuiltinRuleEngine>();
}

} // namespace tw
