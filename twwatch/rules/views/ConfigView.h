#pragma once

// The `config` view: one `dotted.key.path = value` line per leaf of a configuration file, string
// values with `\`, line ends, tabs and other control characters escaped, so that a rule reads one line
// per setting whatever the file's layout, quoting, escapes or comments.

#include "rules/views/ConfigLeaves.h"

#include <string>
#include <string_view>

namespace tw {

// Renders leaves into `out`, stopping the reader once `budget` bytes are written.
class ConfigRenderer : public LeafSink
{
public:
    ConfigRenderer(std::string& out, LineOrigins& origins, std::size_t budget)
        : m_out(out)
        , m_origins(origins)
        , m_budget(budget)
    {
        reset();
    }
    bool leaf(const std::vector<std::string>& key, std::string_view value, SourceLine line) override;
    void reset() override
    {
        m_out.clear();
        m_origins.clear();
    }

private:
    std::string& m_out;
    LineOrigins& m_origins;
    std::size_t m_budget;
};

// Appends `value` with the view's escapes.
void appendEscaped(std::string& out, std::string_view value);

} // namespace tw
