#include "ui/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextDocument>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setFullText(text);
}

void ElidedLabel::setFullText(const QString& text)
{
    m_fullText = text;
    // Tooltips take text that looks like markup for rich text: a name such as "<b>x</b>" stays text.
    setToolTip(Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
    updateElision();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_fullText) + 2, QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    updateElision();
}

void ElidedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateElision();
}

void ElidedLabel::updateElision()
{
    const int available = contentsRect().width();
    const QString shown =
        available > 0 ? fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, available) : m_fullText;
    if (shown != text())
        setText(shown);
}
