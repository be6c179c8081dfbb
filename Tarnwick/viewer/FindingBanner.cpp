#include "viewer/FindingBanner.h"

#include "records/Severity.h"
#include "ui/ElidedLabel.h"
#include "ui/SymbolIcons.h"
#include "ui/TextStyles.h"
#include "viewer/InvisibleMarks.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString visibleText(const QString& text)
{
    return makeDisplayText(text).text.replace(QLatin1Char('\n'), invisibleMarkToken(U'\n'));
}

QColor severityColor(const QString& severity)
{
    return isAlert(severityOf(severity)) ? TextStyles::red() : TextStyles::yellow();
}

QToolButton* stepButton(const QString& symbol, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(symbolIcon(symbol));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

} // namespace

QString FindingBanner::severityText(const QString& severity)
{
    switch (severityOf(severity)) {
    case Severity::Critical:
        return tr("⛔ Critical");
    case Severity::High:
        return tr("❗ High");
    case Severity::Warning:
        return tr("⚠️ Warning");
    case Severity::Other:
        break;
    }
    return (QStringLiteral("⚠️ ") + visibleText(severity)).trimmed();
}

FindingBanner::FindingBanner(const QString& severity, const QString& ruleName, const QString& description,
                             QWidget* parent)
    : QFrame(parent)
    , m_severity(new QLabel(severityText(severity), this))
    , m_rule(new ElidedLabel(visibleText(ruleName), this))
    , m_description(new QLabel(visibleText(description), this))
    , m_previous(stepButton(QStringLiteral("chevron.up"), tr("Previous match (Shift+F3)"), this))
    , m_next(stepButton(QStringLiteral("chevron.down"), tr("Next match (F3)"), this))
{
    setObjectName(QStringLiteral("findingBanner"));
    // A stripe in the severity's colour on a faint tint of it, as the panel marks alerts and warnings.
    const QColor color = severityColor(severity);
    QColor tint = color;
    tint.setAlpha(40);
    setStyleSheet(QStringLiteral("#findingBanner { background: %1; border-left: 4px solid %2; }")
                      .arg(tint.name(QColor::HexArgb), color.name(QColor::HexRgb)));

    m_severity->setObjectName(QStringLiteral("bannerSeverity"));
    m_severity->setTextFormat(Qt::PlainText);
    QFont strong = font();
    strong.setBold(true);
    m_severity->setFont(strong);
    m_rule->setObjectName(QStringLiteral("bannerRule"));
    m_rule->setFont(strong);
    m_rule->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_description->setObjectName(QStringLiteral("bannerDescription"));
    m_description->setTextFormat(Qt::PlainText);
    m_description->setWordWrap(true);
    m_description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (description.isEmpty())
        m_description->hide();
    m_previous->setObjectName(QStringLiteral("previousMatch"));
    m_next->setObjectName(QStringLiteral("nextMatch"));
    connect(m_previous, &QToolButton::clicked, this, &FindingBanner::previousRequested);
    connect(m_next, &QToolButton::clicked, this, &FindingBanner::nextRequested);

    auto* firstLine = new QHBoxLayout;
    firstLine->setContentsMargins(0, 0, 0, 0);
    firstLine->setSpacing(10);
    firstLine->addWidget(m_severity);
    firstLine->addWidget(m_rule, 1);
    firstLine->addWidget(m_previous);
    firstLine->addWidget(m_next);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 6, 12, 6);
    column->setSpacing(2);
    column->addLayout(firstLine);
    column->addWidget(m_description);
    setMatchButtonsVisible(false);
    setAccessibleName(m_severity->text() + QLatin1Char(' ') + m_rule->fullText());
    setAccessibleDescription(m_description->text());
}

void FindingBanner::setMatchButtonsVisible(bool visible)
{
    m_previous->setVisible(visible);
    m_next->setVisible(visible);
}
