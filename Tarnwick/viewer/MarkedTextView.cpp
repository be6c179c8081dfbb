#include "viewer/MarkedTextView.h"

#include "viewer/MarkedTextAccessible.h"

#include <QEvent>
#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextLine>

#include <algorithm>
#include <cmath>
#include <utility>

class MarkedTextGutter : public QWidget
{
public:
    explicit MarkedTextGutter(MarkedTextView* view)
        : QWidget(view)
        , m_view(view)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override { m_view->paintGutter(event); }

private:
    MarkedTextView* m_view;
};

namespace {

// Amber, as the tokens: "look here" on light and dark themes alike.
QColor markedRowBar()
{
    return QColor(0xFF, 0xC1, 0x07);
}

QColor markedRowBackground()
{
    return QColor(0xFF, 0xC1, 0x07, 0x48);
}

} // namespace

MarkedTextView::MarkedTextView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_gutter(new MarkedTextGutter(this))
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    m_gutter->setObjectName(QStringLiteral("gutter"));
    installMarkedTextAccessibility();
    verticalScrollBar()->setSingleStep(1);
    updateGutterGeometry();
}

MarkedTextView::~MarkedTextView() = default;

void MarkedTextView::showPrepared(PreparedText prepared)
{
    // The whole text replacing its opening lines keeps the reader where they were.
    const RowPos top = m_top;
    m_doc = std::move(prepared);
    m_lineCountHint = std::max(m_doc.wholeLineCount, m_doc.lineCount());
    m_cursor = std::min(m_cursor, m_doc.text.size());
    m_anchor = std::min(m_anchor, m_doc.text.size());
    std::erase_if(m_markedRows, [this](int row) { return row >= lineCount(); });
    m_desiredX = -1;
    dropLayouts();
    documentReplaced();
    updateGutterGeometry();
    updateScrollRange();
    setTop({std::min(top.line, lineCount() - 1), 0});
    viewport()->update();
}

void MarkedTextView::showText(const QString& text)
{
    m_top = {};
    setSelection(0, 0);
    showPrepared(prepareText(text));
}

QString MarkedTextView::lineText(int line) const
{
    if (line < 0 || line >= lineCount())
        return {};
    return m_doc.line(line).toString();
}

QTextCharFormat MarkedTextView::markFormat() const
{
    QTextCharFormat format;
    format.setBackground(markedRowBar());
    format.setForeground(QColor(Qt::black));
    return format;
}

QColor MarkedTextView::lineColor(int, QStringView) const
{
    return {};
}

void MarkedTextView::paintGutterLine(QPainter&, int, const QRectF&) const {}

QList<QTextLayout::FormatRange> MarkedTextView::lineFormats(int line) const
{
    QList<QTextLayout::FormatRange> formats;
    if (line < 0 || line >= lineCount())
        return formats;
    const QStringView text = m_doc.line(line);
    if (const QColor color = lineColor(line, text); color.isValid()) {
        QTextCharFormat format;
        format.setForeground(color);
        formats.append({0, static_cast<int>(text.size()), format});
    }
    const auto first = std::lower_bound(m_doc.marks.begin(), m_doc.marks.end(), line,
                                        [](const MarkSpan& m, qsizetype l) { return m.line < l; });
    const QTextCharFormat mark = markFormat();
    for (auto it = first; it != m_doc.marks.end() && it->line == line; ++it)
        formats.append({static_cast<int>(it->column), static_cast<int>(it->length), mark});
    return formats;
}

QWidget* MarkedTextView::gutter() const
{
    return m_gutter;
}

int MarkedTextView::gutterWidth() const
{
    return kMarkBarWidth + kTextMargin;
}

void MarkedTextView::updateGutterGeometry()
{
    // The text keeps its own margin after the gutter.
    const int width = gutterWidth() - kTextMargin;
    setViewportMargins(width, 0, 0, 0);
    const QRect area = contentsRect();
    m_gutter->setGeometry(QRect(area.left(), area.top(), width, area.height()));
    m_gutter->update();
}

qreal MarkedTextView::textWidth() const
{
    return std::max(1, viewport()->width() - 2 * kTextMargin);
}

qreal MarkedTextView::rowHeight() const
{
    return fontMetrics().height();
}

qreal MarkedTextView::topInset() const
{
    return m_top == RowPos{} ? kTextMargin : 0;
}

QTextLayout* MarkedTextView::layoutFor(int line) const
{
    auto& slot = m_layouts[line];
    if (slot)
        return slot.get();
    slot = std::make_unique<QTextLayout>(m_doc.line(line).toString(), font(), viewport());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    slot->setTextOption(option);
    slot->setFormats(lineFormats(line));
    slot->setCacheEnabled(true);
    slot->beginLayout();
    qreal y = 0;
    for (QTextLine row = slot->createLine(); row.isValid(); row = slot->createLine()) {
        row.setLineWidth(textWidth());
        row.setPosition(QPointF(0, y));
        y += row.height();
    }
    slot->endLayout();
    return slot.get();
}

void MarkedTextView::dropLayouts()
{
    m_layouts.clear();
}

void MarkedTextView::pruneLayouts() const
{
    // Keeps what is on screen and a margin around it, so scrolling by a few rows lays out nothing again.
    const int pageLines = static_cast<int>(viewport()->height() / rowHeight()) + 1;
    if (static_cast<int>(m_layouts.size()) <= 4 * pageLines + 16)
        return;
    std::erase_if(m_layouts, [&](const auto& entry) {
        return entry.first < m_top.line - pageLines || entry.first > m_top.line + 2 * pageLines;
    });
}

int MarkedTextView::rowCount(int line) const
{
    return std::max(1, layoutFor(line)->lineCount());
}

void MarkedTextView::forEachVisibleLine(
    const std::function<void(int line, qreal top, QTextLayout* layout)>& visit) const
{
    if (lineCount() == 0)
        return;
    const qreal bottom = viewport()->height();
    QTextLayout* first = layoutFor(m_top.line);
    qreal y = topInset() - first->lineAt(std::min(m_top.row, rowCount(m_top.line) - 1)).y();
    for (int line = m_top.line; line < lineCount() && y < bottom; ++line) {
        QTextLayout* layout = layoutFor(line);
        visit(line, y, layout);
        y += layout->boundingRect().height();
    }
}

QRectF MarkedTextView::lineRect(int line) const
{
    QRectF rect;
    forEachVisibleLine([&](int l, qreal y, QTextLayout* layout) {
        if (l == line)
            rect = QRectF(kTextMargin, y, textWidth(), layout->boundingRect().height());
    });
    return rect;
}

void MarkedTextView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const qsizetype selStart = std::min(m_anchor, m_cursor);
    const qsizetype selEnd = std::max(m_anchor, m_cursor);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const bool showCursor = hasFocus();
    forEachVisibleLine([&](int line, qreal y, QTextLayout* layout) {
        const qreal height = layout->boundingRect().height();
        if (std::binary_search(m_markedRows.begin(), m_markedRows.end(), line))
            painter.fillRect(QRectF(0, y, viewport()->width(), height), markedRowBackground());
        const qsizetype start = m_doc.lineStarts[static_cast<size_t>(line)];
        const qsizetype end = m_doc.lineEnd(line);
        QList<QTextLayout::FormatRange> selections;
        if (selStart < selEnd && selStart <= end && selEnd > start) {
            const qsizetype from = std::max(selStart, start) - start;
            const qsizetype to = std::min(selEnd, end) - start;
            if (to > from)
                selections.append({static_cast<int>(from), static_cast<int>(to - from), selected});
        }
        const QPointF origin(kTextMargin, y);
        layout->draw(&painter, origin, selections);
        if (showCursor && m_cursor >= start && m_cursor <= end)
            layout->drawCursor(&painter, origin, static_cast<int>(m_cursor - start));
    });
    pruneLayouts();
}

void MarkedTextView::paintGutter(QPaintEvent* event)
{
    QPainter painter(m_gutter);
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const qreal offset = viewport()->geometry().top() - m_gutter->geometry().top();
    forEachVisibleLine([&](int line, qreal y, QTextLayout* layout) {
        const qreal top = y + offset;
        if (std::binary_search(m_markedRows.begin(), m_markedRows.end(), line))
            painter.fillRect(QRectF(0, top, kMarkBarWidth, layout->boundingRect().height()), markedRowBar());
        paintGutterLine(painter, line, QRectF(0, top, m_gutter->width(), layout->lineAt(0).height()));
    });
}

void MarkedTextView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateGutterGeometry();
}

bool MarkedTextView::viewportEvent(QEvent* event)
{
    // The viewport changes size with the view and with the gutter: rows wrap anew at its width.
    if (event->type() == QEvent::Resize) {
        if (static_cast<QResizeEvent*>(event)->oldSize().width() != viewport()->width())
            dropLayouts();
        updateScrollRange();
        setTop(m_top);
        if (m_pendingScrollRow >= 0 && isVisible() && viewport()->height() > 0)
            scrollToRow(std::exchange(m_pendingScrollRow, -1));
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void MarkedTextView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        dropLayouts();
        updateGutterGeometry();
        updateScrollRange();
        setTop(m_top);
        viewport()->update();
        break;
    default:
        break;
    }
}

void MarkedTextView::updateScrollRange()
{
    // The last top that still fills the pane: walk up from the end by one pane's height.
    qreal room = viewport()->height() - kTextMargin;
    RowPos top;
    for (int line = lineCount() - 1; line >= 0; --line) {
        QTextLayout* layout = layoutFor(line);
        const qreal height = layout->boundingRect().height();
        if (height <= room) {
            room -= height;
            continue;
        }
        // Only the last rows of this line fit; at least one row of the last line stays in view.
        const int rows = rowCount(line);
        int row = rows;
        while (row > 0 && height - layout->lineAt(row - 1).y() <= room)
            --row;
        if (row == rows)
            top = line == lineCount() - 1 ? RowPos{line, rows - 1} : RowPos{line + 1, 0};
        else
            top = {line, row};
        break;
    }
    m_maxTop = top;
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker block(bar);
    bar->setRange(0, m_maxTop.line);
    bar->setPageStep(std::max(1, static_cast<int>(viewport()->height() / rowHeight())));
    bar->setValue(m_top.line);
}

void MarkedTextView::setTop(RowPos top)
{
    top = std::clamp(top, RowPos{}, m_maxTop);
    if (lineCount() > 0)
        top.row = std::min(top.row, rowCount(top.line) - 1);
    if (top != m_top) {
        m_top = top;
        viewport()->update();
        m_gutter->update();
    }
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(m_top.line);
}

void MarkedTextView::scrollContentsBy(int, int)
{
    // The scroll bar moved: its value is the top line.
    const int line = verticalScrollBar()->value();
    if (line != m_top.line)
        setTop({line, 0});
}

void MarkedTextView::scrollByRows(int rows)
{
    RowPos top = m_top;
    while (rows > 0 && top < m_maxTop) {
        const int count = rowCount(top.line);
        if (top.row + rows < count) {
            top.row += rows;
            rows = 0;
        } else {
            rows -= count - top.row;
            top = {top.line + 1, 0};
        }
    }
    while (rows < 0 && top > RowPos{}) {
        if (top.row + rows >= 0) {
            top.row += rows;
            rows = 0;
        } else {
            rows += top.row + 1;
            top = {top.line - 1, rowCount(top.line - 1) - 1};
        }
    }
    setTop(top);
}

MarkedTextView::RowPos MarkedTextView::topPlacing(RowPos target, qreal offset) const
{
    RowPos top = target;
    qreal room = offset;
    const qreal height = rowHeight();
    while (room >= height && top > RowPos{}) {
        top = top.row > 0 ? RowPos{top.line, top.row - 1} : RowPos{top.line - 1, rowCount(top.line - 1) - 1};
        room -= height;
    }
    return top;
}

MarkedTextView::RowPos MarkedTextView::rowOf(qsizetype position) const
{
    const int line = static_cast<int>(m_doc.lineAt(position));
    const int column = static_cast<int>(position - m_doc.lineStarts[static_cast<size_t>(line)]);
    const QTextLine row = layoutFor(line)->lineForTextPosition(column);
    return {line, row.isValid() ? row.lineNumber() : 0};
}

QRectF MarkedTextView::characterRect(qsizetype position) const
{
    if (position < 0 || position > m_doc.text.size())
        return {};
    const int target = static_cast<int>(m_doc.lineAt(position));
    const auto column = static_cast<int>(position - m_doc.lineStarts[static_cast<size_t>(target)]);
    QRectF rect;
    forEachVisibleLine([&](int line, qreal y, QTextLayout* layout) {
        if (line != target)
            return;
        const QTextLine row = layout->lineForTextPosition(column);
        if (!row.isValid())
            return;
        const qreal left = row.cursorToX(column);
        const qreal right = column < layout->text().size() ? row.cursorToX(column + 1) : left + 1;
        rect = QRectF(kTextMargin + left, y + row.y(), std::max<qreal>(1, right - left), row.height());
    });
    return rect;
}

void MarkedTextView::ensureVisible(qsizetype position)
{
    const RowPos cursor = rowOf(position);
    if (cursor < m_top) {
        setTop(cursor);
        return;
    }
    const qreal bottom = viewport()->height();
    const qreal height = rowHeight();
    // Rows from the top to the cursor, counted only as far as one pane.
    qreal y = topInset();
    for (RowPos at = m_top; at < cursor && y < bottom;) {
        y += height;
        at = at.row + 1 < rowCount(at.line) ? RowPos{at.line, at.row + 1} : RowPos{at.line + 1, 0};
    }
    if (y + height > bottom)
        setTop(topPlacing(cursor, bottom - height));
}

void MarkedTextView::scrollToRow(int row)
{
    if (row < 0 || row >= lineCount())
        return;
    const qsizetype start = m_doc.lineStarts[static_cast<size_t>(row)];
    setSelection(start, start);
    // A pane not yet shown has no height to place the row in: it is placed again once it has one.
    m_pendingScrollRow = isVisible() && viewport()->height() > 0 ? -1 : row;
    setTop(topPlacing({row, 0}, viewport()->height() / 3.0));
}
