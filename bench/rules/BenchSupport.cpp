#include "BenchSupport.h"

#include <algorithm>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::bench {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

RunResult run(const std::vector<std::string>& argv, bool captureOut)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (captureOut) {
            dup2(out[1], 1);
        } else {
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    RunResult r;
    char buf[65536];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        r.out.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.seconds = secondsSince(start);
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

std::filesystem::path twwatchBinary()
{
    return std::filesystem::path(TW_BIN_DIR) / "twwatch";
}

std::vector<std::filesystem::path> packFiles()
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(TW_SOURCE_DIR) / "rules"))
        if (e.path().extension() == ".yar")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace tw::bench
