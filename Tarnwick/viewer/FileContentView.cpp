#include "viewer/FileContentView.h"

#include "viewer/TextLines.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>

class LineNumberGutter : public QWidget
{
public:
    explicit LineNumberGutter(FileContentView* view)
        : QWidget(view)
        , m_view(view)
    {
    }

    QSize sizeHint() const override { return {m_view->gutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { m_view->paintGutter(event); }

private:
    FileContentView* m_view;
};

namespace {

constexpr int kGutterInset = 4; // before the number cell, like the text's own margin

} // namespace

FileContentView::FileContentView(QWidget* parent)
    : MarkedTextView(parent)
    , m_gutter(new LineNumberGutter(this))
{
    m_gutter->setObjectName(QStringLiteral("lineNumberGutter"));
    connect(this, &QPlainTextEdit::blockCountChanged, this, &FileContentView::updateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &FileContentView::updateGutter);
    updateGutterWidth();
}

int FileContentView::lineCount() const
{
    return document()->blockCount();
}

QString FileContentView::lineNumberText(int index) const
{
    return formatLineNumber(index + 1, m_numberWidth);
}

int FileContentView::numberCellWidth() const
{
    const int digits = fontMetrics().horizontalAdvance(QString(m_numberWidth, QLatin1Char('9')));
    return std::max(kMinimumNumberCellWidth, digits);
}

int FileContentView::gutterWidth() const
{
    return kGutterInset + numberCellWidth() + kGutterGap;
}

QWidget* FileContentView::gutter() const
{
    return m_gutter;
}

void FileContentView::updateGutterWidth()
{
    m_numberWidth = ::lineNumberWidth(std::max<qsizetype>(lineCount(), lineCountHint()));
    // The document's own margin already separates text from the gutter; the gap is counted once.
    setViewportMargins(gutterWidth() - kTextMargin, 0, 0, 0);
    m_gutter->update();
}

void FileContentView::updateGutter(const QRect& rect, int dy)
{
    if (dy != 0)
        m_gutter->scroll(0, dy);
    else
        m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
}

void FileContentView::resizeEvent(QResizeEvent* event)
{
    MarkedTextView::resizeEvent(event);
    const QRect area = contentsRect();
    m_gutter->setGeometry(QRect(area.left(), area.top(), gutterWidth() - kTextMargin, area.height()));
}

void FileContentView::changeEvent(QEvent* event)
{
    MarkedTextView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateGutterWidth();
}

void FileContentView::documentReplaced()
{
    updateGutterWidth();
    const QRect area = contentsRect();
    m_gutter->setGeometry(QRect(area.left(), area.top(), gutterWidth() - kTextMargin, area.height()));
}

void FileContentView::paintGutter(QPaintEvent* event)
{
    QPainter painter(m_gutter);
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int cellLeft = kGutterInset;
    const int cellWidth = numberCellWidth();
    const int lineHeight = fontMetrics().height();

    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= event->rect().top()) {
            // The first visual line of a wrapped line carries the number.
            painter.drawText(QRectF(cellLeft, top, cellWidth, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
                             lineNumberText(block.blockNumber()));
        }
        top += height;
        block = block.next();
    }
}
