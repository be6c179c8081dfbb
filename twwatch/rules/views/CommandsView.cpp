#include "rules/views/CommandsView.h"

#include "rules/views/ShellNormaliser.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace tw {

namespace {

// git reads a boolean in any letter case and in several spellings; core.fsmonitor set to one of them
// selects git's own daemon (or none), not a program.
bool isGitBoolean(std::string_view value)
{
    std::string lower(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"true", "false", "yes", "no", "on", "off", "1", "0", ""})
        if (lower == word)
            return true;
    return false;
}

using Key = std::vector<std::string>;

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool isOneOf(std::string_view s, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), s) != list.end();
}

bool isIndex(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view parentName(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return {};
    const std::string_view dir = path.substr(0, slash);
    const auto prev = dir.find_last_of('/');
    return prev == std::string_view::npos ? dir : dir.substr(prev + 1);
}

struct Out
{
    std::string& text;
    LineOrigins& origins;
    std::size_t budget;
};

// Appends `surface: line` for every line of `command`, then its decoded literals, each on the source
// line of the command's line it came from.
void emit(Out& o, std::string_view surface, std::string_view command, SourceLine origin)
{
    std::string& out = o.text;
    const std::size_t budget = o.budget;
    std::size_t pos = 0;
    for (std::size_t index = 0; pos <= command.size() && out.size() < budget; ++index) {
        const std::size_t from = out.size();
        auto end = command.find('\n', pos);
        if (end == std::string_view::npos)
            end = command.size();
        std::vector<std::string> decoded;
        const std::string line = normaliseCommand(command.substr(pos, end - pos), &decoded);
        pos = end + 1;
        if (line.empty())
            continue;
        out.append(surface).append(": ").append(line) += '\n';
        for (const auto& d : decoded)
            out.append(surface).append(": ").append(d) += '\n';
        noteOrigins(out, from, origin.at(index), o.origins);
    }
    if (out.size() > budget)
        out.resize(budget);
}

enum Kind : unsigned {
    Package = 1,
    Tasks = 2,
    WorkspaceTasks = 4,
    Devcontainer = 8,
    Mcp = 16,
    AgentHooks = 32,
    Git = 64,
    Npmrc = 128,
    Yarn = 256,
    Workflow = 512,
    Action = 1024,
    PreCommit = 2048,
};

unsigned kindsOf(const FileFacts& f)
{
    const std::string_view name = f.name, path = f.path, parent = parentName(f.path);
    unsigned k = 0;
    if (name == "package.json")
        k |= Package;
    if (endsWith(path, "/.vscode/tasks.json"))
        k |= Tasks;
    if (f.extension == "code-workspace")
        k |= WorkspaceTasks;
    if (name == "devcontainer.json" || name == ".devcontainer.json")
        k |= Devcontainer;
    if (name == ".mcp.json" || name == "claude_desktop_config.json" || name == ".claude.json" ||
        endsWith(path, "/.gemini/settings.json") ||
        (name == "mcp.json" &&
         isOneOf(parent, {".cursor", ".vscode", ".roo", ".windsurf", ".kiro", ".amazonq"})))
        k |= Mcp;
    if (endsWith(path, "/.claude/settings.json") || endsWith(path, "/.claude/settings.local.json") ||
        endsWith(path, "/.gemini/settings.json") || endsWith(path, "/.cursor/hooks.json") ||
        (parent == "hooks" && path.find("/.github/hooks/") != std::string_view::npos &&
         f.extension == "json"))
        k |= AgentHooks;
    if (configFormatOf(f) == ConfigFormat::GitConfig)
        k |= Git;
    if (name == ".npmrc")
        k |= Npmrc;
    if (name == ".yarnrc.yml")
        k |= Yarn;
    if (path.find("/.github/workflows/") != std::string_view::npos && isOneOf(f.extension, {"yml", "yaml"}))
        k |= Workflow;
    if (name == "action.yml" || name == "action.yaml")
        k |= Action;
    if (name == ".pre-commit-config.yaml")
        k |= PreCommit;
    return k;
}

std::string join(const std::vector<std::string>& parts)
{
    std::string s;
    for (const auto& p : parts)
        s += (s.empty() ? "" : " ") + p;
    return s;
}

class Collector : public CommandCollector
{
public:
    explicit Collector(unsigned kinds)
        : m_kinds(kinds)
    {
    }

    bool leaf(const Key& key, std::string_view value, SourceLine line) override
    {
        if (key.empty() || !wanted(key))
            return true;
        m_bytes += value.size();
        for (const auto& k : key)
            m_bytes += k.size();
        m_leaves.push_back({key, std::string(value), line});
        return true;
    }
    void reset() override { m_leaves.clear(); }

    void render(std::string& text, LineOrigins& origins, std::size_t budget) const override
    {
        text.clear();
        origins.clear();
        Out out{text, origins, budget};
        if (m_kinds & Package)
            package(out);
        if (m_kinds & (Tasks | WorkspaceTasks))
            tasks(out);
        if (m_kinds & Devcontainer)
            grouped(out, [](const Key& k) -> std::string {
                static const std::initializer_list<std::string_view> hooks = {
                    "initializeCommand", "onCreateCommand",  "updateContentCommand",
                    "postCreateCommand", "postStartCommand", "postAttachCommand"};
                if (!isOneOf(k[0], hooks))
                    return {};
                const bool entry = k.size() >= 2 && !isIndex(k[1]);
                return "devcontainer." + k[0] + (entry ? "\n" + k[1] : "");
            });
        if (m_kinds & Mcp)
            mcp(out);
        if (m_kinds & AgentHooks)
            for (const auto& [k, v, line] : m_leaves)
                if ((k[0] == "hooks" && k.back() == "command") || k == Key{"statusLine", "command"} ||
                    k == Key{"apiKeyHelper"})
                    emit(out, "agent.hook", v, line);
        if (m_kinds & Git)
            git(out);
        if (m_kinds & Npmrc)
            for (const auto& [k, v, line] : m_leaves)
                if (k.size() == 1 && isOneOf(k[0], {"node-options", "script-shell", "git"}))
                    emit(out, "npmrc." + k[0], v, line);
        if (m_kinds & Yarn)
            for (const auto& [k, v, line] : m_leaves)
                if (k == Key{"yarnPath"})
                    emit(out, "yarn.yarnPath", v, line);
        if (m_kinds & Workflow)
            for (const auto& [k, v, line] : m_leaves)
                if (k.size() == 5 && k[0] == "jobs" && k[2] == "steps" && k[4] == "run")
                    emit(out, "workflow.run", v, line);
        if (m_kinds & Action)
            for (const auto& [k, v, line] : m_leaves)
                if (k.size() == 4 && k[0] == "runs" && k[1] == "steps" && k[3] == "run")
                    emit(out, "action.run", v, line);
        if (m_kinds & PreCommit)
            preCommit(out);
    }

private:
    bool wanted(const Key& key) const
    {
        if (m_bytes > 256 * 1024)
            return false; // enough to decide on; the rest is scanned in the other views
        const std::string& top = key[0];
        return (m_kinds & (Git | Npmrc | Yarn)) ||
               ((m_kinds & Package) && isOneOf(top, {"scripts", "dependencies", "devDependencies",
                                                     "optionalDependencies", "peerDependencies"})) ||
               ((m_kinds & (Tasks | WorkspaceTasks)) && top == "tasks") || (m_kinds & Devcontainer) ||
               ((m_kinds & Mcp) && isOneOf(top, {"mcpServers", "servers", "mcp"})) ||
               ((m_kinds & AgentHooks) && isOneOf(top, {"hooks", "statusLine", "apiKeyHelper"})) ||
               ((m_kinds & Workflow) && top == "jobs") || ((m_kinds & Action) && top == "runs") ||
               ((m_kinds & PreCommit) && top == "repos");
    }

    void package(Out& out) const
    {
        for (const auto& [k, v, line] : m_leaves) {
            if (k.size() != 2)
                continue;
            if (k[0] == "scripts" && isOneOf(k[1], {"preinstall", "install", "postinstall", "prepublish",
                                                    "preprepare", "prepare", "postprepare"}))
                emit(out, "npm." + k[1], v, line);
            else if (k[0] != "scripts") {
                for (std::string_view p : {"http://", "https://", "git+", "git://", "git@"})
                    if (v.rfind(p, 0) == 0) {
                        emit(out, "npm.dependency", v, line);
                        break;
                    }
            }
        }
    }

    // Leaves grouped by what `group` names them ("" leaves one out), joined by spaces in file order;
    // the group name's first line is the surface, and its first leaf's line the command's.
    void grouped(Out& out, const std::function<std::string(const Key&)>& group) const
    {
        struct Group
        {
            std::string name;
            std::vector<std::string> parts;
            SourceLine line;
        };
        std::vector<Group> groups;
        for (const auto& [k, v, line] : m_leaves) {
            const std::string g = group(k);
            if (g.empty())
                continue;
            auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& e) { return e.name == g; });
            if (it == groups.end())
                it = groups.insert(groups.end(), {g, {}, line});
            it->parts.push_back(v);
        }
        for (const auto& [g, parts, line] : groups)
            emit(out, g.substr(0, g.find('\n')), join(parts), line);
    }

    void tasks(Out& out) const
    {
        struct Task
        {
            std::string runOn;
            std::map<std::string, std::pair<std::string, SourceLine>> command; // by variant, with its line
            std::map<std::string, std::vector<std::string>> args;              // by variant
        };
        std::map<std::string, Task> byIndex;
        for (const auto& [key, v, line] : m_leaves) {
            Key k = key;
            if ((m_kinds & WorkspaceTasks) && k.size() > 1 && k[0] == "tasks" && k[1] == "tasks")
                k.erase(k.begin());
            if (k.size() < 3 || k[0] != "tasks")
                continue;
            Task& t = byIndex[k[1]];
            std::size_t at = 2;
            std::string variant;
            if (isOneOf(k[2], {"windows", "linux", "osx"}) && k.size() > 3)
                variant = k[at++];
            if (k.size() == at + 1 && k[at] == "command")
                t.command[variant] = {v, line};
            else if (k.size() == at + 2 && k[at] == "args")
                t.args[variant].push_back(v);
            else if (variant.empty() && k.size() == 4 && k[2] == "runOptions" && k[3] == "runOn")
                t.runOn = v;
        }
        for (const auto& [index, t] : byIndex) {
            if (t.runOn != "folderOpen")
                continue;
            for (const auto& [variant, command] : t.command) {
                std::vector<std::string> parts{command.first};
                const auto a = t.args.count(variant) ? t.args.find(variant) : t.args.find("");
                if (a != t.args.end())
                    parts.insert(parts.end(), a->second.begin(), a->second.end());
                emit(out, "vscode.task.folderOpen", join(parts), command.second);
            }
        }
    }

    void mcp(Out& out) const
    {
        grouped(out, [](const Key& k) -> std::string {
            std::size_t at = 0;
            if (k.size() >= 3 && (k[0] == "mcpServers" || k[0] == "servers"))
                at = 1;
            else if (k.size() >= 4 && k[0] == "mcp" && k[1] == "servers")
                at = 2;
            else
                return {};
            const bool part =
                (k.size() == at + 2 && k[at + 1] == "command") || (k.size() == at + 3 && k[at + 1] == "args");
            return part ? "mcp.server\n" + k[at] : std::string();
        });
    }

    void git(Out& out) const
    {
        for (const auto& [k, v, line] : m_leaves) {
            const std::string& section = k[0];
            const std::string& name = k.back();
            const std::string sub = k.size() == 3 ? k[1] : std::string();
            const char* surface = nullptr;
            std::string_view value = v;
            if (section == "core" && k.size() == 2) {
                if (name == "fsmonitor" && !isGitBoolean(v))
                    surface = "git.fsmonitor";
                else if (name == "hookspath")
                    surface = "git.hooksPath";
                else if (name == "pager")
                    surface = "git.pager";
                else if (name == "sshcommand")
                    surface = "git.sshCommand";
                else if (name == "editor")
                    surface = "git.editor";
                else if (name == "askpass")
                    surface = "git.askpass";
            } else if (section == "pager" && k.size() == 2) {
                surface = "git.pager";
            } else if (section == "sequence" && name == "editor") {
                surface = "git.editor";
            } else if (section == "diff" && k.size() == 2 && name == "external") {
                surface = "git.diff.external";
            } else if (section == "filter" && k.size() == 3 &&
                       isOneOf(name, {"clean", "smudge", "process"})) {
                surface = "git.filter";
            } else if (section == "diff" && k.size() == 3 && name == "textconv") {
                surface = "git.textconv";
            } else if (section == "alias" && !v.empty() && v[0] == '!') {
                surface = "git.alias";
                value.remove_prefix(1);
            } else if (section == "credential" && name == "helper" && !v.empty() && v[0] == '!') {
                surface = "git.credential";
                value.remove_prefix(1);
            } else if ((section == "include" || section == "includeif") && name == "path") {
                const std::size_t from = out.text.size();
                out.text.append("git.include: ").append(v) += '\n';
                noteOrigins(out.text, from, line.line, out.origins);
            }
            (void)sub;
            if (surface)
                emit(out, surface, value, line);
        }
    }

    void preCommit(Out& out) const
    {
        std::map<std::string, bool> local;
        for (const auto& [k, v, line] : m_leaves)
            if (k.size() == 3 && k[0] == "repos" && k[2] == "repo")
                local[k[1]] = v == "local";
        for (const auto& [k, v, line] : m_leaves)
            if (k.size() == 5 && k[0] == "repos" && k[2] == "hooks" && k[4] == "entry" && local[k[1]])
                emit(out, "precommit.hook", v, line);
    }

    unsigned m_kinds;
    std::size_t m_bytes = 0;
    struct Leaf
    {
        Key key;
        std::string value;
        SourceLine line;
    };
    std::vector<Leaf> m_leaves;
};

const char* scriptSurface(const FileFacts& f)
{
    const std::string_view name = f.name, parent = parentName(f.path);
    if (f.extension != "sample" && ((parent == "hooks" && f.path.find("/.git/") != std::string::npos) ||
                                    parent == ".husky" || parent == ".githooks"))
        return "git.hook";
    if (name == ".envrc")
        return "direnv";
    if (isOneOf(name, {".bashrc", ".bash_profile", ".profile", ".zshrc", ".zprofile", ".zlogin", ".zshenv",
                       ".bash_login", ".bash_aliases"}))
        return "shell.rc";
    if (isOneOf(f.extension, {"sh", "bash", "zsh"}))
        return "shell";
    if (f.extension == "pth")
        return "python.pth";
    return nullptr;
}

} // namespace

std::unique_ptr<CommandCollector> commandCollectorFor(const FileFacts& facts)
{
    const unsigned kinds = kindsOf(facts);
    return kinds ? std::make_unique<Collector>(kinds) : nullptr;
}

bool scriptCommands(const FileFacts& facts, std::string_view text, std::string& commands,
                    LineOrigins& origins, std::size_t budget)
{
    const char* surface = scriptSurface(facts);
    if (!surface)
        return false;
    commands.clear();
    origins.clear();
    Out out{commands, origins, budget};
    const bool pth = std::string_view(surface) == "python.pth";
    std::string logical;
    // A command joined from continued lines is reported on the line it starts on.
    std::uint32_t physical = 0, start = 0;
    std::size_t pos = 0;
    while (pos < text.size() && commands.size() < budget) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (physical < UINT32_MAX)
            ++physical;
        if (logical.empty())
            start = physical;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // A backslash at the end continues the line.
        if (!pth && !line.empty() && line.back() == '\\') {
            logical.append(line.substr(0, line.size() - 1));
            if (logical.size() < budget)
                continue;
        }
        logical.append(line);
        const auto first = logical.find_first_not_of(" \t");
        const bool keep = first != std::string::npos && logical[first] != '#' &&
                          (!pth || logical.compare(first, 6, "import") == 0);
        if (keep)
            emit(out, surface, logical, start);
        logical.clear();
    }
    return true;
}

} // namespace tw
