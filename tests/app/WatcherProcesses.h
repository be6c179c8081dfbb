#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QList>
#include <QString>

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
