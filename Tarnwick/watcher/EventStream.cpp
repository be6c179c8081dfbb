#include "EventStream.h"

#include <QProcess>

EventStream::EventStream(QProcess* process, QObject* parent)
    : QObject(parent)
    , m_process(process)
{
    connect(process, &QProcess::readyReadStandardOutput, this, &EventStream::readAvailable);
    // Whichever comes first: the pipe closing or the process ending. A final line without a line feed
    // is delivered then; bytes still buffered are read before it.
    connect(process, &QProcess::readChannelFinished, this, &EventStream::finishStream);
    connect(process, &QProcess::finished, this, &EventStream::finishStream);
}

void EventStream::readAvailable()
{
    if (!m_process)
        return;
    const QByteArray chunk = m_process->readAllStandardOutput();
    if (chunk.isEmpty())
        return;
    deliver(m_reader.feed(chunk));
}

void EventStream::finishStream()
{
    if (m_finished || !m_process)
        return;
    m_finished = true;
    QList<QByteArray> lines = m_reader.feed(m_process->readAllStandardOutput());
    lines.append(m_reader.finish());
    deliver(lines);
}

void EventStream::deliver(const QList<QByteArray>& lines)
{
    QList<WatchEvent> events;
    events.reserve(lines.size());
    for (const QByteArray& line : lines) {
        // A line that does not decode is dropped; the others still count.
        if (auto event = decodeWatchEvent(line))
            events.append(std::move(*event));
    }
    if (!events.isEmpty())
        emit eventsRead(events);
}
