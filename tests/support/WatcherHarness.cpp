#include "WatcherHarness.h"

#include <gtest/gtest.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/wait.h>

namespace tw::test {

WatchLine decodeWatchLine(std::string raw)
{
    const auto json = nlohmann::json::parse(raw, nullptr, false);
    try {
        return {.raw = raw,
                .path = json.at("path"),
                .types = json.at("types"),
                .rule = json.at("rule"),
                .severity = json.at("severity"),
                .reason = json.value("reason", ""),
                .description = json.value("description", ""),
                .lines = json.value("lines", std::vector<std::uint32_t>{}),
                .decoded = true};
    } catch (const nlohmann::json::exception&) {
        return {.raw = std::move(raw)};
    }
}

Watcher::Watcher(WatcherSetup setup)
{
    // A watcher that has ended must fail the test's next write, not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    const auto rulesDir = m_config / "tarnwick" / "rules";
    std::filesystem::create_directories(rulesDir);
    for (const auto& [name, text] : setup.rules)
        writeFile(rulesDir / name, text);
    std::vector<std::string> argv{
        "env", "XDG_CONFIG_HOME=" + m_config.path().string(),
        "XDG_STATE_HOME=" + (setup.stateHome.empty() ? m_config / "state" : setup.stateHome).string(),
        (binDir() / "twwatch").string()};
    if (setup.asNobody && geteuid() == 0) {
        std::filesystem::permissions(m_config.path(), std::filesystem::perms(0755));
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    m_child = spawn(argv, m_config / "stderr.log");
    m_reader = std::thread([this] { readOutput(); });
}

Watcher::~Watcher()
{
    if (::testing::Test::HasFailure())
        std::cerr << log();
    closeInput();
    if (!waitExit(std::chrono::milliseconds(0))) {
        ::kill(m_child.pid, SIGKILL);
        waitpid(m_child.pid, nullptr, 0);
    }
    closeOutput();
    m_reader.join();
}

void Watcher::readOutput()
{
    std::string pending;
    char buffer[65536];
    std::unique_lock lock(m_mutex);
    // Paused for good: the pipe fills up until the output is closed.
    while (m_child.out >= 0 && !m_paused) {
        pollfd p{m_child.out, POLLIN, 0};
        lock.unlock();
        const bool ready = ::poll(&p, 1, 50) > 0;
        lock.lock();
        if (!ready || m_child.out < 0)
            continue;
        const ssize_t n = ::read(m_child.out, buffer, sizeof buffer);
        if (n <= 0)
            break;
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
         std::filesystem::directory_iterator("/proc/" + std::to_string(m_child.pid) + "/task", ec)) {
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
    // A blocking write to a pipe writes everything, or fails.
    ASSERT_EQ(::write(m_child.in, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()))
        << "writing to the watcher's input failed";
}

void Watcher::closeOutput()
{
    std::lock_guard lock(m_mutex);
    ::close(std::exchange(m_child.out, -1));
}

bool Watcher::sync(const std::filesystem::path& dir)
{
    return waitUntil(
        [&] {
            const auto probe = dir / (".probe-" + std::to_string(++m_probe));
            writeFile(probe, "probe");
            return waitForLine([&](const WatchLine& l) { return l.path == probe.string(); },
                               std::chrono::milliseconds(400));
        },
        std::chrono::seconds(20));
}

std::vector<WatchLine> Watcher::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<WatchLine> Watcher::linesFor(const std::string& path, const std::string& rule) const
{
    auto out = lines();
    std::erase_if(out, [&](const WatchLine& l) { return l.path != path || l.rule != rule; });
    return out;
}

bool Watcher::waitForLine(const std::function<bool(const WatchLine&)>& match,
                          std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [&] { return std::any_of(m_lines.begin(), m_lines.end(), match); });
}

bool Watcher::waitForPaths(const std::set<std::string>& paths, std::chrono::milliseconds timeout,
                           const std::string& rule) const
{
    std::set<std::string> seen;
    return waitForLine(
        [&](const WatchLine& l) {
            if (l.rule == rule && paths.count(l.path))
                seen.insert(l.path);
            return seen.size() == paths.size();
        },
        timeout);
}

std::optional<int> Watcher::waitExit(std::chrono::milliseconds timeout)
{
    int status = 0;
    if (!m_status &&
        waitUntil([&] { return waitpid(m_child.pid, &status, WNOHANG) == m_child.pid; }, timeout))
        m_status = exitCodeOf(status);
    return m_status;
}

std::string Watcher::log() const
{
    const auto all = lines();
    std::string out = "--- twwatch " + std::to_string(m_child.pid) + ": standard error ---\n" + errors() +
                      "--- its last output lines ---\n";
    for (size_t i = all.size() > 30 ? all.size() - 30 : 0; i < all.size(); ++i)
        out += all[i].raw + '\n';
    return out;
}

std::set<std::string> makeFiles(const std::filesystem::path& dir, int count)
{
    std::set<std::string> paths;
    for (int i = 0; i < count; ++i) {
        writeFile(dir / ("f" + std::to_string(i)), "content " + std::to_string(i) + "\n");
        paths.insert((dir / ("f" + std::to_string(i))).string());
    }
    return paths;
}

void shell(const std::string& command, const std::filesystem::path& cwd)
{
    const auto result = runProcess({"/bin/sh", "-c", command}, cwd, std::chrono::seconds(60));
    ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.out << result.err;
}

} // namespace tw::test
