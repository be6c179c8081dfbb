// Scan throughput of the rule pack: `twwatch --scan` beside `yara -r -p 2` with the same rule files on
// the same generated tree in the same run, and beside reading every file once (the floor: walking and
// reading with two threads, no matching). Each is run three times after a warm-up read; the best run
// counts, so all three see a warm page cache.
//
//   bench_rules_throughput [FILES] [--keep]   (default 50000; the tree is removed unless --keep)
//
// The yara command cannot vary external variables per file, so it evaluates the path conditions with
// fixed values: it does the same string search over the same bytes but matches fewer rules.

#include "BenchSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tw::bench;

namespace {

struct Rng
{
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
};

const char* kWords[] = {"const",   "function", "return", "import", "export", "class",   "self",    "def",
                        "value",   "result",   "index",  "buffer", "config", "options", "request", "response",
                        "if",      "else",     "for",    "while",  "await",  "async",   "new",     "this",
                        "require", "module",   "path",   "data",   "error",  "string",  "number",  "list"};
const char* kPunct[] = {" ", " ", " ", "(", ")", "{", "}", ";\n", " = ", ".", ", ", "\n    ", ": ", "[", "]"};

std::string textContent(Rng& rng, std::size_t size)
{
    std::string s;
    s.reserve(size + 32);
    while (s.size() < size) {
        s += kWords[rng.below(std::size(kWords))];
        s += kPunct[rng.below(std::size(kPunct))];
    }
    s.resize(size);
    return s;
}

// A developer tree: mostly source and text of a few KB, some binaries, and the files the rules look at
// by name (manifests, workflows, agent instructions, hooks) sprinkled through it.
std::uint64_t generateTree(const fs::path& root, std::size_t files)
{
    Rng rng;
    std::uint64_t bytes = 0;
    const char* exts[] = {".js", ".js",   ".js", ".ts", ".py",  ".py",
                          ".md", ".json", ".c",  ".h",  ".txt", ".css"};
    for (std::size_t i = 0; i < files; ++i) {
        const fs::path dir =
            root / ("pkg" + std::to_string(i / 2000)) / ("src" + std::to_string(i / 100 % 20));
        if (i % 100 == 0)
            fs::create_directories(dir);
        std::string name;
        std::string content;
        const std::size_t size = 256 + (rng.below(8) == 0 ? rng.below(48 * 1024) : rng.below(6 * 1024));
        switch (i % 500) {
        case 0:
            name = "package.json";
            break;
        case 1:
            name = "AGENTS.md";
            break;
        case 2:
            name = "Makefile";
            break;
        case 3:
            name = "settings.json";
            break;
        default:
            name = "file" + std::to_string(i) + exts[rng.below(std::size(exts))];
        }
        if (i % 20 == 19) {
            name = "blob" + std::to_string(i) + ".png";
            content.resize(size);
            for (auto& c : content)
                c = static_cast<char>(rng.next());
        } else {
            content = textContent(rng, size);
        }
        std::ofstream(dir / name, std::ios::binary) << content;
        bytes += content.size();
    }
    return bytes;
}

double cpuOfSelf()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double readEveryFileOnce(const fs::path& root)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            paths.push_back(e.path().string());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            std::vector<char> buf(1 << 16);
            for (std::size_t i; (i = next++) < paths.size();) {
                const int fd = open(paths[i].c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0)
                    continue;
                while (read(fd, buf.data(), buf.size()) > 0) {
                }
                close(fd);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    return secondsSince(start);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50000;
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/tw-rules-bench-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        return 1;
    const fs::path root = tmpl;
    std::cout << "generating " << files << " files in " << root << " ..." << std::endl;
    const std::uint64_t bytes = generateTree(root, files);
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("tree: %zu files, %.1f MB\n", files, mb);

    std::vector<std::string> yara{"yara", "-r",
                                  "-p",   "2",
                                  "-d",   "filepath=/x",
                                  "-d",   "filename=x",
                                  "-d",   "extension=x",
                                  "-d",   "changes=",
                                  "-d",   "is_executable=false",
                                  "-d",   "file_size=0",
                                  "-d",   "is_truncated=false",
                                  "-d",   "view=raw"};
    // Each file in a namespace of its own, as twwatch compiles them: the pack repeats private rule names.
    for (const auto& f : packFiles())
        yara.push_back(f.stem().string() + ":" + f.string());
    yara.push_back(root.string());
    const std::vector<std::string> twwatch{twwatchBinary().string(), "--scan", root.string()};

    readEveryFileOnce(root); // warm the page cache for everyone
    // Wall time is what a user waits for; CPU time (user + system) is steadier on a busy machine.
    double best[3] = {1e9, 1e9, 1e9};
    double cpu[3] = {1e9, 1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        const double cpuBefore = cpuOfSelf();
        best[0] = std::min(best[0], readEveryFileOnce(root));
        cpu[0] = std::min(cpu[0], cpuOfSelf() - cpuBefore);
        const RunResult tw = run(twwatch, false);
        const RunResult y = run(yara, false);
        // yara exits 0 whether or not anything matched; 1 means the rules did not compile.
        if (tw.exitCode != 0 || y.exitCode != 0) {
            std::fprintf(stderr, "twwatch exit %d, yara exit %d\n", tw.exitCode, y.exitCode);
            return 1;
        }
        best[1] = std::min(best[1], tw.seconds);
        best[2] = std::min(best[2], y.seconds);
        cpu[1] = std::min(cpu[1], tw.cpuSeconds);
        cpu[2] = std::min(cpu[2], y.cpuSeconds);
    }
    const char* names[3] = {"read every file once (floor)", "twwatch --scan", "yara -r -p 2"};
    std::printf("\n%-30s %9s %11s %9s %12s %12s\n", "", "seconds", "files/s", "MB/s", "us/file",
                "cpu us/file");
    for (int i = 0; i < 3; ++i) {
        std::printf("%-30s %9.3f %11.0f %9.1f %12.1f %12.1f\n", names[i], best[i],
                    static_cast<double>(files) / best[i], mb / best[i],
                    best[i] * 1e6 / static_cast<double>(files), cpu[i] * 1e6 / static_cast<double>(files));
    }
    std::printf("\ntwwatch / yara files per second: %.2fx wall, %.2fx per CPU second (goal: at least 2x)\n",
                best[2] / best[1], cpu[2] / cpu[1]);
    std::printf("floor / twwatch seconds: %.1fx wall\n", best[1] / best[0]);
    if (argc > 2 && std::string(argv[2]) == "--keep")
        std::printf("tree kept in %s\n", root.c_str());
    else
        fs::remove_all(root);
    return 0;
}
