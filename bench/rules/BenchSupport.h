#pragma once

// Shared by the rule benchmarks: running a command with its output captured or discarded, timing, and
// the rule files of the bundled pack.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tw::bench {

struct RunResult
{
    int exitCode = -1;
    double seconds = 0;
    double cpuSeconds = 0; // user + system time of the child
    std::string out;       // empty when discarded
};

// Runs argv (PATH searched), standard error passed through, standard output captured or discarded.
RunResult run(const std::vector<std::string>& argv, bool captureOut);

std::filesystem::path twwatchBinary();
std::vector<std::filesystem::path> packFiles(); // rules/*.yar of the source tree, sorted

double secondsSince(std::chrono::steady_clock::time_point start);

} // namespace tw::bench
