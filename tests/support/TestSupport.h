#pragma once

// Helpers shared by the tests: real temporary folders, bounded waiting instead of sleeps, and child
// processes whose output is kept for the failure message.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
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

struct SpawnOptions
{
    std::filesystem::path cwd;     // empty: the current directory
    std::vector<std::string> env;  // NAME=value, set over this process's environment
    std::filesystem::path errFile; // standard error into this file; empty: a pipe
    int runAsUid = -1;             // when running as root: this user and group for the child
};

// A started child and our ends of its standard input, output and error (-1 where not a pipe).
struct Child
{
    pid_t pid = -1;
    int in = -1;
    int out = -1;
    int err = -1;
};

// The tests' one fork and exec. argv[0] is searched on PATH when it has no slash. Everything the
// child needs is prepared before fork, so between fork and exec it calls only what is safe there.
Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// Exit status, or 128 + signal number, of a child that has ended.
int exitCodeOf(int waitStatus);

// Runs argv[0] (searched on PATH when it has no slash) with no input, waits at most `timeout` (then
// kills it and reports exit code -1). `cwd` empty means the current directory.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Test data folder of the source tree and the build's bin/ folder, from compile definitions.
std::filesystem::path testDataDir();
std::filesystem::path binDir();

} // namespace tw::test
