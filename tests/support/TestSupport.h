#pragma once

// Real temporary folders, bounded waiting instead of sleeps, child processes.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tw::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
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

struct Child
{
    pid_t pid = -1;
    int in = -1;
    int out = -1;
};

// The tests' one fork and exec: argv[0] is searched on PATH, standard error goes into `errFile`.
Child spawn(const std::vector<std::string>& argv, const std::filesystem::path& errFile,
            const std::filesystem::path& cwd = {});

// Exit status, or 128 + signal number, of a child that has ended.
int exitCodeOf(int waitStatus);

struct ProcessResult
{
    int exitCode = -1; // as exitCodeOf, or -1 when killed at the timeout
    std::string out;
    std::string err;
};

// Runs argv with no input in `cwd` (empty: here) for at most `timeout`.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

inline std::filesystem::path testDataDir()
{
    return TW_TEST_DATA_DIR;
}

inline std::filesystem::path binDir()
{
    return TW_BIN_DIR;
}

} // namespace tw::test
