#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include "records/ModelContainer.h"
#include <QProcess>

// The one shared, observable state of the watcher link. Main thread only. Every setter signals only
// when the value really changes (the flag by value, the pipe and the container by identity).
class WatcherStatus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
public:
    static WatcherStatus& shared();

    // True from a successful launch until the end of that same watcher has been seen.
    bool isRunning() const { return m_isRunning; }
    void setRunning(bool running);

    // True once the watcher has failed repeatedly within a short time, until one runs steadily again.
    bool isFailing() const { return m_isFailing; }
    void setFailing(bool failing);

    // The current watcher's process, whose write channel is its standard input. Replaced at each
    // successful launch, never cleared.
    QProcess* inputPipe() const { return m_inputPipe; }
    void setInputPipe(QProcess* process);

    ModelContainer* modelContainer() const { return m_modelContainer; }
    void setModelContainer(ModelContainer* container);

    // Writes one configuration message: every path followed by a line feed, then one empty line
    // ("p1\np2\n\n"; nothing selected gives "\n\n"). Written only to a watcher that is running;
    // otherwise nothing is written or kept. A path containing a line feed cannot be expressed in
    // this format and is left out; the others are sent.
    void sendDirectories(const QStringList& paths);

    // The bytes sendDirectories writes, for the same paths.
    static QByteArray configurationMessage(const QStringList& paths);

signals:
    void isRunningChanged(bool isRunning);
    void isFailingChanged(bool isFailing);
    void inputPipeChanged(QProcess* process);

private:
    WatcherStatus() = default;

    bool m_isRunning = false;
    bool m_isFailing = false;
    QPointer<QProcess> m_inputPipe;
    QPointer<ModelContainer> m_modelContainer;
};
