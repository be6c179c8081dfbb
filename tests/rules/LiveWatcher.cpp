#include "LiveWatcher.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::test {

LiveWatcher::LiveWatcher(const std::filesystem::path& configHome)
{
    writeUserRule(configHome, "probe.yar",
                  "rule live_probe { meta: severity = \"warning\" condition: filename == \"probe.live\" }\n");
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    const std::string bin = twwatchBinary().string();
    m_pid = fork();
    if (m_pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execl(bin.c_str(), bin.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    m_reader = std::thread([this] {
        bool outOpen = true, errOpen = true;
        while (outOpen || errOpen) {
            pollfd fds[2] = {{outOpen ? m_out : -1, POLLIN, 0}, {errOpen ? m_err : -1, POLLIN, 0}};
            if (poll(fds, 2, 200) < 0)
                continue;
            char buf[65536];
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    (i == 0 ? outOpen : errOpen) = false;
                    continue;
                }
                std::lock_guard lock(m_mutex);
                (i == 0 ? m_stdout : m_stderr).append(buf, static_cast<size_t>(n));
            }
        }
    });
}

LiveWatcher::~LiveWatcher()
{
    if (m_in >= 0)
        close(m_in);
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        if (!waitUntil([&] { return waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, std::chrono::seconds(10))) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    if (m_reader.joinable())
        m_reader.join();
    close(m_out);
    close(m_err);
}

void LiveWatcher::watch(const std::filesystem::path& root)
{
    const std::string message = root.string() + "\n\n";
    if (write(m_in, message.data(), message.size()) != static_cast<ssize_t>(message.size()))
        throw std::runtime_error("cannot write to twwatch");
}

bool LiveWatcher::sync(const std::filesystem::path& dir)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto probeDir = dir / ("probe" + std::to_string(m_probes++));
        std::filesystem::create_directories(probeDir);
        writeFile(probeDir / "probe.live", "x");
        if (waitFor(probeDir / "probe.live", "live_probe", std::chrono::milliseconds(500)))
            return true;
    }
    return false;
}

std::vector<Event> LiveWatcher::events() const
{
    std::lock_guard lock(m_mutex);
    // Only whole lines: a line still being written is decoded on the next call.
    const auto end = m_stdout.rfind('\n');
    bool decoded = true;
    return end == std::string::npos ? std::vector<Event>{}
                                    : decodeEvents(m_stdout.substr(0, end + 1), decoded);
}

std::vector<Event> LiveWatcher::eventsFor(const std::filesystem::path& path, const std::string& rule) const
{
    std::vector<Event> found;
    for (auto& e : events())
        if (e.path == path.string() && e.rule == rule)
            found.push_back(std::move(e));
    return found;
}

bool LiveWatcher::waitFor(const std::filesystem::path& path, const std::string& rule,
                          std::chrono::milliseconds timeout) const
{
    return waitUntil([&] { return !eventsFor(path, rule).empty(); }, timeout);
}

std::string LiveWatcher::errors() const
{
    std::lock_guard lock(m_mutex);
    return m_stderr;
}

} // namespace tw::test
