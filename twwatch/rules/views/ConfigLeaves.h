#pragma once

// Configuration files as their leaves: every scalar value with the path of keys (and array indices)
// that leads to it. One reader per format, each built on a kept parser where one exists (nlohmann JSON,
// yaml-cpp, toml++); git config and INI files have small readers of their own. The readers feed a sink
// as they go, so no document tree of a large file is ever held, and every reader stops at kMaxDepth.

#include "rules/ExternalVariables.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class ConfigFormat { None, Json, Yaml, Toml, GitConfig, Ini };

// Decided by the file's name and place alone.
ConfigFormat configFormatOf(const FileFacts& facts);

inline constexpr std::size_t kMaxDepth = 64;

// Where a value starts in the text: its 1-based line (0 when the reader cannot tell), and whether the
// value's own lines are the text's lines from there on (a YAML literal block), or all come from it.
struct SourceLine
{
    SourceLine(std::uint32_t first = 0, bool keepsLines = false)
        : line(first)
        , spans(keepsLines)
    {
    }
    std::uint32_t line;
    bool spans;
    // The text's line of the value's line `index` (0-based).
    std::uint32_t at(std::size_t index) const
    {
        return spans && line != 0 && index < UINT32_MAX - line ? line + static_cast<std::uint32_t>(index)
                                                               : line;
    }
};

class LeafSink
{
public:
    virtual ~LeafSink() = default;
    // `value` is the decoded text of a string, the literal of a number or boolean, `null`, or `{}` / `[]`
    // for an empty object or array, found at `line`. Returning false stops the reader (the sink has had
    // enough).
    virtual bool leaf(const std::vector<std::string>& key, std::string_view value, SourceLine line) = 0;
    // Forgets every leaf fed so far: the reader starts again, or found the text invalid.
    virtual void reset() = 0;
};

// Feeds every leaf of `text` to `sink`; false when the text is not valid in its format, and then the
// caller drops what was fed. A sink that stops the reader does not make the text invalid.
bool readJsonLeaves(std::string_view text, LeafSink& sink);
bool readYamlLeaves(std::string_view text, LeafSink& sink);
bool readTomlLeaves(std::string_view text, LeafSink& sink);
// `section.subsection.key`: section and key lower case, values as git reads them.
bool readGitConfigLeaves(std::string_view text, LeafSink& sink);
// `key` at the top, `section.key` in a section; `;` and `#` comment lines dropped.
bool readIniLeaves(std::string_view text, LeafSink& sink);

bool readConfigLeaves(ConfigFormat format, std::string_view text, LeafSink& sink);

// The source line of each line of a derived view (index 0 is the view's first line), 0 where unknown,
// so that a match in the view can name a line of the file.
using LineOrigins = std::vector<std::uint32_t>;

// Records `line` as the origin of every line that `out` ended after `from` (what was just appended).
void noteOrigins(std::string_view out, std::size_t from, std::uint32_t line, LineOrigins& origins);

} // namespace tw
