#include "ConfigReader.h"

#include <algorithm>

namespace tw {
namespace {

constexpr size_t rejectedEcho = 256;

} // namespace

std::string normalizeConfiguredPath(std::string_view line)
{
    if (line.empty() || line.front() != '/' || line.size() > ConfigReader::maxLineLength ||
        line.find('\0') != std::string_view::npos)
        return {};
    while (line.size() > 1 && line.back() == '/')
        line.remove_suffix(1);
    return std::string(line);
}

std::vector<ConfigMessage> ConfigReader::feed(std::string_view bytes)
{
    std::vector<ConfigMessage> done;
    while (!bytes.empty()) {
        const auto lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);
        if (!m_overlong) {
            const size_t room = maxLineLength + 1 - m_line.size();
            if (piece.size() > room) {
                m_line.append(piece.substr(0, room));
                m_overlong = true;
            } else {
                m_line.append(piece);
            }
        }
        if (lf == std::string_view::npos)
            break;
        endLine(done);
        bytes.remove_prefix(lf + 1);
    }
    return done;
}

void ConfigReader::endLine(std::vector<ConfigMessage>& done)
{
    if (m_line.empty() && !m_overlong) {
        done.push_back(std::move(m_current));
        m_current = {};
        m_started = false;
        return;
    }
    m_started = true;
    std::string path = m_overlong ? std::string{} : normalizeConfiguredPath(m_line);
    if (path.empty()) {
        m_current.rejected.push_back(m_line.substr(0, rejectedEcho));
    } else if (std::find(m_current.paths.begin(), m_current.paths.end(), path) == m_current.paths.end()) {
        m_current.paths.push_back(std::move(path));
    }
    m_line.clear();
    m_overlong = false;
}

} // namespace tw
