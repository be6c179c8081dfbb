#include "viewer/ElidedPathLabel.h"

#include <QEvent>

ElidedPathLabel::ElidedPathLabel(const QString& path, QWidget* parent)
    : QLabel(parent)
    , m_fullText(path)
{
    setTextFormat(Qt::PlainText);
    setToolTip(path);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    updateElision();
}

QSize ElidedPathLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4, QLabel::minimumSizeHint().height()};
}

QSize ElidedPathLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_fullText) + 2, QLabel::sizeHint().height()};
}

void ElidedPathLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    updateElision();
}

void ElidedPathLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateElision();
}

void ElidedPathLabel::updateElision()
{
    setText(fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, std::max(contentsRect().width(), 1)));
}
