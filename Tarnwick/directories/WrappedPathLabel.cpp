#include "WrappedPathLabel.h"

#include <QPainter>
#include <QTextLayout>

namespace {

// Lays `text` out at `width`; returns the height used and the number of lines.
QPair<qreal, int> layoutText(QTextLayout& layout, int width)
{
    qreal height = 0;
    int lines = 0;
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(qMax(1, width));
        line.setPosition(QPointF(0, height));
        height += line.height();
        ++lines;
    }
    layout.endLayout();
    return {height, lines};
}

} // namespace

WrappedPathLabel::WrappedPathLabel(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
{
    m_option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(text);
    setToolTip(text);
}

int WrappedPathLabel::lineCount(int width) const
{
    QTextLayout layout(m_text, font());
    layout.setTextOption(m_option);
    return layoutText(layout, width).second;
}

int WrappedPathLabel::heightForWidth(int width) const
{
    QTextLayout layout(m_text, font());
    layout.setTextOption(m_option);
    return qCeil(qMax<qreal>(layoutText(layout, width).first, fontMetrics().height()));
}

QSize WrappedPathLabel::sizeHint() const
{
    const int width = qMin(fontMetrics().horizontalAdvance(m_text) + 1, 400);
    return {width, heightForWidth(width)};
}

QSize WrappedPathLabel::minimumSizeHint() const
{
    return {fontMetrics().averageCharWidth() * 4, fontMetrics().height()};
}

void WrappedPathLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QTextLayout layout(m_text, font());
    layout.setTextOption(m_option);
    const qreal height = layoutText(layout, width()).first;
    // Centred vertically when the row is taller than the text (the button sets its height).
    layout.draw(&painter, QPointF(0, qMax<qreal>(0, (this->height() - height) / 2)));
}
