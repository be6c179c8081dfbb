#pragma once

// A text made ready for a MarkedTextView away from the UI thread: invisible characters replaced by
// tokens, long lines cut, and the offset of every line found, so that the UI thread only takes over
// the result instead of scanning hundreds of thousands of lines.

#include "viewer/InvisibleMarks.h"

#include <QString>

#include <vector>

struct PreparedText
{
    QString text;                         // lines separated by "\n"
    std::vector<qsizetype> lineStarts{0}; // offset in `text` of each line's first character
    std::vector<MarkSpan> marks;          // in text order
    // Lines of the whole text when this holds only its opening lines, counted off the UI thread (or, for
    // a file still being read, estimated) so the gutter is sized for the whole from the start; 0 otherwise.
    qsizetype wholeLineCount = 0;

    qsizetype lineCount() const { return static_cast<qsizetype>(lineStarts.size()); }
    // Line `line` without its "\n".
    QStringView line(qsizetype line) const;
    // Offset of the end of `line` (its "\n", or the end of the text).
    qsizetype lineEnd(qsizetype line) const;
    // The line holding offset `position`.
    qsizetype lineAt(qsizetype position) const;
};

// Safe on any thread. `crlf`: whether the CR of a CRLF line end is shown (a diff) or dropped.
PreparedText prepareText(const QString& text, CrlfEnd crlf = CrlfEnd::Drop);

// Space above the first and below the last line, and beside the text.
inline constexpr int kTextMargin = 8;
