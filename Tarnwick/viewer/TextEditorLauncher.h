#pragma once

// Opening a finding's file for the user to read: always as text, with the application the user chose
// for text/plain (the freedesktop mimeapps.list and desktop entries), never through the file's own
// type. A flagged .desktop file, script or program handed to the desktop's opener would run; handed
// to a text editor as an argument, it is only shown.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct TextEditorCommand
{
    QString desktopFile; // the entry it comes from
    QString program;     // absolute
    QStringList arguments;
};

// The command that opens the file at `nativePath` (absolute) in the user's text editor, or nullopt
// when no usable text/plain handler is set up. The first usable entry wins: the defaults of
// mimeapps.list, then its added associations, then the installed entries listed in mimeinfo.cache.
// `pathPassable` is false when the name cannot reach another program unchanged.
std::optional<TextEditorCommand> textEditorCommand(const QByteArray& nativePath,
                                                   bool* pathPassable = nullptr);

// The Exec value of a desktop entry (after its string escapes) split into arguments with the field
// codes filled in; empty when it is malformed. `file` is the path for %f / %F, `url` for %u / %U.
QStringList expandDesktopExec(const QString& exec, const QString& file, const QString& url,
                              const QString& name, const QString& icon, const QString& entryPath);

enum class OpenAsTextResult { Started, NoTextEditor, NameNotPassable, StartFailed };

// Starts the text editor on the file, detached, with no shell between.
OpenAsTextResult openAsText(const QByteArray& nativePath, QString* editor = nullptr);
