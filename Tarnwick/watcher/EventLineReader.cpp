#include "EventLineReader.h"

EventLineReader::EventLineReader(qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes)
{
}

void EventLineReader::takeLine(QByteArrayView line, QList<QByteArray>& out)
{
    if (line.isEmpty())
        return;
    // Qt's check is strict (no overlong forms, surrogates or code points above U+10FFFF), so a
    // line that passes decodes to exactly the text the watcher meant.
    if (!line.isValidUtf8()) {
        ++m_dropped;
        return;
    }
    out.append(line.toByteArray());
}

QList<QByteArray> EventLineReader::feed(QByteArrayView chunk)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < chunk.size()) {
        const qsizetype lf = chunk.indexOf('\n', start);
        if (lf < 0) {
            // No line feed in the rest of this chunk: keep it for the next read, within the bound.
            if (!m_discarding) {
                m_partial.append(chunk.sliced(start));
                if (m_partial.size() > m_maxLineBytes) {
                    m_partial.clear();
                    m_partial.squeeze();
                    m_discarding = true;
                    ++m_dropped;
                }
            }
            break;
        }
        const QByteArrayView piece = chunk.sliced(start, lf - start);
        if (m_discarding) {
            m_discarding = false;
        } else if (!m_partial.isEmpty()) {
            if (m_partial.size() + piece.size() > m_maxLineBytes) {
                ++m_dropped;
            } else {
                m_partial.append(piece);
                takeLine(m_partial, lines);
            }
            m_partial.clear();
        } else if (piece.size() > m_maxLineBytes) {
            ++m_dropped;
        } else {
            takeLine(piece, lines);
        }
        start = lf + 1;
    }
    return lines;
}

QList<QByteArray> EventLineReader::finish()
{
    QList<QByteArray> lines;
    if (!m_discarding)
        takeLine(m_partial, lines);
    m_partial.clear();
    m_discarding = false;
    return lines;
}
