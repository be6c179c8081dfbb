#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>

// git's object name for a blob holding the bytes of the regular file at `path` (SHA-1 for 40 hex
// digits, SHA-256 for 64), read in chunks so that size costs no memory; nullopt when the file cannot
// be read or `cancelled` is set.
std::optional<QByteArray> gitBlobIdOfFile(const QString& path, int hexLength,
                                          const std::atomic<bool>* cancelled = nullptr);

// The same for bytes in memory (a symbolic link's target).
QByteArray gitBlobIdOfBytes(const QByteArray& bytes, int hexLength);
