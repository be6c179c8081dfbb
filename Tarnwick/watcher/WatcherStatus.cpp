#include "WatcherStatus.h"

#include "records/ModelContainer.h"

#include <QProcess>

WatcherStatus& WatcherStatus::shared()
{
    // Thread-safe one-time construction; used on the main thread only afterwards.
    static WatcherStatus* instance = new WatcherStatus;
    return *instance;
}

void WatcherStatus::setRunning(bool running)
{
    if (m_isRunning == running)
        return;
    m_isRunning = running;
    emit isRunningChanged(running);
}

void WatcherStatus::setFailing(bool failing)
{
    if (m_isFailing == failing)
        return;
    m_isFailing = failing;
    emit isFailingChanged(failing);
}

void WatcherStatus::setInputPipe(QProcess* process)
{
    if (m_inputPipe == process)
        return;
    m_inputPipe = process;
    emit inputPipeChanged(process);
}

void WatcherStatus::setModelContainer(ModelContainer* container)
{
    m_modelContainer = container;
}

QByteArray WatcherStatus::configurationMessage(const QStringList& paths)
{
    QByteArray message;
    for (const QString& path : paths) {
        // An empty line ends a message, so neither an empty path nor one holding a line feed fits.
        if (path.isEmpty() || path.contains(QLatin1Char('\n')))
            continue;
        message += path.toUtf8();
        message += '\n';
    }
    message += '\n';
    // An empty selection is two line feeds: an empty message, then the closing empty line.
    if (message.size() == 1)
        message += '\n';
    return message;
}

void WatcherStatus::sendDirectories(const QStringList& paths)
{
    if (!m_isRunning || !m_inputPipe)
        return;
    // QProcess accepts writes to a child that has already gone and silently drops them; ask the
    // process itself rather than trusting the flag, whose update may still be on its way.
    if (m_inputPipe->state() != QProcess::Running)
        return;
    m_inputPipe->write(configurationMessage(paths));
}
