// The two line-based formats without a packaged reader: git's config files, read the way git reads
// them (case-folded section and key names, quotes, escapes and line continuations), and INI-style files
// (.npmrc, setup.cfg, *.properties ...). A line neither understands is skipped.

#include "rules/views/ConfigLeaves.h"

#include <cctype>

namespace tw {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isKeyChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
}

class GitReader
{
public:
    GitReader(std::string_view text, LeafSink& sink)
        : m_text(text)
        , m_sink(sink)
    {
    }

    void read()
    {
        while (m_pos < m_text.size() && !m_stop) {
            skipSpace();
            if (m_pos >= m_text.size())
                break;
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_pos;
            } else if (c == '#' || c == ';') {
                skipLine();
            } else if (c == '[') {
                section();
            } else if (isKeyChar(c)) {
                variable();
            } else {
                skipLine();
            }
        }
    }

private:
    void skipSpace()
    {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }

    void skipLine()
    {
        const auto end = m_text.find('\n', m_pos);
        m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
    }

    // [section], [section "subsection"] or the old [section.subsection], whose subsection folds case.
    void section()
    {
        ++m_pos;
        std::size_t start = m_pos;
        while (m_pos < m_text.size() && (isKeyChar(m_text[m_pos]) || m_text[m_pos] == '.'))
            ++m_pos;
        m_section.clear();
        std::string name = lower(m_text.substr(start, m_pos - start));
        const auto dot = name.find('.');
        m_section.push_back(name.substr(0, dot));
        if (dot != std::string::npos)
            m_section.push_back(name.substr(dot + 1));
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            std::string sub;
            for (++m_pos; m_pos < m_text.size() && m_text[m_pos] != '"' && m_text[m_pos] != '\n'; ++m_pos) {
                if (m_text[m_pos] == '\\' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] != '\n')
                    ++m_pos;
                sub += m_text[m_pos];
            }
            m_section.push_back(std::move(sub));
        }
        const auto close = m_text.find(']', m_pos);
        const auto eol = m_text.find('\n', m_pos);
        if (close == std::string_view::npos || close > eol)
            m_section.clear(); // a broken header: what follows belongs to no section
        skipLine();
    }

    void variable()
    {
        const std::size_t start = m_pos;
        const std::uint32_t line = lineAt(start);
        while (m_pos < m_text.size() && isKeyChar(m_text[m_pos]))
            ++m_pos;
        std::vector<std::string> key = m_section;
        key.push_back(lower(m_text.substr(start, m_pos - start)));
        skipSpace();
        std::string value = "true";
        if (m_pos < m_text.size() && m_text[m_pos] == '=') {
            ++m_pos;
            value = this->value();
        } else {
            skipLine();
        }
        if (m_section.empty())
            return; // git refuses a variable outside any section
        if (!m_sink.leaf(key, value, line))
            m_stop = true;
    }

    // Positions asked for only grow, so the line ends are counted once over the whole text.
    std::uint32_t lineAt(std::size_t pos)
    {
        for (; m_counted < pos; ++m_counted)
            if (m_text[m_counted] == '\n' && m_line < UINT32_MAX)
                ++m_line;
        return m_line;
    }

    // The value as git reads it: quotes removed, escapes decoded, a backslash at the end of a line
    // continues it, comments end it, outer white space dropped and inner white space kept.
    std::string value()
    {
        std::string out, space;
        bool quoted = false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '\n') {
                if (!quoted)
                    break;
                continue;
            }
            if (c == '\\' && m_pos < m_text.size()) {
                const char n = m_text[m_pos++];
                if (n == '\n')
                    continue;
                if (n == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n') {
                    ++m_pos;
                    continue;
                }
                out += space;
                space.clear();
                out += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'b' ? '\b' : n;
                continue;
            }
            if (!quoted && (c == '#' || c == ';')) {
                skipLine();
                break;
            }
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (!quoted && isSpace(c)) {
                if (!out.empty())
                    space += c == '\r' ? ' ' : c;
                continue;
            }
            out += space;
            space.clear();
            out += c;
        }
        return out;
    }

    std::string_view m_text;
    LeafSink& m_sink;
    std::size_t m_pos = 0;
    std::size_t m_counted = 0;
    std::uint32_t m_line = 1;
    std::vector<std::string> m_section;
    bool m_stop = false;
};

} // namespace

bool readGitConfigLeaves(std::string_view text, LeafSink& sink)
{
    GitReader(text, sink).read();
    return true;
}

bool readIniLeaves(std::string_view text, LeafSink& sink)
{
    std::string section;
    std::vector<std::string> key;
    std::uint32_t number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (number < UINT32_MAX)
            ++number;
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '!')
            continue;
        if (line[0] == '[') {
            const auto close = line.find(']');
            section = std::string(
                trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            continue;
        }
        auto sep = line.find('=');
        if (sep == std::string_view::npos)
            sep = line.find(':');
        key.clear();
        if (!section.empty())
            key.push_back(section);
        key.emplace_back(trim(line.substr(0, sep)));
        const std::string_view value =
            sep == std::string_view::npos ? std::string_view{} : trim(line.substr(sep + 1));
        if (!sink.leaf(key, value, number))
            break;
    }
    return true;
}

} // namespace tw
