// JSON and JSONC through nlohmann's SAX reader: comments allowed, `\u` escapes decoded, and no document
// tree held. Trailing commas, which VS Code's files allow and this nlohmann version does not, are
// dropped and the text read again when the first reading fails.

#include "rules/views/ConfigLeaves.h"

#include <nlohmann/json.hpp>

namespace tw {

namespace {

using json = nlohmann::json;

class LeafSax
{
public:
    explicit LeafSax(LeafSink& sink)
        : m_sink(sink)
    {
    }
    bool stopped() const { return m_stopped; }

    bool null() { return value("null"); }
    bool boolean(bool b) { return value(b ? "true" : "false"); }
    bool number_integer(json::number_integer_t n) { return value(std::to_string(n)); }
    bool number_unsigned(json::number_unsigned_t n) { return value(std::to_string(n)); }
    bool number_float(json::number_float_t, const json::string_t& text) { return value(text); }
    bool string(json::string_t& s) { return value(s); }
    bool binary(json::binary_t&) { return value("null"); }
    bool start_object(std::size_t) { return open(true); }
    bool start_array(std::size_t) { return open(false); }
    bool key(json::string_t& k)
    {
        m_key.back() = k;
        return true;
    }
    bool end_object() { return close("{}"); }
    bool end_array() { return close("[]"); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    struct Level
    {
        bool isObject;
        std::size_t count = 0;
    };

    bool open(bool isObject)
    {
        if (!m_levels.empty())
            m_levels.back().count++;
        if (m_levels.size() >= kMaxDepth)
            return false;
        m_levels.push_back({isObject});
        m_key.emplace_back();
        if (!isObject)
            m_key.back() = "0";
        return true;
    }

    bool close(std::string_view empty)
    {
        const bool wasEmpty = m_levels.back().count == 0;
        m_levels.pop_back();
        m_key.pop_back();
        if (wasEmpty)
            return emit(empty);
        advance();
        return true;
    }

    bool value(std::string_view v)
    {
        if (!m_levels.empty())
            m_levels.back().count++;
        return emit(v) && (advance(), true);
    }

    bool emit(std::string_view v)
    {
        if (!m_sink.leaf(m_key, v)) {
            m_stopped = true;
            return false;
        }
        return true;
    }

    // The next element of an array takes the next index.
    void advance()
    {
        if (!m_levels.empty() && !m_levels.back().isObject)
            m_key.back() = std::to_string(m_levels.back().count);
    }

    LeafSink& m_sink;
    std::vector<Level> m_levels;
    std::vector<std::string> m_key;
    bool m_stopped = false;
};

bool readOnce(std::string_view text, LeafSink& sink, bool& stopped)
{
    LeafSax sax(sink);
    bool ok = false;
    try {
        ok = json::sax_parse(text.begin(), text.end(), &sax, json::input_format_t::json, true, true);
    } catch (const std::exception&) {
        ok = false;
    }
    stopped = sax.stopped();
    return ok || stopped;
}

// Drops every comma that only white space or comments separate from a closing bracket.
std::string withoutTrailingCommas(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pendingComma = std::string::npos; // position in `out` of a comma not yet confirmed
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t start = i++;
            while (i < text.size() && text[i] != '"')
                i += text[i] == '\\' ? 2 : 1;
            out.append(text.substr(start, std::min(i + 1, text.size()) - start));
            pendingComma = std::string::npos;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
            const bool line = text[i + 1] == '/';
            const std::size_t end = line ? text.find('\n', i) : text.find("*/", i + 2);
            const std::size_t stop = end == std::string_view::npos ? text.size() : end + (line ? 0 : 2);
            out.append(text.substr(i, stop - i));
            i = stop - 1;
            continue;
        }
        if ((c == '}' || c == ']') && pendingComma != std::string::npos)
            out[pendingComma] = ' ';
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            pendingComma = c == ',' ? out.size() : std::string::npos;
        out += c;
    }
    return out;
}

} // namespace

bool readJsonLeaves(std::string_view text, LeafSink& sink)
{
    bool stopped = false;
    if (readOnce(text, sink, stopped))
        return true;
    sink.reset();
    return readOnce(withoutTrailingCommas(text), sink, stopped);
}

} // namespace tw
