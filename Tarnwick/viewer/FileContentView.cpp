#include "viewer/FileContentView.h"

#include "viewer/TextLines.h"

#include <QEvent>
#include <QPainter>

FileContentView::FileContentView(QWidget* parent)
    : MarkedTextView(parent)
{
    gutter()->setObjectName(QStringLiteral("lineNumberGutter"));
    documentReplaced();
    updateGutterGeometry();
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
    // The inset before the number cell holds the bar of a marked row.
    return kMarkBarWidth + numberCellWidth() + kGutterGap;
}

void FileContentView::changeEvent(QEvent* event)
{
    MarkedTextView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateGutterGeometry();
}

void FileContentView::documentReplaced()
{
    m_numberWidth = ::lineNumberWidth(std::max<qsizetype>(lineCount(), lineCountHint()));
}

void FileContentView::paintGutterLine(QPainter& painter, int line, const QRectF& firstRow) const
{
    // The first visual row of a wrapped line carries the number.
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(QRectF(kMarkBarWidth, firstRow.top(), numberCellWidth(), firstRow.height()),
                     Qt::AlignRight | Qt::AlignVCenter, lineNumberText(line));
}
