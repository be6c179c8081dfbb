// twwatch beside `inotifywait -m -r` and `fswatch -r`, in one run, on the same generated tree:
//   1. set-up: time from start until the watcher reports a change in the root (probe files are made
//      every 10 ms, so the first report means every watch is in place) and its peak memory (VmHWM);
//   2. storm: 100,000 file creations, 20,000 of them in 6,000 directories made during the storm; the
//      share of created paths reported and the time until the last one arrived;
//   3. idle: context switches per second of all its threads over 5 s of quiet.
// Before all that, twwatch's idle memory with the bundled pack beside the 16 MiB target (alone:
// --idle-only).
// Build it without sanitizers for figures that mean something:
//   cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF
//   cmake --build build/rel --target twwatch_bench && build/rel/bench/twwatch_bench [--dirs N --files N]
//   [--idle-only]
// twwatch loads a match-everything rule from a private $XDG_CONFIG_HOME so that every change is a line.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <poll.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

struct Options
{
    int dirs = 10000;
    int files = 200000;
    int stormFiles = 100000;
    int stormNewDirs = 6000;
    int stormFilesInNewDirs = 20000;
};

void touch(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] auto n = ::write(fd, "x\n", 2);
        ::close(fd);
    }
}

// dirs directories in a two-level layout (about sqrt(dirs) top folders), files spread evenly.
std::vector<fs::path> makeTree(const fs::path& root, const Options& o)
{
    std::vector<fs::path> dirs;
    const int top = std::max(1, static_cast<int>(std::sqrt(o.dirs)));
    for (int i = 0; static_cast<int>(dirs.size()) < o.dirs; ++i) {
        const fs::path t = root / ("t" + std::to_string(i % top));
        if (i < top) {
            fs::create_directories(t);
            dirs.push_back(t);
            continue;
        }
        const fs::path d = t / ("d" + std::to_string(i));
        fs::create_directories(d);
        dirs.push_back(d);
    }
    for (int f = 0; f < o.files; ++f)
        touch(dirs[static_cast<size_t>(f) % dirs.size()] / ("file" + std::to_string(f)));
    return dirs;
}

class Tool
{
public:
    Tool(std::string name, std::vector<std::string> argv,
         std::function<std::string(const std::string&)> pathOf, std::vector<std::string> env = {})
        : m_name(std::move(name))
        , m_argv(std::move(argv))
        , m_env(std::move(env))
        , m_pathOf(std::move(pathOf))
    {
    }
    ~Tool() { stop(); }

    const std::string& name() const { return m_name; }

    bool start(const std::string& input)
    {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC))
            return false;
        m_started = Clock::now();
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            const int devnull = ::open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            for (const auto& e : m_env)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> args;
            for (auto& a : m_argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
        if (!input.empty()) [[maybe_unused]]
            auto n = ::write(m_in, input.data(), input.size());
        m_reader = std::thread([this] { read(); });
        return m_pid > 0;
    }

    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
        if (m_in >= 0)
            ::close(m_in);
        m_in = -1;
        m_stopReading = true;
        if (m_reader.joinable())
            m_reader.join();
        if (m_out >= 0)
            ::close(m_out);
        m_out = -1;
    }

    // Seconds since start when a path containing `needle` was first reported.
    std::optional<double> firstSeen(const std::string& needle)
    {
        absorb();
        for (const auto& [path, when] : m_firstSeen) {
            if (path.find(needle) != std::string::npos)
                return std::chrono::duration<double>(when - m_started).count();
        }
        return std::nullopt;
    }

    // How many of `expected` were reported, and when the last of them arrived.
    std::pair<size_t, Clock::time_point> coverage(const std::unordered_set<std::string>& expected)
    {
        absorb();
        size_t hit = 0;
        Clock::time_point last{};
        for (const auto& path : expected) {
            const auto it = m_firstSeen.find(path);
            if (it != m_firstSeen.end()) {
                ++hit;
                last = std::max(last, it->second);
            }
        }
        return {hit, last};
    }

    Clock::time_point lastOutput()
    {
        std::lock_guard lock(m_mutex);
        return m_lastOutput;
    }

    long statusValue(const char* key) const { return readStatus(m_pid, key); }

    bool exited() const
    {
        int status;
        return m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == m_pid;
    }

    // twwatch's own warning lines that mention `needle` (their rule name).
    size_t countWarnings(const std::string& needle)
    {
        absorb();
        return static_cast<size_t>(
            std::count_if(m_warnings.begin(), m_warnings.end(),
                          [&](const std::string& w) { return w.find(needle) != std::string::npos; }));
    }

    std::vector<std::string> missing(const std::unordered_set<std::string>& expected)
    {
        absorb();
        std::vector<std::string> out;
        for (const auto& p : expected) {
            if (!m_firstSeen.count(p))
                out.push_back(p);
        }
        return out;
    }

    long contextSwitches() const
    {
        long total = 0;
        std::error_code ec;
        for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(m_pid) + "/task", ec)) {
            std::ifstream in(task.path() / "status");
            std::string line;
            while (std::getline(in, line)) {
                if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                    line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                    total += std::atol(line.c_str() + line.find(':') + 1);
            }
        }
        return total;
    }

    static long readStatus(pid_t pid, const char* key)
    {
        std::ifstream in("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) == 0)
                return std::atol(line.c_str() + std::strlen(key));
        }
        return -1;
    }

private:
    // The reader only cuts lines, so that it never holds up the watcher's output; decoding happens
    // on the measuring thread.
    void read()
    {
        std::string pending;
        char buffer[1 << 16];
        while (!m_stopReading) {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0)
                return;
            const auto now = Clock::now();
            pending.append(buffer, static_cast<size_t>(n));
            std::vector<std::string> lines;
            size_t start = 0;
            for (size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1)
                lines.push_back(pending.substr(start, lf - start));
            pending.erase(0, start);
            std::lock_guard lock(m_mutex);
            for (auto& line : lines)
                m_incoming.emplace_back(std::move(line), now);
            m_lastOutput = now;
        }
    }

    void absorb()
    {
        std::vector<std::pair<std::string, Clock::time_point>> batch;
        {
            std::lock_guard lock(m_mutex);
            batch.swap(m_incoming);
        }
        for (auto& [raw, when] : batch) {
            if (raw.find("\"severity\":\"warning\"") != std::string::npos &&
                raw.find("match_everything") == std::string::npos)
                m_warnings.push_back(raw);
            m_firstSeen.try_emplace(m_pathOf(raw), when);
        }
    }

    std::string m_name;
    std::vector<std::string> m_argv;
    std::vector<std::string> m_env;
    std::function<std::string(const std::string&)> m_pathOf;
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    Clock::time_point m_started;
    std::thread m_reader;
    std::atomic<bool> m_stopReading{false};
    std::mutex m_mutex;
    std::vector<std::pair<std::string, Clock::time_point>> m_incoming; // guarded by m_mutex
    Clock::time_point m_lastOutput{};                                  // guarded by m_mutex
    std::unordered_map<std::string, Clock::time_point> m_firstSeen;
    std::vector<std::string> m_warnings;
};

struct Result
{
    std::string name;
    double setupSeconds = -1;
    long setupPeakKiB = -1;
    double stormShare = 0;
    double newDirShare = 0;
    double lastArrivalSeconds = -1;
    long stormPeakKiB = -1;
    double idleWakeups = -1;
    bool exited = false;
    size_t overflowWarnings = 0;
};

Result measure(Tool& tool, const fs::path& root, const std::vector<fs::path>& dirs, const Options& o,
               const std::string& input)
{
    Result r;
    r.name = tool.name();
    if (!tool.start(input)) {
        std::cerr << tool.name() << ": cannot start\n";
        return r;
    }
    // 1. Set-up.
    const auto deadline = Clock::now() + 120s;
    for (int i = 0; Clock::now() < deadline; ++i) {
        touch(root / (".probe-" + std::to_string(i)));
        if (tool.firstSeen(".probe-"))
            break;
        std::this_thread::sleep_for(10ms);
    }
    r.setupSeconds = tool.firstSeen(".probe-").value_or(-1);
    r.setupPeakKiB = tool.statusValue("VmHWM:");
    std::this_thread::sleep_for(1s);

    // 2. Storm: files in existing folders, interleaved with new folders filled at once.
    const fs::path stormRoot = dirs[dirs.size() / 2];
    std::unordered_set<std::string> all, inNew;
    const int inOld = o.stormFiles - o.stormFilesInNewDirs;
    const auto stormStart = Clock::now();
    int newDir = 0, newFile = 0;
    for (int i = 0; i < inOld; ++i) {
        const fs::path p = dirs[static_cast<size_t>(i * 7) % dirs.size()] / ("storm" + std::to_string(i));
        touch(p);
        all.insert(p.string());
        // Spread the new folders through the storm.
        while (newDir < o.stormNewDirs &&
               static_cast<long>(newDir) * inOld <= static_cast<long>(i) * o.stormNewDirs) {
            const fs::path d = stormRoot / ("new" + std::to_string(newDir)) / "inner";
            fs::create_directories(d);
            const int count =
                o.stormFilesInNewDirs / o.stormNewDirs + (newDir < o.stormFilesInNewDirs % o.stormNewDirs);
            for (int f = 0; f < count; ++f, ++newFile) {
                const fs::path p2 = d / ("n" + std::to_string(f));
                touch(p2);
                all.insert(p2.string());
                inNew.insert(p2.string());
            }
            ++newDir;
        }
    }
    // Until everything came, or nothing came for 10 s.
    while (true) {
        std::this_thread::sleep_for(200ms);
        if (tool.coverage(all).first == all.size())
            break;
        if (Clock::now() - std::max(tool.lastOutput(), stormStart) > 10s)
            break;
    }
    const auto [hit, last] = tool.coverage(all);
    r.stormShare = 100.0 * static_cast<double>(hit) / static_cast<double>(all.size());
    r.newDirShare =
        100.0 * static_cast<double>(tool.coverage(inNew).first) / static_cast<double>(inNew.size());
    if (hit > 0)
        r.lastArrivalSeconds = std::chrono::duration<double>(last - stormStart).count();
    r.stormPeakKiB = tool.statusValue("VmHWM:");
    r.exited = tool.exited();
    r.overflowWarnings = tool.countWarnings("watch_queue_overflow");
    if (const char* dump = std::getenv("TW_BENCH_MISSING")) {
        std::ofstream out(dump, std::ios::app);
        for (const auto& p : tool.missing(all))
            out << tool.name() << '\t' << p << '\n';
    }

    // 3. Idle.
    std::this_thread::sleep_for(1s);
    const long before = tool.contextSwitches();
    std::this_thread::sleep_for(5s);
    r.idleWakeups = static_cast<double>(tool.contextSwitches() - before) / 5.0;
    tool.stop();

    // Leave the tree as it was for the next tool.
    for (const auto& p : all)
        ::unlink(p.c_str());
    for (int d = 0; d < o.stormNewDirs; ++d)
        fs::remove_all(stormRoot / ("new" + std::to_string(d)));
    for (const auto& entry : fs::directory_iterator(root)) {
        if (entry.path().filename().string().rfind(".probe-", 0) == 0)
            fs::remove(entry.path());
    }
    return r;
}

// Idle memory with the bundled pack alone and one empty root watched: the compiled rules, the
// workers' scanners and buffers, and the libraries. Taken after start and again once a burst of
// changes (large bundles read window by window, manifests with views) has been evaluated.
void measureIdle(const fs::path& base, const std::function<std::string(const std::string&)>& whole)
{
    constexpr double targetMiB = 16;
    const fs::path root = base / "idle-root";
    fs::create_directories(root);
    fs::create_directories(base / "idle-config");
    Tool bare("twwatch", {std::string(TW_BIN_DIR) + "/twwatch"}, whole,
              {"XDG_CONFIG_HOME=" + (base / "idle-config").string(),
               "XDG_STATE_HOME=" + (base / "idle-state").string()});
    bare.start(root.string() + "\n\n");
    const auto settle = [&] {
        // Quiet for two seconds in a row: the audit of the root and any evaluation are over.
        for (int quiet = 0, i = 0; quiet < 4 && i < 60; ++i) {
            const long before = bare.statusValue("VmRSS:");
            std::this_thread::sleep_for(500ms);
            quiet = bare.statusValue("VmRSS:") == before ? quiet + 1 : 0;
        }
    };
    const auto print = [&](const char* when) {
        const double rss = static_cast<double>(bare.statusValue("VmRSS:")) / 1024.0;
        std::printf("twwatch idle %-22s RSS %5.1f MiB (anon %4.1f, files %4.1f), peak %5.1f MiB; target <= "
                    "%.0f MiB: %s\n",
                    when, rss, static_cast<double>(bare.statusValue("RssAnon:")) / 1024.0,
                    static_cast<double>(bare.statusValue("RssFile:")) / 1024.0,
                    static_cast<double>(bare.statusValue("VmHWM:")) / 1024.0, targetMiB,
                    rss <= targetMiB ? "met" : "MISSED");
    };
    settle();
    print("after start");
    std::string bundle;
    for (int i = 0; bundle.size() < 3'000'000; ++i)
        bundle +=
            "export const value" + std::to_string(i) + " = require('./chunk" + std::to_string(i) + "');\n";
    for (int i = 0; i < 8; ++i)
        std::ofstream(root / ("bundle" + std::to_string(i) + ".js")) << bundle;
    for (int i = 0; i < 200; ++i) {
        fs::create_directories(root / ("pkg" + std::to_string(i)));
        std::ofstream(root / ("pkg" + std::to_string(i)) / "package.json")
            << R"({"name": "p", "scripts": {"postinstall": "node install.js"}})";
    }
    settle();
    print("after a burst");
    std::string loadAverage;
    std::getline(std::ifstream("/proc/loadavg"), loadAverage);
    std::printf("load average: %s\n\n", loadAverage.c_str());
    std::fflush(stdout);
}

bool onPath(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    bool idleOnly = false;
    for (int i = 1; i < argc; ++i)
        idleOnly = idleOnly || std::string(argv[i]) == "--idle-only";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--dirs")
            o.dirs = std::atoi(argv[i + 1]);
        else if (a == "--files")
            o.files = std::atoi(argv[i + 1]);
    }
    std::signal(SIGPIPE, SIG_IGN);
    // tmpfs by default: the figures are about the watchers, not about the disk (on a disk with online
    // discard, deleting the storm between two watchers alone takes minutes).
    std::string baseDir = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--base")
            baseDir = argv[i + 1];
    }
    std::string tmpl = baseDir + "/twwatch-bench-XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        std::cerr << "cannot make a folder in " << baseDir << "\n";
        return 1;
    }
    const fs::path base = tmpl;
    const fs::path root = base / "tree";
    const fs::path config = base / "config";
    fs::create_directories(config / "tarnwick/rules");
    std::ofstream(config / "tarnwick/rules/all.yar")
        << "rule match_everything { meta: severity = \"warning\" condition: true }\n";

    const auto whole = [](const std::string& line) { return line; };
    measureIdle(base, whole);
    if (idleOnly) {
        fs::remove_all(base);
        return 0;
    }
    std::cout << "Generating " << o.dirs << " directories and " << o.files << " files in " << root << " ..."
              << std::endl;
    const auto dirs = makeTree(root, o);

    std::vector<std::unique_ptr<Tool>> tools;
    tools.push_back(std::make_unique<Tool>(
        "twwatch", std::vector<std::string>{std::string(TW_BIN_DIR) + "/twwatch"},
        [](const std::string& line) {
            const auto j = nlohmann::json::parse(line, nullptr, false);
            return j.is_object() && j.contains("path") && j["path"].is_string() ? j["path"].get<std::string>()
                                                                                : std::string();
        },
        std::vector<std::string>{"XDG_CONFIG_HOME=" + config.string()}));
    if (onPath("inotifywait"))
        tools.push_back(std::make_unique<Tool>(
            "inotifywait -m -r",
            std::vector<std::string>{"inotifywait", "-m", "-r", "-q", "--format", "%w%f", "-e", "create",
                                     "-e", "moved_to", "-e", "close_write", root.string()},
            whole));
    if (onPath("fswatch"))
        tools.push_back(std::make_unique<Tool>(
            "fswatch -r", std::vector<std::string>{"fswatch", "-r", "-m", "inotify_monitor", root.string()},
            whole));

    std::printf("%-20s %10s %10s %9s %11s %10s %10s %10s  %s\n", "watcher", "set-up s", "peak MiB", "storm %",
                "new dirs %", "last at s", "peak MiB", "idle /s", "notes");
    std::fflush(stdout);
    for (auto& tool : tools) {
        const Result r =
            measure(*tool, root, dirs, o, tool->name() == "twwatch" ? root.string() + "\n\n" : "");
        std::string notes;
        if (r.exited)
            notes += "exited during the storm; ";
        if (r.overflowWarnings)
            notes += std::to_string(r.overflowWarnings) + " overflow warning lines";
        std::printf("%-20s %10.2f %10.1f %9.1f %11.1f %10.2f %10.1f %10.1f  %s\n", r.name.c_str(),
                    r.setupSeconds, r.setupPeakKiB / 1024.0, r.stormShare, r.newDirShare,
                    r.lastArrivalSeconds, r.stormPeakKiB / 1024.0, r.idleWakeups, notes.c_str());
        std::fflush(stdout);
    }
    fs::remove_all(base);
    std::printf(
        "\nset-up: until a change in the root is reported, with its peak memory (VmHWM); storm: share of "
        "created paths reported, of those in new directories, time of the last one, peak memory; idle: "
        "context switches per second over 5 s of quiet\n");
    std::printf("tree: %d directories, %d files; storm: %d creations, %d of them in %d new directories\n",
                o.dirs, o.files, o.stormFiles, o.stormFilesInNewDirs, o.stormNewDirs);
    return 0;
}
