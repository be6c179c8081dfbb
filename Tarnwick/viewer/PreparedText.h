#pragma once

// A text made ready for a MarkedTextView away from the UI thread: invisible characters replaced by
// tokens, and the text document with its plain-text layout already built, so that the UI thread only
// swaps documents instead of splitting hundreds of thousands of lines.

#include "viewer/InvisibleMarks.h"

#include <QFont>
#include <QString>

#include <memory>
#include <vector>

class QTextDocument;
class QThread;

struct PreparedText
{
    PreparedText();
    ~PreparedText();
    PreparedText(PreparedText&&) noexcept;
    PreparedText& operator=(PreparedText&&) noexcept;

    std::unique_ptr<QTextDocument> document; // no parent; lives in the thread given to prepareText
    std::vector<MarkSpan> marks;
};

// Safe on any thread. `font` is the view's font; `target` the thread of the view that will show it.
PreparedText prepareText(const QString& text, const QFont& font, QThread* target,
                         CrlfEnd crlf = CrlfEnd::Drop);

// Space above the first and below the last line, and beside the text.
inline constexpr int kTextMargin = 8;
