#include "TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    namespace fs = std::filesystem;
    std::error_code ec;
    // Tests may leave closed folders behind; open them so removal does not stop half-way.
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it =
             fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
    }
    return true;
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
    return {std::istreambuf_iterator<char>(in), {}};
}

Child spawn(const std::vector<std::string>& argv, const std::filesystem::path& errFile,
            const std::filesystem::path& cwd)
{
    int in[2], out[2];
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (err < 0 || pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC))
        throw std::runtime_error("cannot set up a child's standard streams");
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err, 2);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    for (const int fd : {in[0], out[1], err})
        close(fd);
    return {pid, in[1], out[0]};
}

int exitCodeOf(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                         std::chrono::milliseconds timeout)
{
    const TempDir dir;
    const Child child = spawn(argv, dir / "err", cwd);
    close(child.in);
    fcntl(child.out, F_SETFL, O_NONBLOCK);
    ProcessResult result;
    const bool ended = waitUntil(
        [&] {
            char buf[65536];
            ssize_t n;
            while ((n = read(child.out, buf, sizeof buf)) > 0)
                result.out.append(buf, static_cast<size_t>(n));
            return n == 0;
        },
        timeout);
    close(child.out);
    if (!ended)
        kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    result.exitCode = ended ? exitCodeOf(status) : -1;
    result.err = readFile(dir / "err");
    return result;
}

} // namespace tw::test
