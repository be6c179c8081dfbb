#include "TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tw::test {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tarnwick-test-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    m_path = std::filesystem::canonical(tmpl);
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so removal does not stop half-way.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    out << content;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

Child spawn(const std::vector<std::string>& argv, const SpawnOptions& options)
{
    int inPipe[2], outPipe[2], errPipe[2] = {-1, -1};
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    if (options.errFile.empty() ? pipe2(errPipe, O_CLOEXEC) != 0
                                : (errPipe[1] = ::open(options.errFile.c_str(),
                                                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) < 0)
        throw std::runtime_error("cannot set up standard error");

    std::vector<std::string> env = options.env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const auto named = [&](const std::string& set) {
            return entry.starts_with(set.substr(0, set.find('=') + 1));
        };
        if (std::none_of(options.env.begin(), options.env.end(), named))
            env.emplace_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const bool dropRoot = options.runAsUid >= 0 && geteuid() == 0;

    Child child;
    child.pid = fork();
    if (child.pid < 0)
        throw std::runtime_error("fork failed");
    if (child.pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(126);
        if (dropRoot && (setgid(static_cast<gid_t>(options.runAsUid)) != 0 ||
                         setuid(static_cast<uid_t>(options.runAsUid)) != 0))
            _exit(125);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    child.in = inPipe[1];
    child.out = outPipe[0];
    child.err = errPipe[0];
    return child;
}

int exitCodeOf(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                         std::chrono::milliseconds timeout)
{
    // Standard error into a file: one pipe to read, and a child that writes much there never blocks.
    const TempDir dir;
    const Child child = spawn(argv, {.cwd = cwd, .errFile = dir / "err"});
    close(child.in);
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool timedOut = false;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if ((timedOut = left.count() <= 0))
            break;
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 100))) <= 0)
            continue;
        char buf[65536];
        const ssize_t n = read(child.out, buf, sizeof buf);
        if (n > 0)
            result.out.append(buf, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(child.out);
    if (timedOut)
        kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    result.exitCode = timedOut ? -1 : exitCodeOf(status);
    result.err = readFile(dir / "err");
    return result;
}

std::filesystem::path testDataDir()
{
    return TW_TEST_DATA_DIR;
}

std::filesystem::path binDir()
{
    return TW_BIN_DIR;
}

} // namespace tw::test
