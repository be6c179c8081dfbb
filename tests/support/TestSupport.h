#pragma once

// Helpers shared by the tests: real temporary folders, bounded waiting instead of sleeps, and child
// processes whose output is kept for the failure message.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tw::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object goes.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& rel) const { return m_path / rel; }

private:
    std::filesystem::path m_path;
};

// Polls `condition` every few milliseconds until it holds or `timeout` passes. Returns its last value.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);

struct ProcessResult
{
    int exitCode = -1; // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs argv[0] (searched on PATH when it has no slash) with the given stdin, waits at most `timeout`
// (then kills it and reports exit code -1). `cwd` empty means the current directory.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {},
                         const std::filesystem::path& cwd = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Test data folder of the source tree and the build's bin/ folder, from compile definitions.
std::filesystem::path testDataDir();
std::filesystem::path binDir();
std::filesystem::path testBinDir();

} // namespace tw::test
