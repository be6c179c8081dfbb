#pragma once

// Runs /usr/bin/git for the viewer: no terminal, no standard input, an environment of our own (no
// system or global configuration, no inherited GIT_* variables), a time bound and a bound on output.
// Blocking; meant for a worker thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>

inline constexpr const char* kGitProgram = "/usr/bin/git";

struct GitRunLimits
{
    std::chrono::steady_clock::time_point deadline;
    qint64 maxOutput = 0;                         // bytes of stdout kept; git is stopped past it
    const std::atomic<bool>* cancelled = nullptr; // polled; set it to stop waiting early
};

struct GitRunResult
{
    bool finished = false; // git ran and exited by itself (any status)
    int exitCode = -1;
    bool overflow = false; // stdout went past maxOutput (git was stopped)
    QByteArray out;
};

// `home` becomes HOME and XDG_CONFIG_HOME (a private, empty folder); `ceiling` is given to git as
// GIT_CEILING_DIRECTORIES when not empty.
GitRunResult runGit(const QString& program, const QStringList& arguments, const QString& workDir,
                    const QString& home, const QString& ceiling, const GitRunLimits& limits);
