#pragma once

// The scripted stand-in watcher (ScriptedWatcher.cpp) for tests that supervise it.

#include "watcher/WatcherSupervisor.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace tw::test {

class WatcherScript
{
public:
    explicit WatcherScript(const QStringList& commands)
    {
        QFile file(m_dir.filePath(QStringLiteral("script")));
        if (file.open(QIODevice::WriteOnly))
            file.write(commands.join(QLatin1Char('\n')).toUtf8() + '\n');
    }

    QByteArray recordedStdin() const
    {
        QFile file(m_dir.filePath(QStringLiteral("stdin")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The variables are set in this process: the watcher inherits our environment.
    void runBy(WatcherSupervisor& supervisor) const
    {
        qputenv("TW_SCRIPT", m_dir.filePath(QStringLiteral("script")).toLocal8Bit());
        qputenv("TW_STDIN", m_dir.filePath(QStringLiteral("stdin")).toLocal8Bit());
        supervisor.setExecutable(QStringLiteral(TW_TEST_BIN_DIR "/tw_scripted_watcher"));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace tw::test
