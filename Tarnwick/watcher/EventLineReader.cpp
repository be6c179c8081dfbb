#include "EventLineReader.h"

namespace {

// Strict UTF-8 per RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF)
                return false;
        }
        p += length;
    }
    return true;
}

} // namespace

EventLineReader::EventLineReader(qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes)
{
}

void EventLineReader::takeLine(QByteArrayView line, QList<QByteArray>& out)
{
    if (line.isEmpty())
        return;
    if (!isValidUtf8(line)) {
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
