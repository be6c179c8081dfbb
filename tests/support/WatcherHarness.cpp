#include "WatcherHarness.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::test {

bool WatchLine::hasType(std::string_view word) const
{
    return std::find(types.begin(), types.end(), word) != types.end();
}

WatchLine decodeWatchLine(std::string raw)
{
    WatchLine line{.raw = std::move(raw)};
    const auto json = nlohmann::json::parse(line.raw, nullptr, false);
    WatchLine event = line;
    try {
        event.path = json.at("path").get<std::string>();
        event.types = json.at("types").get<std::vector<std::string>>();
        event.rule = json.at("rule").get<std::string>();
        event.severity = json.at("severity").get<std::string>();
    } catch (const nlohmann::json::exception&) {
        return line;
    }
    const auto text = [&](const char* key) {
        return json.contains(key) && json[key].is_string() ? json[key].get<std::string>() : std::string();
    };
    event.reason = text("reason");
    event.description = text("description");
    if (json.contains("lines") && json["lines"].is_array()) {
        for (const auto& n : json["lines"])
            event.lines.push_back(n.is_number_unsigned() ? n.get<std::uint32_t>() : 0);
    }
    event.decoded = true;
    return event;
}

Watcher::Watcher(WatcherSetup setup)
{
    // A watcher that has ended must fail the test's next write, not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    const auto rulesDir = m_config / "tarnwick" / "rules";
    std::filesystem::create_directories(rulesDir);
    for (const auto& [name, text] : setup.rules)
        writeFile(rulesDir / name, text);
    m_errFile = m_config / "stderr.log";
    if (setup.runAsUid >= 0 && geteuid() == 0) {
        for (const auto& p : {m_config.path(), m_config / "tarnwick", rulesDir})
            std::filesystem::permissions(p, std::filesystem::perms(0755));
    }
    const std::filesystem::path stateHome = setup.stateHome.empty() ? m_config / "state" : setup.stateHome;
    const Child child =
        spawn({(binDir() / "twwatch").string()},
              {.env = {"XDG_CONFIG_HOME=" + m_config.path().string(), "XDG_STATE_HOME=" + stateHome.string()},
               .errFile = m_errFile,
               .runAsUid = setup.runAsUid});
    m_pid = child.pid;
    m_in = child.in;
    m_out = child.out;
    m_reader = std::thread([this] { readOutput(); });
}

Watcher::~Watcher()
{
    if (::testing::Test::HasFailure())
        std::cerr << log();
    if (m_in >= 0)
        ::close(m_in);
    if (!waitExit(std::chrono::milliseconds(0))) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    closeOutput();
    if (m_reader.joinable())
        m_reader.join();
}

void Watcher::readOutput()
{
    std::string pending;
    char buffer[65536];
    std::unique_lock lock(m_mutex);
    while (m_out >= 0) {
        if (m_paused) {
            // Paused for good: the pipe fills up until the output is closed.
            m_changed.wait(lock, [&] { return m_out < 0; });
            return;
        }
        pollfd p{m_out, POLLIN, 0};
        lock.unlock();
        const bool ready = ::poll(&p, 1, 50) > 0;
        lock.lock();
        if (!ready || m_out < 0)
            continue;
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(m_out);
            m_out = -1;
            return;
        }
        pending.append(buffer, static_cast<size_t>(n));
        size_t start = 0;
        for (size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1)
            m_lines.push_back(decodeWatchLine(pending.substr(start, lf - start)));
        pending.erase(0, start);
        m_changed.notify_all();
    }
}

bool Watcher::blockedWriting() const
{
    std::error_code ec;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(m_pid) + "/task", ec)) {
        if (readFile(task.path() / "wchan").find("pipe_write") != std::string::npos)
            return true;
    }
    return false;
}

void Watcher::send(const std::vector<std::filesystem::path>& roots)
{
    std::string message;
    for (const auto& root : roots)
        message += root.string() + "\n";
    sendRaw(message + "\n");
}

void Watcher::sendRaw(const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_in, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ASSERT_GT(n, 0) << "writing to the watcher's input failed";
        done += static_cast<size_t>(n);
    }
}

bool Watcher::watch(const std::vector<std::filesystem::path>& roots)
{
    send(roots);
    return sync(roots.front());
}

void Watcher::closeInput()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

void Watcher::closeOutput()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_out >= 0)
            ::close(m_out);
        m_out = -1;
    }
    m_changed.notify_all();
}

bool Watcher::sync(const std::filesystem::path& dir, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto probe = dir / (".probe-" + std::to_string(++m_probe));
        writeFile(probe, "probe");
        if (waitForLine([&](const WatchLine& l) { return l.path == probe.string(); },
                        std::chrono::milliseconds(400)))
            return true;
    }
    return false;
}

std::vector<WatchLine> Watcher::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<WatchLine> Watcher::linesFor(const std::string& path, const std::string& rule) const
{
    std::vector<WatchLine> out;
    for (auto& line : lines()) {
        if (line.path == path && line.rule == rule)
            out.push_back(line);
    }
    return out;
}

std::set<std::string> Watcher::reported(const std::string& rule) const
{
    std::set<std::string> out;
    for (const auto& line : lines()) {
        if (line.rule == rule)
            out.insert(line.path);
    }
    return out;
}

bool Watcher::waitFor(const std::function<bool(const std::vector<WatchLine>&)>& done,
                      std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_lines); });
}

bool Watcher::waitForLine(const std::function<bool(const WatchLine&)>& match,
                          std::chrono::milliseconds timeout) const
{
    return waitFor([&](const auto& all) { return std::any_of(all.begin(), all.end(), match); }, timeout);
}

bool Watcher::waitForPaths(const std::set<std::string>& paths, std::chrono::milliseconds timeout,
                           const std::string& rule) const
{
    return waitFor(
        [&](const auto& all) {
            std::set<std::string> seen;
            for (const auto& line : all) {
                if (line.rule == rule && paths.count(line.path))
                    seen.insert(line.path);
            }
            return seen.size() == paths.size();
        },
        timeout);
}

std::optional<int> Watcher::waitExit(std::chrono::milliseconds timeout)
{
    if (m_status)
        return m_status;
    waitUntil(
        [&] {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = exitCodeOf(status);
            return m_status.has_value();
        },
        timeout);
    return m_status;
}

void Watcher::signal(int sig) const
{
    ::kill(m_pid, sig);
}

std::string Watcher::log() const
{
    int status = 0;
    if (!m_status && waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_status = exitCodeOf(status);
    std::ostringstream out;
    out << "--- twwatch (pid " << m_pid << ") "
        << (m_status ? "ended with status " + std::to_string(*m_status) : std::string("running")) << " ---\n";
    out << "--- twwatch stderr ---\n" << readFile(m_errFile);
    const auto all = lines();
    out << "--- last output lines (" << all.size() << " in all) ---\n";
    for (size_t i = all.size() > 30 ? all.size() - 30 : 0; i < all.size(); ++i)
        out << all[i].raw << '\n';
    return out.str();
}

void makeFiles(const std::filesystem::path& dir, int count, const std::string& prefix)
{
    for (int i = 0; i < count; ++i)
        writeFile(dir / (prefix + std::to_string(i)), "content " + std::to_string(i) + "\n");
}

void shell(const std::string& command, const std::filesystem::path& cwd)
{
    const auto result = runProcess({"/bin/sh", "-c", command}, cwd, std::chrono::seconds(60));
    ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.out << result.err;
}

} // namespace tw::test
