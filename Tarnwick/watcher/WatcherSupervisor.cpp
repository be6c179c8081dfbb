#include "WatcherSupervisor.h"

#include "EventStream.h"
#include "Intake.h"
#include "Notifier.h"
#include "WatcherStatus.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <utility>

WatcherSupervisor::WatcherSupervisor(Intake* intake, QObject* parent)
    : QObject(parent)
{
    if (intake)
        connect(this, &WatcherSupervisor::eventsRead, intake, &Intake::ingest);
    m_clock.start();
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &WatcherSupervisor::restart);
    m_stableTimer.setSingleShot(true);
    m_stableTimer.setInterval(int(RestartBackoff::stableRunMs));
    connect(&m_stableTimer, &QTimer::timeout, this, [] { WatcherStatus::shared().setFailing(false); });
}

void WatcherSupervisor::setNotifier(Notifier* notifier)
{
    m_notifier = notifier;
}

WatcherSupervisor::~WatcherSupervisor()
{
    // The watcher learns that we are gone from the end of its standard input and ends by itself; give
    // it a moment to do so (what it still writes is read and stored meanwhile) instead of the kill
    // that QProcess's destructor would send at once.
    for (QProcess* process : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->closeWriteChannel();
            if (!process->waitForFinished(1000)) {
                // A watcher that ignores the end of its input would keep running without anyone
                // reading its findings.
                process->kill();
                process->waitForFinished(1000);
            }
        }
    }
}

QString WatcherSupervisor::executable() const
{
    if (!m_executable.isEmpty())
        return m_executable;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/twwatch");
}

void WatcherSupervisor::setExecutable(const QString& path)
{
    m_executable = path;
}

void WatcherSupervisor::launchWatcher()
{
    const QString path = executable();
    const QFileInfo info(path);
    // A launch that comes while a restart waits (the user opened the panel, say) stands in for it: if
    // it fails to start, the restarts go on.
    const bool restarting = std::exchange(m_restarting, false) || m_restartTimer.isActive();
    m_restartTimer.stop();
    // No watcher installed: stay as we are, quietly; the next check looks again. A restart keeps
    // trying, as the file may be in the middle of an upgrade.
    if (!info.isFile() || !info.isExecutable()) {
        if (restarting)
            scheduleRestart(0);
        return;
    }

    auto* process = new QProcess(this);
    process->setProgram(path);
    process->setArguments({});
    // stderr is shared with us; working directory and environment are inherited by default.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);

    auto* stream = new EventStream(process, process);
    connect(stream, &EventStream::eventsRead, this, &WatcherSupervisor::eventsRead);
    connect(process, &QProcess::started, this, [this, process] { onStarted(process); });
    // Each end report is bound to the process it is about, so a late report of an old watcher can
    // never mark a newer one as stopped.
    connect(process, &QProcess::finished, this, [this, process] { onEnded(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onEnded(process);
    });
    m_pending = process;
    m_restarting = restarting;
    process->start(QIODevice::ReadWrite);
}

void WatcherSupervisor::launchUnlessRunning()
{
    if (m_pending || (m_process && m_process->state() != QProcess::NotRunning))
        return;
    launchWatcher();
}

void WatcherSupervisor::onStarted(QProcess* process)
{
    if (m_pending == process) {
        m_pending = nullptr;
        m_restarting = false;
    }
    m_startedMs = m_clock.elapsed();
    m_stableTimer.start();
    QPointer<QProcess> previous = m_process;
    m_process = process;
    if (previous && previous != process)
        retire(previous);
    WatcherStatus& status = WatcherStatus::shared();
    status.setInputPipe(process);
    status.setRunning(true);
    sendDirectoryConfiguration();
    emit launched();
}

void WatcherSupervisor::onEnded(QProcess* process)
{
    if (process == m_process) {
        WatcherStatus::shared().setRunning(false);
        m_stableTimer.stop();
        const bool quit = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        if (!quit && !m_pending)
            scheduleRestart(m_clock.elapsed() - m_startedMs);
        return;
    }
    if (process == m_pending) {
        // A launch that never started: the previous watcher stays the current one.
        m_pending = nullptr;
        if (!m_process || m_process->state() == QProcess::NotRunning)
            WatcherStatus::shared().setRunning(false);
        process->deleteLater();
        if (std::exchange(m_restarting, false))
            scheduleRestart(0);
        return;
    }
    // The end of a watcher that a newer launch has replaced: it concerns nobody any more.
    if (process->state() == QProcess::NotRunning)
        process->deleteLater();
}

void WatcherSupervisor::retire(QProcess* process)
{
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    // A replaced watcher that still runs hears nothing from us again; closing its input lets it end
    // by itself. Its remaining output is still read, so none of its findings is lost.
    process->closeWriteChannel();
}

void WatcherSupervisor::scheduleRestart(qint64 runMs)
{
    const RestartBackoff::Decision decision = m_backoff.failed(runMs);
    if (decision.tellUser) {
        WatcherStatus::shared().setFailing(true);
        if (Notifier* notifier = m_notifier) {
            Notifier::Notification notification;
            notification.summary = tr("Tarnwick's watcher keeps stopping");
            notification.body = tr("It ended %1 times in a short while. Tarnwick keeps restarting it and "
                                   "checks what changed meanwhile once it runs.")
                                    .arg(m_backoff.streak());
            notification.replaceKey = QStringLiteral("watcher-failing");
            notifier->notify(notification);
        }
    }
    m_restartTimer.start(int(decision.delayMs));
}

void WatcherSupervisor::restart()
{
    if (m_pending || (m_process && m_process->state() != QProcess::NotRunning))
        return;
    m_restarting = true;
    launchWatcher();
}
