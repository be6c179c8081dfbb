#include "rules/views/ConfigLeaves.h"

#include <algorithm>
#include <iterator>

namespace tw {

namespace {

bool isOneOf(std::string_view s, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), s) != list.end();
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

} // namespace

ConfigFormat configFormatOf(const FileFacts& f)
{
    const std::string_view name = f.name;
    if (name == ".gitconfig" || name == ".gitmodules" || name == "config.worktree" ||
        (name.size() > 10 && name.substr(name.size() - 10) == ".gitconfig") ||
        (name == "config" && (f.path.find("/.git/") != std::string::npos || parentName(f.path) == "git")))
        return ConfigFormat::GitConfig;
    if (isOneOf(name, {".npmrc", ".pypirc", ".yarnrc", ".editorconfig"}) ||
        isOneOf(f.extension, {"ini", "cfg", "properties"}))
        return ConfigFormat::Ini;
    if (isOneOf(f.extension, {"json", "jsonc", "code-workspace"}))
        return ConfigFormat::Json;
    if (isOneOf(f.extension, {"yml", "yaml"}))
        return ConfigFormat::Yaml;
    if (f.extension == "toml")
        return ConfigFormat::Toml;
    return ConfigFormat::None;
}

bool readConfigLeaves(ConfigFormat format, std::string_view text, LeafSink& sink)
{
    switch (format) {
    case ConfigFormat::Json:
        return readJsonLeaves(text, sink);
    case ConfigFormat::Yaml:
        return readYamlLeaves(text, sink);
    case ConfigFormat::Toml:
        return readTomlLeaves(text, sink);
    case ConfigFormat::GitConfig:
        return readGitConfigLeaves(text, sink);
    case ConfigFormat::Ini:
        return readIniLeaves(text, sink);
    case ConfigFormat::None:
        break;
    }
    return false;
}

void noteOrigins(std::string_view out, std::size_t from, std::uint32_t line, LineOrigins& origins)
{
    for (std::size_t at = out.find('\n', from); at != std::string_view::npos; at = out.find('\n', at + 1))
        origins.push_back(line);
}

} // namespace tw
