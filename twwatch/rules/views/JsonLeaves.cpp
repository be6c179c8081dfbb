// JSON and JSONC through nlohmann's SAX reader: comments allowed, `\u` escapes decoded, and no document
// tree held. Trailing commas, which VS Code's files allow and this nlohmann version does not, are
// dropped and the text read again when the first reading fails. The reader gives no positions, so
// the text reaches it through an iterator that counts the line ends it passes.

#include "rules/views/ConfigLeaves.h"

#include <nlohmann/json.hpp>

#include <iterator>

namespace tw {

namespace {

using json = nlohmann::json;

struct LineCount
{
    std::uint32_t line = 1;
    char last = 0; // the character read last
};

class CountingIterator
{
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, LineCount* count)
        : m_at(at)
        , m_count(count)
    {
    }
    reference operator*() const { return *m_at; }
    CountingIterator& operator++()
    {
        m_count->last = *m_at;
        if (*m_at++ == '\n' && m_count->line < UINT32_MAX)
            ++m_count->line;
        return *this;
    }
    bool operator==(const CountingIterator& other) const { return m_at == other.m_at; }
    bool operator!=(const CountingIterator& other) const { return m_at != other.m_at; }

private:
    const char* m_at;
    LineCount* m_count;
};

class LeafSax
{
public:
    LeafSax(LeafSink& sink, const LineCount& count)
        : m_sink(sink)
        , m_count(count)
    {
    }
    bool stopped() const { return m_stopped; }

    bool null() { return value("null"); }
    bool boolean(bool b) { return value(b ? "true" : "false"); }
    // The reader has looked one character past a number; a line end there is not the number's.
    bool number_integer(json::number_integer_t n) { return value(std::to_string(n), numberLine()); }
    bool number_unsigned(json::number_unsigned_t n) { return value(std::to_string(n), numberLine()); }
    bool number_float(json::number_float_t, const json::string_t& text) { return value(text, numberLine()); }
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
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&)
    {
        m_errorAt = position;
        return false;
    }
    // How many bytes were read when the reading failed (the offending one included).
    std::size_t errorAt() const { return m_errorAt; }

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
            return emit(empty, m_count.line);
        advance();
        return true;
    }

    // Strings and literals end at their last character, which the reader has just read.
    bool value(std::string_view v) { return value(v, m_count.line); }

    bool value(std::string_view v, std::uint32_t line)
    {
        if (!m_levels.empty())
            m_levels.back().count++;
        return emit(v, line) && (advance(), true);
    }

    std::uint32_t numberLine() const { return m_count.line - (m_count.last == '\n' ? 1 : 0); }

    bool emit(std::string_view v, std::uint32_t line)
    {
        if (!m_sink.leaf(m_key, v, line)) {
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
    const LineCount& m_count;
    std::vector<Level> m_levels;
    std::vector<std::string> m_key;
    bool m_stopped = false;
    std::size_t m_errorAt = 0;
};

// 0 when the text was read (or the sink stopped it), else how far the reader got.
std::size_t readOnce(std::string_view text, LeafSink& sink)
{
    LineCount count;
    LeafSax sax(sink, count);
    bool ok = false;
    try {
        ok = json::sax_parse(CountingIterator(text.data(), &count),
                             CountingIterator(text.data() + text.size(), &count), &sax,
                             json::input_format_t::json, true, true);
    } catch (const std::exception&) {
        ok = false;
    }
    return ok || sax.stopped() ? 0 : std::max<std::size_t>(sax.errorAt(), 1);
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
    // Configuration documents are objects or arrays; anything else is not worth a reading.
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || (text[first] != '{' && text[first] != '[' && text[first] != '/'))
        return false;
    const std::size_t failedAt = readOnce(text, sink);
    if (failedAt == 0)
        return true;
    // Read again without trailing commas only when that is what stopped the reader.
    const char offending = text[std::min(failedAt, text.size()) - 1];
    if (offending != '}' && offending != ']')
        return false;
    sink.reset();
    return readOnce(withoutTrailingCommas(text), sink) == 0;
}

} // namespace tw
