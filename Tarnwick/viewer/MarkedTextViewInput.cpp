// What the reader does with a MarkedTextView: the cursor, selection and copy, keyboard and mouse, and
// moving between marked rows.

#include "viewer/MarkedTextView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLine>
#include <QWheelEvent>

#include <algorithm>
#include <iterator>

int MarkedTextView::cursorLine() const
{
    return static_cast<int>(m_doc.lineAt(m_cursor));
}

void MarkedTextView::setSelection(qsizetype anchor, qsizetype cursor)
{
    const qsizetype size = m_doc.text.size();
    m_anchor = std::clamp<qsizetype>(anchor, 0, size);
    m_cursor = std::clamp<qsizetype>(cursor, 0, size);
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent selection(this, static_cast<int>(std::min(m_anchor, m_cursor)),
                                                static_cast<int>(std::max(m_anchor, m_cursor)));
        selection.setCursorPosition(static_cast<int>(m_cursor));
        QAccessible::updateAccessibility(&selection);
    }
}

QString MarkedTextView::selectedText() const
{
    const qsizetype from = std::min(m_anchor, m_cursor);
    return m_doc.text.sliced(from, std::max(m_anchor, m_cursor) - from);
}

void MarkedTextView::selectAll()
{
    setSelection(0, m_doc.text.size());
}

void MarkedTextView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void MarkedTextView::updateSelectionClipboard() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void MarkedTextView::setMarkedRows(std::vector<int> rows)
{
    // Drawing and the moves look rows up by bisection: any list given is made a valid one.
    std::erase_if(rows, [this](int row) { return row < 0 || row >= lineCount(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    m_markedRows = std::move(rows);
    viewport()->update();
    gutter()->update();
}

bool MarkedTextView::goToNextMarkedRow()
{
    const auto next = std::upper_bound(m_markedRows.begin(), m_markedRows.end(), cursorLine());
    if (next == m_markedRows.end())
        return false;
    scrollToRow(*next);
    return true;
}

bool MarkedTextView::goToPreviousMarkedRow()
{
    const auto next = std::lower_bound(m_markedRows.begin(), m_markedRows.end(), cursorLine());
    if (next == m_markedRows.begin())
        return false;
    scrollToRow(*std::prev(next));
    return true;
}

qsizetype MarkedTextView::positionAt(const QPointF& point) const
{
    if (lineCount() == 0)
        return 0;
    qsizetype found = -1;
    qsizetype lastEnd = m_doc.lineEnd(m_top.line);
    bool above = true;
    forEachVisibleLine([&](int line, qreal y, QTextLayout* layout) {
        lastEnd = m_doc.lineEnd(line);
        if (found >= 0 || point.y() >= y + layout->boundingRect().height()) {
            above = false;
            return;
        }
        const qsizetype start = m_doc.lineStarts[static_cast<size_t>(line)];
        const int first = line == m_top.line ? m_top.row : 0;
        for (int i = first; i < layout->lineCount(); ++i) {
            const QTextLine row = layout->lineAt(i);
            if (point.y() < y + row.y() + row.height() || i + 1 == layout->lineCount()) {
                found = start + row.xToCursor(point.x() - kTextMargin);
                return;
            }
        }
    });
    if (found >= 0)
        return found;
    return above ? m_doc.lineStarts[static_cast<size_t>(m_top.line)] : lastEnd;
}

void MarkedTextView::moveCursor(qsizetype position, bool select)
{
    setSelection(select ? m_anchor : position, position);
    ensureVisible(m_cursor);
}

qsizetype MarkedTextView::rowMoved(int rows) const
{
    // Up and down by wrapped rows, keeping the column the move started in.
    const RowPos from = rowOf(m_cursor);
    const qsizetype start = m_doc.lineStarts[static_cast<size_t>(from.line)];
    QTextLayout* layout = layoutFor(from.line);
    const qreal x =
        m_desiredX >= 0 ? m_desiredX : layout->lineAt(from.row).cursorToX(static_cast<int>(m_cursor - start));
    RowPos to = from;
    for (; rows > 0; --rows) {
        if (to.row + 1 < rowCount(to.line))
            ++to.row;
        else if (to.line + 1 < lineCount())
            to = {to.line + 1, 0};
        else
            return m_doc.text.size();
    }
    for (; rows < 0; ++rows) {
        if (to.row > 0)
            --to.row;
        else if (to.line > 0)
            to = {to.line - 1, rowCount(to.line - 1) - 1};
        else
            return 0;
    }
    const QTextLine row = layoutFor(to.line)->lineAt(to.row);
    return m_doc.lineStarts[static_cast<size_t>(to.line)] + row.xToCursor(x);
}

void MarkedTextView::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    enum class Move {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        Down,
        Up,
        PageDown,
        PageUp,
        RowStart,
        RowEnd,
        Start,
        End
    };
    struct Binding
    {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Move what;
    };
    static constexpr Binding bindings[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::PreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::PreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::Down},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::Up},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::PageDown},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PageUp},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::RowStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::RowEnd},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::Start},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::End},
    };
    const auto binding = std::find_if(std::begin(bindings), std::end(bindings), [event](const Binding& b) {
        return event->matches(b.move) || event->matches(b.select);
    });
    if (binding == std::end(bindings) || lineCount() == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool select = event->matches(binding->select);
    const int line = cursorLine();
    const qsizetype start = m_doc.lineStarts[static_cast<size_t>(line)];
    const int column = static_cast<int>(m_cursor - start);
    QTextLayout* layout = layoutFor(line);
    const int pageRows = std::max(1, verticalScrollBar()->pageStep() - 1);
    const bool vertical = binding->what == Move::Down || binding->what == Move::Up ||
                          binding->what == Move::PageDown || binding->what == Move::PageUp;
    if (vertical && m_desiredX < 0) {
        const QTextLine row = layout->lineForTextPosition(column);
        m_desiredX = row.isValid() ? row.cursorToX(column) : 0;
    }
    qsizetype to = m_cursor;
    switch (binding->what) {
    case Move::NextChar:
        to = column < layout->text().size() ? start + layout->nextCursorPosition(column) : m_cursor + 1;
        break;
    case Move::PreviousChar:
        to = column > 0 ? start + layout->previousCursorPosition(column) : m_cursor - 1;
        break;
    case Move::NextWord:
        to = column < layout->text().size()
                 ? start + layout->nextCursorPosition(column, QTextLayout::SkipWords)
                 : m_cursor + 1;
        break;
    case Move::PreviousWord:
        to = column > 0 ? start + layout->previousCursorPosition(column, QTextLayout::SkipWords)
                        : m_cursor - 1;
        break;
    case Move::Down:
        to = rowMoved(1);
        break;
    case Move::Up:
        to = rowMoved(-1);
        break;
    case Move::PageDown:
        to = rowMoved(pageRows);
        scrollByRows(pageRows);
        break;
    case Move::PageUp:
        to = rowMoved(-pageRows);
        scrollByRows(-pageRows);
        break;
    case Move::RowStart:
    case Move::RowEnd: {
        const QTextLine row = layout->lineForTextPosition(column);
        if (!row.isValid())
            break;
        to = start + (binding->what == Move::RowStart ? row.textStart() : row.textStart() + row.textLength());
        // The end of a wrapped row is the start of the next one, where the cursor would be drawn: stay
        // before the break instead.
        if (binding->what == Move::RowEnd && row.lineNumber() + 1 < layout->lineCount() && to > start)
            --to;
        break;
    }
    case Move::Start:
        to = 0;
        break;
    case Move::End:
        to = m_doc.text.size();
        break;
    }
    if (!vertical)
        m_desiredX = -1;
    moveCursor(std::clamp<qsizetype>(to, 0, m_doc.text.size()), select);
    event->accept();
}

void MarkedTextView::wheelEvent(QWheelEvent* event)
{
    // Angle in eighths of a degree, 120 a notch; a notch scrolls the platform's number of rows.
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / 120;
    if (notches != 0) {
        m_wheelRemainder -= notches * 120;
        scrollByRows(-notches * QApplication::wheelScrollLines());
    }
    event->accept();
}

void MarkedTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qsizetype at = positionAt(event->position());
    setSelection(event->modifiers() & Qt::ShiftModifier ? m_anchor : at, at);
    m_desiredX = -1;
    m_dragging = true;
}

void MarkedTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    // Dragging past the top or bottom edge scrolls, one row per move.
    if (event->position().y() < 0)
        scrollByRows(-1);
    else if (event->position().y() > viewport()->height())
        scrollByRows(1);
    setSelection(m_anchor, positionAt(event->position()));
}

void MarkedTextView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        updateSelectionClipboard();
    }
}

void MarkedTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || lineCount() == 0)
        return;
    // Selects the word under the pointer.
    const qsizetype at = positionAt(event->position());
    const int line = static_cast<int>(m_doc.lineAt(at));
    const qsizetype start = m_doc.lineStarts[static_cast<size_t>(line)];
    const QString text = m_doc.line(line).toString();
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(at - start);
    const qsizetype begin = words.isAtBoundary() ? words.position() : words.toPreviousBoundary();
    words.setPosition(at - start);
    const qsizetype end = words.toNextBoundary();
    if (begin >= 0 && end >= 0)
        setSelection(start + begin, start + end);
    updateSelectionClipboard();
}

void MarkedTextView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("Copy"), this, &MarkedTextView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.addAction(tr("Select All"), this, &MarkedTextView::selectAll)->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

void MarkedTextView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void MarkedTextView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
