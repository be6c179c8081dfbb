#pragma once

// The real Tarnwick run as a process by the tests: a private home for it, and the watchers it starts.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

// `env` pointed at data, config, runtime and state folders of their own under `home`, made here; the
// store lands in <home>/data/Tarnwick/Tarnwick/store.sqlite.
inline QProcessEnvironment appHomeEnvironment(const QString& home, QProcessEnvironment env)
{
    for (const char* sub : {"data", "config", "run", "state"})
        QDir().mkpath(home + QLatin1Char('/') + QLatin1String(sub));
    QFile::setPermissions(home + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state"));
    return env;
}

// The twwatch processes started for one test's data folder: their environment names it, so watchers of
// other tests running at the same time are never counted or ended.
inline QList<qint64> watchersFor(const QString& dataHome)
{
    QList<qint64> pids;
    const QByteArray marker = "XDG_DATA_HOME=" + dataHome.toLocal8Bit();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        QFile environment(QStringLiteral("/proc/%1/environ").arg(entry));
        if (isPid && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "twwatch" &&
            environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains(marker))
            pids.append(pid);
    }
    return pids;
}
