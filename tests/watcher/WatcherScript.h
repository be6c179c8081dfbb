#pragma once

// Helpers for tests that run the scripted stand-in watcher (ScriptedWatcher.cpp).

#include "watcher/WatcherSupervisor.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tw::test {

inline QString scriptedWatcherPath()
{
    return QStringLiteral(TW_TEST_BIN_DIR "/tw_scripted_watcher");
}

// One JSON event line, without its line feed.
inline QByteArray eventLine(const QString& path)
{
    return R"({"path":")" + path.toUtf8() + R"(","types":["created"],"rule":"r","severity":"critical"})";
}

// A script file and a stdin record file in a temporary folder; environment() points the watcher at them.
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

    // Sets the variables in this process, so that a watcher started by the code under test, which
    // inherits our environment, finds them.
    void exportToEnvironment() const
    {
        qputenv("TW_SCRIPT", m_dir.filePath(QStringLiteral("script")).toLocal8Bit());
        qputenv("TW_STDIN", m_dir.filePath(QStringLiteral("stdin")).toLocal8Bit());
    }

    // Makes `supervisor` start the scripted watcher, running this script.
    void runBy(WatcherSupervisor& supervisor) const
    {
        exportToEnvironment();
        supervisor.setExecutable(scriptedWatcherPath());
    }

private:
    QTemporaryDir m_dir;
};

} // namespace tw::test
