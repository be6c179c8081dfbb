// The audit of a root and the catch-up of a root watched before, on a generated tree (10,000 folders,
// 200,000 files by default):
//   - time to ready (a live probe reported) on a plain start without state, and on a start with the
//     state of a run that ended with nothing changed since; their ratio;
//   - the full audit's throughput beside `twwatch --scan` of the same tree;
//   - how long a live change made during the audit takes to be reported.
// Run it by hand on a build without sanitizers (see BulkMoveBench.cpp's header):
//   cmake --build build/rel --target twwatch_audit_bench && build/rel/bench/twwatch_audit_bench [--folders N]
// twwatch loads the bundled pack plus a match-everything rule, so every audited file is a line.

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

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Run
{
    pid_t pid = -1;
    int in = -1;
    FILE* out = nullptr;
};

Run startWatcher(const fs::path& config, const fs::path& state, const fs::path& root)
{
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        std::exit(1);
    Run run;
    run.pid = fork();
    if (run.pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_STATE_HOME", state.c_str(), 1);
        const std::string binary = std::string(TW_BIN_DIR) + "/twwatch";
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    run.in = in[1];
    run.out = fdopen(out[0], "r");
    const std::string message = root.string() + "\n\n";
    if (::write(run.in, message.data(), message.size()) != static_cast<ssize_t>(message.size()))
        std::exit(1);
    return run;
}

// Reads lines until `probe` is reported (rewriting it meanwhile); counts audit lines seen on the way.
double waitForProbe(Run& run, const fs::path& probe, Clock::time_point since, long& auditLines)
{
    char* line = nullptr;
    size_t capacity = 0;
    const std::string quoted = probe.string() + "\"";
    writeText(probe, "x");
    while (getline(&line, &capacity, run.out) > 0) {
        if (std::strstr(line, quoted.c_str()))
            break;
        if (std::strstr(line, "\"existing\"") || std::strstr(line, "\"rescanned\""))
            ++auditLines;
        else
            writeText(probe, "x");
    }
    free(line);
    return secondsSince(since);
}

void stopWatcher(Run& run)
{
    ::close(run.in);
    char buffer[65536];
    while (fread(buffer, 1, sizeof buffer, run.out) > 0) {
    }
    fclose(run.out);
    waitpid(run.pid, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    long folders = 10000;
    const long perFolder = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--folders") == 0)
            folders = std::max(1L, std::atol(argv[i + 1]));
    }
    const long files = folders * perFolder;
    std::ifstream load("/proc/loadavg");
    std::string loadLine;
    std::getline(load, loadLine);
    std::cout << "load average: " << loadLine << '\n';

    char tmpl[] = "/tmp/twwatch-audit-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const fs::path base = tmpl;
    const fs::path root = base / "root", config = base / "config", state = base / "state";
    fs::create_directories(config / "tarnwick/rules");
    writeText(config / "tarnwick/rules/everything.yar",
              "rule bench_everything { meta: severity = \"warning\" condition: true }\n");
    for (long i = 0; i < files; ++i) {
        const fs::path dir =
            root / ("d" + std::to_string(i / 100 / perFolder)) / ("e" + std::to_string(i / perFolder));
        if (i % perFolder == 0)
            fs::create_directories(dir);
        writeText(dir / ("f" + std::to_string(i % perFolder)), "some text " + std::to_string(i) + "\n");
    }
    std::cout << files << " files in " << folders << " folders\n";

    // --scan of the same tree, for the audit's throughput.
    const auto scanAt = Clock::now();
    const std::string scan = "XDG_CONFIG_HOME=" + config.string() + " " + TW_BIN_DIR + "/twwatch --scan " +
                             root.string() + " > /dev/null";
    if (std::system(scan.c_str()) < 0)
        return 1;
    const double scanSeconds = secondsSince(scanAt);

    // A plain start: ready, a live change during the audit, the whole audit.
    const auto plainAt = Clock::now();
    Run plain = startWatcher(config, state, root);
    long audited = 0;
    const double plainReady = waitForProbe(plain, root / "probe", plainAt, audited);
    const auto liveAt = Clock::now();
    const double liveLatency = waitForProbe(plain, root / "live", liveAt, audited);
    const long auditedBeforeLive = audited;
    char* line = nullptr;
    size_t capacity = 0;
    while (audited < files && getline(&line, &capacity, plain.out) > 0) {
        if (std::strstr(line, "\"existing\""))
            ++audited;
    }
    free(line);
    const double auditSeconds = secondsSince(plainAt);
    stopWatcher(plain);

    // A start with the state that run left, nothing changed since.
    const auto stateAt = Clock::now();
    Run again = startWatcher(config, state, root);
    long rescanned = 0;
    const double stateReady = waitForProbe(again, root / "probe2", stateAt, rescanned);
    stopWatcher(again);

    std::cout << "--scan: " << scanSeconds << " s (" << files / scanSeconds << " files/s)\n"
              << "plain start: ready after " << plainReady << " s, full audit done after " << auditSeconds
              << " s (" << files / auditSeconds << " files/s, " << scanSeconds / auditSeconds
              << "x the speed of --scan)\n"
              << "live change during the audit reported after " << liveLatency * 1000 << " ms ("
              << auditedBeforeLive << " files audited by then)\n"
              << "start with state, nothing changed: ready after " << stateReady << " s ("
              << stateReady / plainReady << "x the plain start)\n";
    fs::remove_all(base);
    return 0;
}
