#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Strict UTF-8: invalid sequences, overlong forms and encoded surrogates give no value. A leading
// byte order mark is kept as U+FEFF, like every other stored character.
std::optional<QString> decodeUtf8Strictly(const QByteArray& bytes);

// Length of the longest prefix of `bytes` that does not end inside a multi-byte character.
qsizetype utf8CompletePrefix(const QByteArray& bytes);
