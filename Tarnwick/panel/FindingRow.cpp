#include "FindingRow.h"

#include "RelativeAge.h"
#include "records/Severity.h"
#include "records/VisibleName.h"
#include "ui/ElidedLabel.h"
#include "ui/TextStyles.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    // The row is the button: clicks on any label belong to it.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

QString FindingRow::severityMarker(const QString& severity)
{
    switch (severityOf(severity)) {
    case Severity::Critical:
        return QCoreApplication::translate("FindingRow", "⛔CRITICAL:");
    case Severity::High:
        return QCoreApplication::translate("FindingRow", "❗");
    case Severity::Warning:
    case Severity::Other:
        break;
    }
    return QCoreApplication::translate("FindingRow", "⚠️");
}

FindingRow::FindingRow(const Finding& finding, QWidget* parent)
    : QAbstractButton(parent)
    , m_finding(finding)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_marker = makeLabel(severityMarker(finding.severity()), font(), this);
    QFont ruleFont = TextStyles::subheadline();
    ruleFont.setWeight(QFont::Medium);
    m_rule = makeLabel(visibleName(finding.ruleName()), ruleFont, this);
    m_rule->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_rule->setMinimumWidth(40);
    m_age = makeLabel(QString(), TextStyles::caption2(), this);
    TextStyles::makeSecondary(m_age);
    m_ignoredMark = makeLabel(tr("Ignored"), TextStyles::caption2(), this);
    TextStyles::makeSecondary(m_ignoredMark);
    // Kept apart from the age, so that the two never read as one phrase.
    m_ignoredMark->setContentsMargins(0, 0, 10, 0);
    m_ignoredMark->hide();
    m_path = new ElidedLabel(visibleName(finding.path()), this);
    m_path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_path->setFont(TextStyles::caption());
    m_path->setAttribute(Qt::WA_TransparentForMouseEvents);
    TextStyles::makeSecondary(m_path);

    auto* firstLine = new QHBoxLayout;
    firstLine->setContentsMargins(0, 0, 0, 0);
    firstLine->addWidget(m_marker, 0, Qt::AlignVCenter);
    firstLine->addWidget(m_rule, 1, Qt::AlignVCenter);
    firstLine->addWidget(m_ignoredMark, 0, Qt::AlignVCenter);
    firstLine->addWidget(m_age, 0, Qt::AlignVCenter | Qt::AlignRight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 2, 0, 2);
    column->setSpacing(2);
    column->addLayout(firstLine);
    column->addWidget(m_path);

    setAccessibleName(QStringLiteral("%1 %2").arg(m_marker->text(), finding.ruleName()));
    // The description comes from a rule file: shown as plain text on one line, like any name.
    const QString description = visibleName(finding.description());
    if (description.isEmpty()) {
        setAccessibleDescription(visibleName(finding.path()));
    } else {
        setToolTip(Qt::convertFromPlainText(description, Qt::WhiteSpaceNormal));
        setAccessibleDescription(QStringLiteral("%1\n%2").arg(description, visibleName(finding.path())));
    }
    refreshAge();
    connect(this, &QAbstractButton::clicked, this, &FindingRow::open);

    m_dismiss = new QAction(tr("Dismiss"), this);
    m_dismiss->setShortcut(QKeySequence::Delete);
    m_dismiss->setShortcutContext(Qt::WidgetShortcut);
    connect(m_dismiss, &QAction::triggered, this, [this] { emit dismissRequested(m_finding); });
    m_ignoreFile = new QAction(tr("Ignore this rule for this file"), this);
    connect(m_ignoreFile, &QAction::triggered, this, [this] { emit ignoreRequested(m_finding, false); });
    m_ignoreFolder = new QAction(tr("Ignore this rule in this folder"), this);
    connect(m_ignoreFolder, &QAction::triggered, this, [this] { emit ignoreRequested(m_finding, true); });
    addActions({m_dismiss, m_ignoreFile, m_ignoreFolder});
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void FindingRow::refreshAge(const QDateTime& now)
{
    m_age->setText(formatRelativeAge(m_finding.timestamp(), now));
}

QString FindingRow::markerText() const
{
    return m_marker->text();
}

QString FindingRow::ruleText() const
{
    return m_rule->text();
}

QString FindingRow::ageText() const
{
    return m_age->text();
}

QString FindingRow::pathText() const
{
    return m_path->text();
}

void FindingRow::paintEvent(QPaintEvent*)
{
    // Plain style: no bezel, background, hover or selection highlight; the labels draw the content.
    // Only keyboard focus is shown, so that Delete never acts on a row the user cannot see.
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void FindingRow::setIgnored(bool ignored)
{
    m_ignoredMark->setVisible(ignored);
}

bool FindingRow::isIgnored() const
{
    return !m_ignoredMark->isHidden();
}

void FindingRow::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Backspace) {
        emit dismissRequested(m_finding);
        return;
    }
    // Up and down walk the list, as in any list.
    if (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) {
        focusNextPrevChild(event->key() == Qt::Key_Down);
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void FindingRow::open()
{
    emit openRequested(m_finding);
}
