#include "viewer/MarkedTextView.h"

#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThreadPool>

#include <algorithm>
#include <utility>

MarkedTextView::MarkedTextView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    document()->setDocumentMargin(kTextMargin);
}

MarkedTextView::~MarkedTextView() = default;

void MarkedTextView::disposeOf(QTextDocument* document)
{
    if (!document)
        return;
    // Tearing down a document of hundreds of thousands of lines takes a while: do it off the UI thread.
    document->setParent(nullptr);
    document->moveToThread(nullptr);
    QThreadPool::globalInstance()->start([document] { delete document; });
}

void MarkedTextView::showPrepared(PreparedText prepared, qsizetype lineCountHint)
{
    QTextDocument* document = prepared.document.release();
    if (!document)
        return;
    document->setParent(this);
    m_marks = std::move(prepared.marks);
    m_lineCountHint = std::max<qsizetype>(lineCountHint, document->blockCount());
    ++m_decoration;
    QTextDocument* previous = m_ownedDocument;
    // The whole document replacing its opening lines keeps the reader where they were.
    const int topLine = previous ? verticalScrollBar()->value() : 0;
    setDocument(document);
    m_ownedDocument = document;
    if (topLine > 0)
        verticalScrollBar()->setValue(topLine);
    disposeOf(previous);
    applyMarkedRows();
    documentReplaced();
    viewport()->update();
}

void MarkedTextView::showText(const QString& text)
{
    showPrepared(prepareText(text, font(), thread()));
}

QTextCharFormat MarkedTextView::markFormat() const
{
    // Amber with black text reads as "look here" on light and dark themes alike.
    QTextCharFormat format;
    format.setBackground(QColor(0xFF, 0xC1, 0x07));
    format.setForeground(QColor(Qt::black));
    return format;
}

QColor MarkedTextView::lineColor(const QTextBlock&) const
{
    return {};
}

QList<QTextLayout::FormatRange> MarkedTextView::lineFormats(int line) const
{
    QList<QTextLayout::FormatRange> formats;
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid())
        return formats;
    if (const QColor color = lineColor(block); color.isValid()) {
        QTextCharFormat format;
        format.setForeground(color);
        formats.append({0, block.length(), format});
    }
    const auto first = std::lower_bound(m_marks.begin(), m_marks.end(), line,
                                        [](const MarkSpan& m, qsizetype l) { return m.line < l; });
    const QTextCharFormat mark = markFormat();
    for (auto it = first; it != m_marks.end() && it->line == line; ++it)
        formats.append({static_cast<int>(it->column), static_cast<int>(it->length), mark});
    return formats;
}

void MarkedTextView::decorateVisibleBlocks()
{
    const QPointF offset = contentOffset();
    const qreal bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (block.userState() != m_decoration) {
            const QList<QTextLayout::FormatRange> formats = lineFormats(block.blockNumber());
            // Formats drop the block's line layout; it is laid out again when measured below.
            if (!formats.isEmpty() || !block.layout()->formats().isEmpty())
                block.layout()->setFormats(formats);
            block.setUserState(m_decoration);
        }
        if (blockBoundingGeometry(block).translated(offset).top() > bottom)
            break;
    }
}

void MarkedTextView::paintEvent(QPaintEvent* event)
{
    decorateVisibleBlocks();
    QPlainTextEdit::paintEvent(event);
}

void MarkedTextView::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        ++m_decoration;
        viewport()->update();
    }
}

void MarkedTextView::setMarkedRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [](int row) { return row < 0; });
    m_markedRows = std::move(rows);
    applyMarkedRows();
}

void MarkedTextView::applyMarkedRows()
{
    // A whole-width tint, so the row stands out even where it is blank or wraps.
    QColor tint = markFormat().background().color();
    tint.setAlpha(70);
    QList<QTextEdit::ExtraSelection> selections;
    for (int row : m_markedRows) {
        const QTextBlock block = document()->findBlockByNumber(row);
        if (!block.isValid())
            break; // rows past the opening lines come with the whole document
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(block);
        selection.format.setBackground(tint);
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        selections.append(selection);
    }
    setExtraSelections(selections);
}

void MarkedTextView::scrollToRow(int row)
{
    const QTextBlock block = document()->findBlockByNumber(row);
    if (!block.isValid())
        return;
    setTextCursor(QTextCursor(block));
    m_pendingScrollRow = isVisible() ? -1 : row;
    // The scroll bar counts visual lines of the plain-text layout.
    const int lineHeight = std::max(1, fontMetrics().lineSpacing());
    const int visibleLines = viewport()->height() / lineHeight;
    verticalScrollBar()->setValue(std::max(0, block.firstLineNumber() - visibleLines / 3));
}

bool MarkedTextView::goToNextMarkedRow()
{
    const int current = textCursor().blockNumber();
    const auto next = std::upper_bound(m_markedRows.begin(), m_markedRows.end(), current);
    if (next == m_markedRows.end() || !document()->findBlockByNumber(*next).isValid())
        return false;
    scrollToRow(*next);
    return true;
}

bool MarkedTextView::goToPreviousMarkedRow()
{
    const int current = textCursor().blockNumber();
    const auto after = std::lower_bound(m_markedRows.begin(), m_markedRows.end(), current);
    if (after == m_markedRows.begin())
        return false;
    scrollToRow(*std::prev(after));
    return true;
}

void MarkedTextView::scrollToPendingRow()
{
    if (m_pendingScrollRow >= 0 && isVisible() && viewport()->height() > 0)
        scrollToRow(std::exchange(m_pendingScrollRow, -1));
}

void MarkedTextView::showEvent(QShowEvent* event)
{
    QPlainTextEdit::showEvent(event);
    scrollToPendingRow();
}

void MarkedTextView::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    scrollToPendingRow();
}
