#pragma once

// A read-only, selectable, wrapping text pane for documents of any length. It keeps the prepared text
// (one string and the offset of every line, see PreparedText) and lays out only the lines on screen,
// one QTextLayout each, so a file of half a million lines costs its text and nothing per line. It draws
// the tokens of invisible characters highlighted, rows marked as matches (in the gutter and as the
// line's background), and a gutter beside the text that subclasses fill (line numbers).
//
// The vertical scroll bar counts lines; the top line may be scrolled inside by its wrapped rows, so a
// line taller than the pane is still read to its end.

#include "viewer/InvisibleMarks.h"
#include "viewer/PreparedText.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QList>
#include <QTextLayout>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class MarkedTextView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit MarkedTextView(QWidget* parent = nullptr);
    ~MarkedTextView() override;

    // Shows `prepared`, which may hold only the opening lines of a text (see its wholeLineCount).
    void showPrepared(PreparedText prepared);
    // Prepares and shows `text` on the calling (UI) thread; for short texts.
    void showText(const QString& text);

    // The shown text: lines separated by "\n", tokens in place of invisible characters.
    const QString& toPlainText() const { return m_doc.text; }
    int lineCount() const { return static_cast<int>(m_doc.lineCount()); }
    QString lineText(int line) const;
    const std::vector<MarkSpan>& marks() const { return m_doc.marks; }

    // Formats drawn on `line` (0-based): its colour when it has one, then its highlighted tokens.
    QList<QTextLayout::FormatRange> lineFormats(int line) const;
    // Foreground and background of a token.
    QTextCharFormat markFormat() const;

    // Cursor and selection, as offsets into toPlainText(); the selection runs between the two.
    qsizetype cursorPosition() const { return m_cursor; }
    qsizetype anchorPosition() const { return m_anchor; }
    int cursorLine() const;
    void setSelection(qsizetype anchor, qsizetype cursor);
    bool hasSelection() const { return m_anchor != m_cursor; }
    QString selectedText() const;
    void selectAll();
    void copy() const;

    // rows: 0-based display rows to mark, ascending, duplicates removed (a list that is not is sorted,
    // merged, and rid of rows the text does not have).
    void setMarkedRows(std::vector<int> rows);
    const std::vector<int>& markedRows() const { return m_markedRows; }
    // Puts `row` in view (about a third from the top) and the cursor at its start.
    void scrollToRow(int row);
    // Moves to the next / previous marked row after / before the cursor's row; false when there is none.
    bool goToNextMarkedRow();
    bool goToPreviousMarkedRow();

    // The first line drawn, and where `line` is drawn in viewport coordinates (empty when off screen).
    int topLine() const { return m_top.line; }
    QRectF lineRect(int line) const;
    // Lines whose layout is held; only about a screenful.
    int laidOutLineCount() const { return static_cast<int>(m_layouts.size()); }
    // Wrapped rows of `line` at the current width.
    int rowCount(int line) const;
    // The text offset under a point of the viewport, and the rectangle of the character at an offset
    // (empty when off screen); for assistive technology and the mouse.
    qsizetype positionAt(const QPointF& point) const;
    QRectF characterRect(qsizetype position) const;
    // Scrolls as little as needed to show the row holding `position`.
    void ensureVisible(qsizetype position);

    QWidget* gutter() const;
    // Width from the view's left edge to the start of the text.
    virtual int gutterWidth() const;

    static constexpr int kMarkBarWidth = 4;

protected:
    // The colour of a whole line; invalid for the default text colour.
    virtual QColor lineColor(int line, QStringView text) const;
    // Draws the gutter's part of `line`, whose first row is at `firstRow` in gutter coordinates.
    virtual void paintGutterLine(QPainter& painter, int line, const QRectF& firstRow) const;
    // Called after a new text is shown, before the gutter is sized for it.
    virtual void documentReplaced() {}
    // Lines of the whole text, also while only its opening lines are shown.
    qsizetype lineCountHint() const { return m_lineCountHint; }
    void updateGutterGeometry();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class MarkedTextGutter;

    // A wrapped row of a line.
    struct RowPos
    {
        int line = 0;
        int row = 0;
        friend auto operator<=>(const RowPos&, const RowPos&) = default;
    };

    QTextLayout* layoutFor(int line) const;
    void dropLayouts();
    void pruneLayouts() const;
    qreal textWidth() const;
    qreal rowHeight() const;
    qreal topInset() const;
    // Calls `visit(line, top)` for each line on screen, top in viewport coordinates.
    void forEachVisibleLine(const std::function<void(int line, qreal top, QTextLayout* layout)>& visit) const;

    void setTop(RowPos top);
    void scrollByRows(int rows);
    void updateScrollRange();
    // The top that puts `target` `offset` pixels below the viewport's top.
    RowPos topPlacing(RowPos target, qreal offset) const;
    RowPos rowOf(qsizetype position) const;

    void moveCursor(qsizetype position, bool select);
    qsizetype rowMoved(int rows) const;
    void paintGutter(QPaintEvent* event);
    void updateSelectionClipboard() const;

    PreparedText m_doc;
    qsizetype m_lineCountHint = 1;
    std::vector<int> m_markedRows;
    int m_pendingScrollRow = -1; // placed once the pane is shown
    qsizetype m_cursor = 0;
    qsizetype m_anchor = 0;
    qreal m_desiredX = -1; // kept while moving up and down
    RowPos m_top;
    RowPos m_maxTop;
    int m_wheelRemainder = 0;
    bool m_dragging = false;
    QWidget* m_gutter = nullptr;
    mutable std::unordered_map<int, std::unique_ptr<QTextLayout>> m_layouts;
};
