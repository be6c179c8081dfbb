#pragma once

// The `commands` view: the commands a tool runs by itself from this file, one per line as
// `<surface>: <normalised command>` (npm lifecycle scripts, folder-open tasks, dev container hooks, MCP
// servers, agent hooks, git's command keys, .npmrc, workflow steps, shell scripts, Python .pth lines).
// Each command goes through the shell de-obfuscator; what it decodes follows under the same surface.

#include "rules/views/ConfigLeaves.h"

#include <memory>
#include <string>
#include <string_view>

namespace tw {

// Collects the leaves of a structured file that name commands, and turns them into the view.
class CommandCollector : public LeafSink
{
public:
    // Writes the view to `out` and the source line of each of its lines to `origins`.
    virtual void render(std::string& out, LineOrigins& origins, std::size_t budget) const = 0;
};

// The collector for a structured file (read through its config format), or null.
std::unique_ptr<CommandCollector> commandCollectorFor(const FileFacts& facts);

// The commands of a script file (shell, git hook, .envrc, .pth); false when the file is none.
// `origins`: the line each command starts on, for every line of `out`.
bool scriptCommands(const FileFacts& facts, std::string_view text, std::string& out, LineOrigins& origins,
                    std::size_t budget);

} // namespace tw
