#pragma once

// How a text becomes numbered lines: split at every "\n" only (so "" is one empty line and a text
// ending in "\n" has a last, empty line), numbers right-aligned in a field as wide as the largest.

#include <QString>
#include <QStringList>

QStringList splitLines(const QString& text);

// Same count as splitLines(text).size(), without building the list.
qsizetype countLines(const QString& text);

// Decimal digits of `lineCount`: 1 for up to 9 lines, 2 for 10 to 99 ...
int lineNumberWidth(qsizetype lineCount);

// printf "%<width>d" of a 1-based line number.
QString formatLineNumber(qsizetype number, int width);

// The first `lines` lines of `text` without the line feed after them; all of `text` when it has no
// more. Also bounded to `maxChars` characters, cut after a whole line where there is one.
QString openingLines(const QString& text, qsizetype lines, qsizetype maxChars = 1 << 20);
