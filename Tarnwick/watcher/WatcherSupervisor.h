#pragma once

#include "RestartBackoff.h"
#include "WatchEvent.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>

class Directory;
class Intake;
class Notifier;

// Starts and keeps track of the watcher, `twwatch`, as a child process: no arguments, the
// application's working directory and environment, standard error shared, standard input and output
// on pipes. Main thread only; nothing here blocks.
//
// A watcher that ends unexpectedly (killed, crashed, or a non-zero exit status) is started again after
// RestartBackoff's delay and gets the configuration again; the relaunched watcher catches up on what
// changed in the gap. An exit with status 0 is a quit (the watcher's input ended because we closed it)
// and a replaced watcher's end concerns nobody: neither is restarted. When failures repeat, the user
// is told once per streak through the notifier and WatcherStatus::isFailing; the restarts go on.
class WatcherSupervisor : public QObject
{
    Q_OBJECT
public:
    // Events read from any watcher are handed to intake->ingest (when given), one list per read.
    explicit WatcherSupervisor(Intake* intake = nullptr, QObject* parent = nullptr);
    ~WatcherSupervisor() override;

    // Default: QCoreApplication::applicationDirPath() + "/twwatch".
    QString executable() const;
    // Where repeated failures are reported; none by default.
    void setNotifier(Notifier* notifier);
    void setExecutable(const QString& path);

    // Starts a new watcher. Without an executable file nothing happens at all. Once it has started:
    // it becomes WatcherStatus's input pipe, isRunning turns true and the directory configuration is
    // sent. A failed start sets isRunning false (no signal when it already was).
    void launchWatcher();

    // True while a restart after a failure is waiting for its delay.
    bool restartPending() const { return m_restartTimer.isActive(); }

    // The start-unless-running check: launches only when there is no process yet, or it has ended and
    // no launch is under way.
    void launchUnlessRunning();

    // The process of the most recent launch; kept after it ends, until the next launch replaces it.
    QProcess* process() const { return m_process; }

signals:
    void eventsRead(const QList<WatchEvent>& events);
    // The watcher of the most recent launch has started (after the configuration was sent).
    void launched();

private:
    void onStarted(QProcess* process);
    void onEnded(QProcess* process);
    void retire(QProcess* process);
    void scheduleRestart(qint64 runMs);
    void restart();

    QString m_executable;
    QPointer<Notifier> m_notifier;
    RestartBackoff m_backoff;
    QTimer m_restartTimer;
    QTimer m_stableTimer; // a watcher that has run this long ends the failure streak
    QElapsedTimer m_clock;
    qint64 m_startedMs = 0;
    bool m_restarting = false; // the pending launch is a restart: its failure to start counts
    QPointer<QProcess> m_process;
    QPointer<QProcess> m_pending; // started, not yet running
};

// The paths a configuration message lists for these records, in their order: those watching new
// files or new directories. Used by the window's own push as well.
QStringList selectedDirectoryPaths(const QList<Directory>& directories);

// Fetches the directories from a fresh context of WatcherStatus's container and sends them. Does
// nothing without a container or when the fetch fails.
void sendDirectoryConfiguration();

// False for a path the watcher's one-path-a-line input cannot carry (it holds a line feed): such a
// directory is left out of every configuration, and the directories window tells the user.
bool isSendablePath(const QString& path);
