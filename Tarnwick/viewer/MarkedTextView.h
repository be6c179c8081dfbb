#pragma once

// A read-only, selectable, wrapping text pane that shows prepared text (see PreparedText) and draws
// the tokens of invisible characters highlighted. Per-line formatting is applied lazily, only to the
// lines about to be painted, so a document of any length costs nothing until it is scrolled to.

#include "viewer/InvisibleMarks.h"
#include "viewer/PreparedText.h"

#include <QColor>
#include <QList>
#include <QPlainTextEdit>
#include <QTextLayout>

#include <vector>

class MarkedTextView : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit MarkedTextView(QWidget* parent = nullptr);
    ~MarkedTextView() override;

    // Shows `prepared`, whose document must already live in this view's thread. `lineCountHint`: the
    // number of lines of the whole text when `prepared` holds only its opening lines.
    void showPrepared(PreparedText prepared, qsizetype lineCountHint = -1);
    // Prepares and shows `text` on the calling (UI) thread; for short texts.
    void showText(const QString& text);

    const std::vector<MarkSpan>& marks() const { return m_marks; }

    // Formats drawn on `line` (0-based): its colour when it has one, then its highlighted tokens.
    QList<QTextLayout::FormatRange> lineFormats(int line) const;

    // Foreground and background of a token.
    QTextCharFormat markFormat() const;

    // rows: 0-based display rows (blocks) to mark, ascending, duplicates removed.
    void setMarkedRows(std::vector<int> rows);
    const std::vector<int>& markedRows() const { return m_markedRows; }
    // Puts `row` in view (about a third from the top) and the cursor at its start.
    void scrollToRow(int row);
    // Moves to the next / previous marked row after / before the cursor's row; false when there is none.
    bool goToNextMarkedRow();
    bool goToPreviousMarkedRow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // The colour of a whole line; invalid for the default text colour.
    virtual QColor lineColor(const QTextBlock& block) const;
    // Called after a new document is shown (no blockCountChanged comes with a swapped document).
    virtual void documentReplaced() {}
    qsizetype lineCountHint() const { return m_lineCountHint; }

private:
    void decorateVisibleBlocks();
    void applyMarkedRows();
    void scrollToPendingRow();
    static void disposeOf(QTextDocument* document);

    std::vector<MarkSpan> m_marks;
    std::vector<int> m_markedRows;
    int m_pendingScrollRow = -1; // asked for while hidden, where the viewport has no height yet
    QTextDocument* m_ownedDocument = nullptr;
    qsizetype m_lineCountHint = 1;
    int m_decoration = 1; // a block's userState equals this once its formats are applied
};
