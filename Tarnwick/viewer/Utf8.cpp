#include "viewer/Utf8.h"

#include <QStringDecoder>

std::optional<QString> decodeUtf8Strictly(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

qsizetype utf8CompletePrefix(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    // Walk back over at most three continuation bytes to the lead byte of the last character.
    qsizetype lead = size;
    for (int back = 0; back < 4 && lead > 0; ++back) {
        --lead;
        const auto byte = static_cast<unsigned char>(bytes.at(lead));
        if ((byte & 0xC0) != 0x80) {
            const qsizetype needed = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            return size - lead >= needed ? size : lead;
        }
    }
    return size;
}
