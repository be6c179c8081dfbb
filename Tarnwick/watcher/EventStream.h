#pragma once

#include "EventLineReader.h"
#include "WatchEvent.h"

#include <QObject>
#include <QPointer>

#include <QProcess>

// Reads one watcher's standard output on the main thread and turns every read into one list of
// events, in stream order. The final line is delivered at the latest when the output ends.
class EventStream : public QObject
{
    Q_OBJECT
public:
    explicit EventStream(QProcess* process, QObject* parent = nullptr);

signals:
    // Emitted once per read that yields at least one event; never with an empty list.
    void eventsRead(const QList<WatchEvent>& events);

private:
    void readAvailable();
    void finishStream();
    void deliver(const QList<QByteArray>& lines);

    QPointer<QProcess> m_process;
    EventLineReader m_reader;
    bool m_finished = false;
};
