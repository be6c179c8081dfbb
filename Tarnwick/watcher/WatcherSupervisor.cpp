#include "WatcherSupervisor.h"

#include "EventStream.h"
#include "Intake.h"
#include "WatcherStatus.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

WatcherSupervisor::WatcherSupervisor(Intake* intake, QObject* parent)
    : QObject(parent)
{
    if (intake)
        connect(this, &WatcherSupervisor::eventsRead, intake, &Intake::ingest);
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
    // No watcher installed: stay as we are, quietly; the next check looks again.
    if (!info.isFile() || !info.isExecutable())
        return;

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
    if (m_pending == process)
        m_pending = nullptr;
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
        return;
    }
    if (process == m_pending) {
        // A launch that never started: the previous watcher stays the current one.
        m_pending = nullptr;
        if (!m_process || m_process->state() == QProcess::NotRunning)
            WatcherStatus::shared().setRunning(false);
        process->deleteLater();
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
