#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Frames the watcher's byte stream into lines. Reads arrive in whatever pieces the pipe gives, so an
// incomplete last line is kept and completed by the next chunk. Each line is checked for UTF-8 on its
// own: one bad line costs only itself. A line that grows past maxLineBytes without a line feed is
// dropped up to its line feed, so a runaway writer cannot exhaust memory.
class EventLineReader
{
public:
    static constexpr qsizetype defaultMaxLineBytes = 1024 * 1024;

    explicit EventLineReader(qsizetype maxLineBytes = defaultMaxLineBytes);

    // Returns the complete, non-empty, UTF-8-valid lines that this chunk finishes, in stream order,
    // without their line feeds.
    QList<QByteArray> feed(QByteArrayView chunk);

    // End of stream: returns the final line that had no line feed, if it is non-empty and valid.
    QList<QByteArray> finish();

    // Counters for diagnostics and tests.
    qsizetype droppedLines() const { return m_dropped; }
    qsizetype pendingBytes() const { return m_partial.size(); }

private:
    void takeLine(QByteArrayView line, QList<QByteArray>& out);

    qsizetype m_maxLineBytes;
    QByteArray m_partial;
    bool m_discarding = false; // inside an oversized line, skipping to its line feed
    qsizetype m_dropped = 0;
};
