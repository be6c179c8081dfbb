// TOML through toml++. Its parser builds a document tree, so files past kMaxTomlSize are not read:
// TOML files that matter (pyproject.toml, Cargo.toml, tool settings) are small.

#include "rules/views/ConfigLeaves.h"

#include <toml++/toml.h>

#include <sstream>

namespace tw {

namespace {

constexpr std::size_t kMaxTomlSize = 4 * 1024 * 1024;

class Walker
{
public:
    explicit Walker(LeafSink& sink)
        : m_sink(sink)
    {
    }

    bool walk(const toml::node& node, std::size_t depth)
    {
        if (depth > kMaxDepth)
            return false;
        const std::uint32_t line = node.source().begin.line;
        if (const auto* table = node.as_table()) {
            if (table->empty())
                return m_sink.leaf(m_key, "{}", line);
            for (const auto& [k, v] : *table) {
                m_key.emplace_back(k.str());
                const bool more = walk(v, depth + 1);
                m_key.pop_back();
                if (!more)
                    return false;
            }
            return true;
        }
        if (const auto* array = node.as_array()) {
            if (array->empty())
                return m_sink.leaf(m_key, "[]", line);
            for (std::size_t i = 0; i < array->size(); ++i) {
                m_key.push_back(std::to_string(i));
                const bool more = walk((*array)[i], depth + 1);
                m_key.pop_back();
                if (!more)
                    return false;
            }
            return true;
        }
        if (const auto* s = node.as_string())
            return m_sink.leaf(m_key, s->get(), line);
        std::ostringstream literal;
        node.visit([&](const auto& v) { literal << v; });
        return m_sink.leaf(m_key, literal.str(), line);
    }

private:
    LeafSink& m_sink;
    std::vector<std::string> m_key;
};

} // namespace

bool readTomlLeaves(std::string_view text, LeafSink& sink)
{
    if (text.size() > kMaxTomlSize)
        return false;
    try {
        const toml::table table = toml::parse(text);
        Walker walker(sink);
        walker.walk(table, 0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace tw
