#include "WatchState.h"

#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ostream>
#include <sstream>
#include <unistd.h>

namespace tw {
namespace {

constexpr std::string_view header = "twwatch-state 1";

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

WatchState::WatchState(std::filesystem::path dir, std::ostream& notes, long long marginNs)
    : m_dir(std::move(dir))
    , m_notes(notes)
    , m_marginNs(marginNs)
{
}

std::filesystem::path WatchState::defaultDir()
{
    // Relative values are to be ignored, as for every XDG variable.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return std::filesystem::path(state) / "tarnwick";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::filesystem::path(home) / ".local/state/tarnwick";
    return {};
}

std::string WatchState::fileName(const std::string& root)
{
    // FNV-1a: stable across builds and platforms, unlike std::hash.
    uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : root) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char name[40];
    std::snprintf(name, sizeof name, "root-%016llx.state", static_cast<unsigned long long>(hash));
    return name;
}

WatchTree::AuditStart WatchState::planFor(const std::string& root)
{
    if (m_dir.empty())
        return {};
    const std::filesystem::path file = m_dir / fileName(root);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        // No record is how a root never watched before looks: the full audit, without a word.
        if (errno != ENOENT)
            m_notes << "twwatch: cannot read " << escapeForTerminal(file.string()) << " ("
                    << std::strerror(errno) << "): auditing every file in " << escapeForTerminal(root)
                    << '\n';
        return {};
    }
    std::string first, moment, path, rest;
    std::getline(in, first);
    std::getline(in, moment);
    const bool complete = static_cast<bool>(std::getline(in, path)) && !std::getline(in, rest);
    long long untilNs = 0;
    size_t used = 0;
    try {
        untilNs = std::stoll(moment, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    // Another root with the same hash is no record of this one either; it is simply not ours.
    if (complete && first == header && used == moment.size() && untilNs > 0 && path != root)
        return {};
    if (!complete || first != header || used == 0 || used != moment.size() || untilNs <= 0) {
        m_notes << "twwatch: the state file " << escapeForTerminal(file.string())
                << " is damaged: auditing every file in " << escapeForTerminal(root) << '\n';
        return {};
    }
    return {words::rescanned, std::max(1LL, untilNs - m_marginNs)};
}

void WatchState::record(const std::vector<std::string>& roots, long long untilNs)
{
    if (m_dir.empty() || roots.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(m_dir, error);
    for (const auto& root : roots) {
        const std::filesystem::path file = m_dir / fileName(root);
        const std::filesystem::path temporary = file.string() + ".new";
        std::ostringstream text;
        text << header << '\n' << untilNs << '\n' << root << '\n';
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        bool ok = fd >= 0 && writeAll(fd, text.str());
        const int writeError = ok ? 0 : errno;
        if (fd >= 0)
            ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temporary.c_str(), file.c_str()) == 0;
        if (!ok) {
            if (fd >= 0)
                ::unlink(temporary.c_str());
            if (!m_warnedWrite) {
                m_warnedWrite = true;
                m_notes << "twwatch: cannot keep the watch state in " << escapeForTerminal(m_dir.string())
                        << " (" << std::strerror(writeError ? writeError : errno)
                        << "): the next start audits every file again\n";
            }
            return;
        }
    }
}

} // namespace tw
