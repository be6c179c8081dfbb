#include "viewer/Utf8.h"

#include <QStringDecoder>

#include <algorithm>

std::optional<QString> decodeUtf8Strictly(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

namespace {

// Length of `bytes` without a multi-byte character that its end cuts; a byte that starts no valid
// character is left for the decoder to reject.
qsizetype withoutCutCharacter(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= size; ++back) {
        const auto c = static_cast<uchar>(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

} // namespace

Utf8Stream::Utf8Stream(qsizetype expectedBytes)
{
    // UTF-8 never takes fewer bytes than UTF-16 units.
    m_text.resize(std::max<qsizetype>(expectedBytes, 16));
}

void Utf8Stream::decode(QByteArrayView bytes)
{
    if (m_used + bytes.size() > m_text.size())
        m_text.resize(std::max(2 * m_text.size(), m_used + bytes.size()));
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QChar* start = m_text.data();
    const QChar* end = decoder.appendToBuffer(start + m_used, bytes);
    if (decoder.hasError())
        m_failed = true;
    m_used = end - start;
}

void Utf8Stream::feed(QByteArrayView bytes)
{
    if (m_failed || bytes.isEmpty())
        return;
    if (!m_pending.isEmpty()) {
        // Rare: a character across two pieces. Only its bytes are joined.
        const qsizetype take = std::min<qsizetype>(4, bytes.size());
        QByteArray joined = m_pending + bytes.first(take).toByteArray();
        const qsizetype whole = withoutCutCharacter(joined);
        if (whole < m_pending.size()) { // still cut: all of `bytes` belong to it
            m_pending = joined;
            if (m_pending.size() > 4)
                m_failed = true;
            return;
        }
        decode(QByteArrayView(joined).first(whole));
        bytes = bytes.sliced(whole - m_pending.size());
        m_pending.clear();
        if (m_failed || bytes.isEmpty())
            return;
    }
    const qsizetype whole = withoutCutCharacter(bytes);
    decode(bytes.first(whole));
    m_pending = bytes.sliced(whole).toByteArray();
}

std::optional<QString> Utf8Stream::finish(bool cutEndAllowed)
{
    if (m_failed || (!m_pending.isEmpty() && !cutEndAllowed))
        return std::nullopt;
    m_text.truncate(m_used);
    return std::move(m_text);
}
