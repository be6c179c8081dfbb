#pragma once

// The real Tarnwick run as a process by the tests: a private home for it, and the watchers it starts.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
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
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        bool isPid = false;
        const qint64 pid = it.fileName().toLongLong(&isPid);
        if (!isPid) {
            continue;
        }
        QFile comm(it.filePath() + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "twwatch") {
            continue;
        }
        QFile environment(it.filePath() + QStringLiteral("/environ"));
        if (environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains(marker)) {
            pids.append(pid);
        }
    }
    return pids;
}
