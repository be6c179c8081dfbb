#pragma once

// Reads the file a finding names, as UTF-8 text, for the File tab. Safe to call on any thread.

#include "viewer/BoundedFile.h"

#include <QString>

#include <functional>

// What the viewer shows for a file it cannot read or decode. The dash is U+2014.
QString fileReadFailureText();

// A file larger than this shows only its start: the viewer keeps the text in memory as UTF-16 (and once
// more where tokens replace invisible characters), so 64 MiB stays well within a desktop's memory and still
// shows whole any file a person would read.
inline constexpr qint64 kFileContentLimit = 64 * 1024 * 1024;

struct FileContent
{
    QString text; // the file's text, unchanged; or fileReadFailureText()
    bool readFailed = false;
    bool truncated = false;  // only the first `limit` bytes (up to the last whole line) were read
    qint64 fileSize = 0;     // bytes on disk when the file was opened
    qsizetype lineCount = 1; // lines of `text` split at "\n", counted while reading
};

// Reading and decoding tens of megabytes takes a few times longer than reading them: a file larger than
// this has the whole lines of its first this many bytes decoded and handed over while the rest is read.
inline constexpr qint64 kFileOpeningBytes = 256 * 1024;

struct FileOpening
{
    QString text;           // lines split at "\n", without the line feed after the last
    qsizetype lineEstimate; // lines the whole text would have at the opening's bytes per line
};

// Called at most once, on the reading thread, before the rest of the file is read; not called when the
// opening bytes hold no line feed or are not UTF-8. The text that follows may still fail as a whole.
using FileOpeningSink = std::function<void(FileOpening)>;

// Reads a regular file (following symbolic links) without blocking on FIFOs or devices. A file whose
// bytes are not valid UTF-8 fails as a whole; a file larger than `limit` is cut after its last line
// feed within the limit (or, for one giant line, at the last whole character). Reading stopped by
// `bounds` fails.
FileContent readFileContent(const QString& path, qint64 limit = kFileContentLimit,
                            const ReadBounds& bounds = {});
// The same for a path given as its exact bytes (a name that is not UTF-8 has no QString that opens it),
// handing the opening of a long file to `opening` first when given.
FileContent readFileContent(const QByteArray& nativePath, qint64 limit = kFileContentLimit,
                            const ReadBounds& bounds = {}, const FileOpeningSink& opening = {});

// The text only: the file's text or the read-failure text.
QString loadFileContent(const QString& path);
