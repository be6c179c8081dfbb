#pragma once

#include "viewer/BoundedFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// git's object name for a blob holding the bytes of an opened regular file (SHA-1 for 40 hex
// digits, SHA-256 for 64), read in chunks so that size costs no memory; nullopt when the file cannot
// be read whole, changes size while read, or `bounds` stop the reading.
std::optional<QByteArray> gitBlobIdOfFile(const BoundedFile& file, int hexLength, const ReadBounds& bounds);

// The same for the file at `path`, never following a link.
std::optional<QByteArray> gitBlobIdOfFile(const QString& path, int hexLength, const ReadBounds& bounds);

// The same for bytes in memory (a symbolic link's target).
QByteArray gitBlobIdOfBytes(const QByteArray& bytes, int hexLength);
