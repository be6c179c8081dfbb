#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Strict UTF-8: invalid sequences, overlong forms and encoded surrogates give no value. A leading
// byte order mark is kept as U+FEFF, like every other stored character.
std::optional<QString> decodeUtf8Strictly(const QByteArray& bytes);

// Strict UTF-8 decoded piece by piece as a file is read, so that the bytes of a large file are never
// all held beside their text. A character cut by the end of a piece waits for the next piece.
class Utf8Stream
{
public:
    explicit Utf8Stream(qsizetype expectedBytes);

    void feed(QByteArrayView bytes);
    // The text, or no value when a piece was not UTF-8. The bytes of a character cut by the end of the
    // input are dropped when `cutEndAllowed`, and are an error otherwise.
    std::optional<QString> finish(bool cutEndAllowed);

private:
    void decode(QByteArrayView bytes);

    QString m_text; // m_used units decoded, the rest room for more
    qsizetype m_used = 0;
    QByteArray m_pending; // the start of a character cut by the end of the last piece
    bool m_failed = false;
};
