#include "rules/views/ConfigView.h"

namespace tw {

void appendEscaped(std::string& out, std::string_view value)
{
    static constexpr char hex[] = "0123456789abcdef";
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 0xF];
            } else {
                out += c;
            }
        }
    }
}

bool ConfigRenderer::leaf(const std::vector<std::string>& key, std::string_view value, SourceLine line)
{
    std::size_t worst = key.size() + 4 + value.size() * 6; // every byte escaped as \u00XX
    for (const auto& k : key)
        worst += k.size();
    if (m_out.size() + worst > m_budget)
        return false;
    const std::size_t from = m_out.size();
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (i > 0)
            m_out += '.';
        m_out += key[i];
    }
    m_out += " = ";
    appendEscaped(m_out, value);
    m_out += '\n';
    // A key may hold a line end of its own: every line written gets the leaf's origin.
    noteOrigins(m_out, from, line.line, m_origins);
    return true;
}

} // namespace tw
