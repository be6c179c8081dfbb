#pragma once

#include <QByteArrayView>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

// One decoded line of the watcher's standard output: a rule matched on a file.
struct WatchEvent
{
    QString path;      // the file the match concerns, as the watcher names it
    QStringList types; // the kinds of change, in the watcher's order; may be empty
    QString rule;      // name of the rule that matched
    QString severity;  // "critical", "high", "warning" or anything else, compared exactly
    // The path's exact bytes when they are not UTF-8 (`path` then holds U+FFFD in their place); empty
    // otherwise.
    QByteArray pathBytes;
    QString description{}; // what the rule looks for, in words; empty when the line has none
    QList<int> lines{};    // 1-based, ascending, at most MaxLines; empty when the match has no line

    static constexpr int MaxLines = 16;

    friend bool operator==(const WatchEvent&, const WatchEvent&) = default;
};

Q_DECLARE_METATYPE(WatchEvent)

// Decodes one line (without its line feed) into an event. The line must be one JSON object holding
// exactly the keys "path", "rule", "severity" (strings) and "types" (an array of strings), spelled
// with this case; a missing key, null or another JSON type rejects the whole line. Other keys are
// ignored, key order and JSON white space are free. An optional "pathBytes" (base64 of the path's exact
// bytes, sent for a name that is not UTF-8) is kept when it is sound and differs from the UTF-8 of
// "path"; one that is not (bad base64, a NUL byte) is left out, keeping the event under "path".
// Optional "description" (a string) and "lines" (up to 16 strictly ascending integers from 1) explain
// the match; one that is not sound is left out and the event still decodes: a finding must never be
// lost over its explanation.
// Returns nullopt for anything else.
std::optional<WatchEvent> decodeWatchEvent(QByteArrayView line);
