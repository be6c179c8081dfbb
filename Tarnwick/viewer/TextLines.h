#pragma once

// How a text becomes numbered lines: split at every "\n" only (so "" is one empty line and a text
// ending in "\n" has a last, empty line), numbers right-aligned in a field as wide as the largest.

#include <QString>
#include <QStringList>

#include <vector>

// How many lines splitting `text` at every "\n" gives, without building them.
qsizetype countLines(const QString& text);

// Decimal digits of `lineCount`: 1 for up to 9 lines, 2 for 10 to 99 ...
int lineNumberWidth(qsizetype lineCount);

// printf "%<width>d" of a 1-based line number.
QString formatLineNumber(qsizetype number, int width);

// The first `lines` lines of `text` without the line feed after them; all of `text` when it has no
// more. Also bounded to `maxChars` characters, cut after a whole line where there is one.
QString openingLines(const QString& text, qsizetype lines, qsizetype maxChars = 1 << 20);

// Laying out a line costs time in its length, on the UI thread, and a file can be one line of tens of
// megabytes: the views show at most this many UTF-16 units of a line, then a note.
inline constexpr qsizetype kMaxShownLineLength = 4000;

struct LineCut
{
    qsizetype line = 0;       // 0-based
    qsizetype fullLength = 0; // UTF-16 units of the whole line
};

struct CutText
{
    QString text; // every line at most `maxLength` units (never in the middle of a surrogate pair)
    std::vector<LineCut> cuts;
};

// `text` with its long lines cut; shared, not copied, when no line is long.
CutText cutLongLines(const QString& text, qsizetype maxLength = kMaxShownLineLength);

// Shown after the part of a cut line: "  ⟪line cut: 16777216 characters, the first 10000 shown⟫".
QString lineCutNote(qsizetype fullLength, qsizetype maxLength = kMaxShownLineLength);
