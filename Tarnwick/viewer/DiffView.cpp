#include "viewer/DiffView.h"

#include "viewer/DiffLineColor.h"

#include <QLabel>
#include <QStackedLayout>

QColor DiffTextView::lineColor(int, QStringView text) const
{
    // Tokens never start with "+", "-" or "@", so the shown line has the same kind as git's line.
    const QColor color = diffLineColor(text, palette());
    return color == palette().color(QPalette::Text) ? QColor() : color;
}

DiffView::DiffView(QWidget* parent)
    : QWidget(parent)
    , m_stack(new QStackedLayout(this))
    , m_emptyMessage(new QLabel(tr("No git changes detected"), this))
    , m_text(new DiffTextView(this))
{
    m_emptyMessage->setObjectName(QStringLiteral("emptyDiffMessage"));
    m_emptyMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_emptyMessage->setContentsMargins(12, 12, 12, 12);
    m_emptyMessage->setTextFormat(Qt::PlainText);
    QPalette secondary = m_emptyMessage->palette();
    secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
    m_emptyMessage->setPalette(secondary);
    m_text->setObjectName(QStringLiteral("diffText"));
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_emptyMessage);
    m_stack->addWidget(m_text);
    m_stack->setCurrentWidget(m_emptyMessage);
}

void DiffView::setDiff(const QString& diff)
{
    setDiff(diff, prepareText(diff, CrlfEnd::Mark));
}

void DiffView::setDiff(const QString& diff, PreparedText prepared)
{
    m_diff = diff;
    if (diff.isEmpty()) {
        m_text->showText(QString());
        m_stack->setCurrentWidget(m_emptyMessage);
        return;
    }
    m_text->showPrepared(std::move(prepared));
    m_stack->setCurrentWidget(m_text);
}

bool DiffView::isShowingEmptyMessage() const
{
    return m_stack->currentWidget() == m_emptyMessage;
}
