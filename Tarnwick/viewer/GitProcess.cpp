#include "viewer/GitProcess.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <unistd.h>

namespace {

QProcessEnvironment gitEnvironment(const QString& home, const QString& ceiling)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    // Only the repository's own configuration is read, and never a program it names is started.
    env.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    env.insert(QStringLiteral("GIT_CONFIG_GLOBAL"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("GIT_ATTR_NOSYSTEM"), QStringLiteral("1"));
    env.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    env.insert(QStringLiteral("GIT_PAGER"), QStringLiteral("cat"));
    env.insert(QStringLiteral("PAGER"), QStringLiteral("cat"));
    // A partial clone would fetch a missing object through the repository's remote and its transport
    // (ssh command, remote helper): allowing no protocol at all turns that into a plain failure.
    env.insert(QStringLiteral("GIT_ALLOW_PROTOCOL"), QStringLiteral("none"));
    // Show what the objects really hold, and never take the index lock or rewrite the index.
    env.insert(QStringLiteral("GIT_NO_REPLACE_OBJECTS"), QStringLiteral("1"));
    env.insert(QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0"));
    // A file name is a file name: no glob characters, no ":(magic)" prefixes.
    env.insert(QStringLiteral("GIT_LITERAL_PATHSPECS"), QStringLiteral("1"));
    if (!ceiling.isEmpty())
        env.insert(QStringLiteral("GIT_CEILING_DIRECTORIES"), ceiling);
    return env;
}

} // namespace

GitRunResult runGit(const QString& program, const QStringList& arguments, const QString& workDir,
                    const QString& home, const QString& ceiling, const GitRunLimits& limits)
{
    GitRunResult result;
    QProcess git;
    git.setProgram(program);
    git.setArguments(arguments);
    git.setWorkingDirectory(workDir);
    git.setProcessEnvironment(gitEnvironment(home, ceiling));
    git.setStandardInputFile(QProcess::nullDevice());
    git.setStandardErrorFile(QProcess::nullDevice());
    // A session of its own: no controlling terminal to prompt on, and one group to stop on timeout.
    git.setChildProcessModifier([] { ::setsid(); });
    git.start(QIODevice::ReadOnly);
    if (!git.waitForStarted(5000))
        return result;
    const qint64 pid = git.processId();

    auto stop = [&] {
        // Only while git is unreaped, so that its pid (and group id) cannot have been reused.
        if (pid > 0 && git.state() != QProcess::NotRunning)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
        git.kill();
        git.waitForFinished(5000);
    };

    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= limits.deadline || (limits.cancelled && limits.cancelled->load())) {
            stop();
            return result;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limits.deadline - now);
        const int slice = static_cast<int>(std::min<qint64>(left.count(), 50));
        if (git.state() == QProcess::NotRunning)
            break;
        if (!git.waitForReadyRead(std::max(slice, 1)) && git.state() != QProcess::NotRunning)
            git.waitForFinished(std::max(slice, 1)); // stdout closed early: wait for the exit
        result.out.append(git.readAllStandardOutput());
        if (limits.maxOutput > 0 && result.out.size() > limits.maxOutput) {
            result.overflow = true;
            result.out.truncate(limits.maxOutput);
            stop();
            return result;
        }
    }
    result.out.append(git.readAllStandardOutput());
    if (limits.maxOutput > 0 && result.out.size() > limits.maxOutput) {
        result.overflow = true;
        result.out.truncate(limits.maxOutput);
        return result;
    }
    result.finished = git.exitStatus() == QProcess::NormalExit;
    result.exitCode = git.exitCode();
    return result;
}
