// What the watcher costs while a dependency tree arrives: a real npm tree (tens of thousands of files)
// is copied with `cp -r` into a folder twwatch watches with the bundled pack, and twwatch's CPU time
// until it falls quiet is printed as a ratio to the copy's own CPU time, with twwatch's peak memory
// (VmHWM) and the load average beside. Run it from a Release build without sanitizers on an idle
// machine:
//
//   mkdir -p /tmp/tw-npm && cd /tmp/tw-npm && npm init -y >/dev/null &&
//     npm install --ignore-scripts typescript esbuild @swc/core prisma nx core-js electron puppeteer-core
//   bench_rules_watch_copy /tmp/tw-npm/node_modules [ROUNDS]
//
// Goal: twwatch / cp CPU no worse than 1.3x (aim 0.5x), peak at most 24 MiB.

#include "BenchSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tw::bench;
using namespace std::chrono_literals;

namespace {

double cpuSecondsOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14)
            utime = std::stoull(f);
        if (i == 15)
            stime = std::stoull(f);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long statusKiB(pid_t pid, const std::string& key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

std::size_t countFiles(const fs::path& root)
{
    std::size_t n = 0;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        n += it->is_regular_file();
    return n;
}

struct Round
{
    double copyCpu = 0, watcherCpu = 0, seconds = 0;
    long peakKiB = 0;
    std::size_t events = 0;
};

Round once(const fs::path& source, const fs::path& base)
{
    const fs::path root = base / "watched";
    const fs::path out = base / "events.jsonl";
    fs::remove_all(root);
    fs::create_directories(root);
    fs::create_directories(base / "config");
    int in[2];
    if (pipe2(in, O_CLOEXEC) != 0)
        std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
        // TW_TWWATCH names another build to compare with, e.g. the one before a change.
        const char* other = std::getenv("TW_TWWATCH");
        const std::string binary = other && *other ? std::string(other) : twwatchBinary().string();
        execl(binary.c_str(), "twwatch", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(in[0]);
    const std::string message = root.string() + "\n\n";
    [[maybe_unused]] auto n = ::write(in[1], message.data(), message.size());
    std::this_thread::sleep_for(2s); // rules compiled and the root watched
    const double before = cpuSecondsOf(pid);
    const auto start = std::chrono::steady_clock::now();
    const RunResult cp = run({"cp", "-r", source.string(), (root / "node_modules").string()}, false);
    // Quiet: no CPU used for a whole second.
    for (double last = -1, now; (now = cpuSecondsOf(pid)) != last;) {
        last = now;
        std::this_thread::sleep_for(1s);
    }
    Round r;
    r.seconds = secondsSince(start) - 1.0;
    r.copyCpu = cp.cpuSeconds;
    r.watcherCpu = cpuSecondsOf(pid) - before;
    r.peakKiB = statusKiB(pid, "VmHWM:");
    ::close(in[1]);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::ifstream events(out);
    for (std::string line; std::getline(events, line);)
        ++r.events;
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !fs::is_directory(argv[1])) {
        std::cerr << "usage: bench_rules_watch_copy NODE_MODULES_DIR [ROUNDS]\n";
        return 2;
    }
    const fs::path source = fs::absolute(argv[1]);
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string tmpl = (fs::temp_directory_path() / "tw-watch-copy-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        return 1;
    const fs::path base = tmpl;
    std::printf("tree: %s, %zu files\n", source.c_str(), countFiles(source));
    std::printf("%-6s %10s %12s %8s %10s %10s %8s  %s\n", "round", "cp cpu s", "twwatch cpu s", "ratio",
                "seconds", "peak MiB", "events", "load average");
    Round best{1e9, 1e9, 0, 0, 0};
    for (int i = 0; i < rounds; ++i) {
        const Round r = once(source, base);
        std::printf("%-6d %10.2f %12.2f %7.2fx %10.1f %10.1f %8zu  %s\n", i + 1, r.copyCpu, r.watcherCpu,
                    r.watcherCpu / r.copyCpu, r.seconds, r.peakKiB / 1024.0, r.events, loadAverage().c_str());
        if (r.watcherCpu / r.copyCpu < best.watcherCpu / best.copyCpu)
            best = r;
        best.peakKiB = std::max(best.peakKiB, r.peakKiB);
    }
    std::printf(
        "\nbest twwatch / cp CPU: %.2fx (was about 1.3x; aim 0.5x); highest peak %.1f MiB (at most 24)\n",
        best.watcherCpu / best.copyCpu, best.peakKiB / 1024.0);
    fs::remove_all(base);
    return 0;
}
