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
    // A stateful decoder holds back a character that the end of `bytes` cuts in two. What it did
    // decode, encoded again, is the whole-character prefix: valid UTF-8 round-trips byte for byte.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return bytes.size(); // not UTF-8 anyway; strict decoding says so
    return text.toUtf8().size();
}
