#include "FindingsView.h"

#include "FindingRow.h"
#include "records/FindingListModel.h"
#include "records/Severity.h"
#include "ui/Divider.h"
#include "ui/SymbolIcons.h"
#include "ui/TextStyles.h"
#include "watcher/WatcherStatus.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int HeaderButtonSize = 26;

QToolButton* iconButton(const QString& symbol, const QString& accessibleName, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(symbolIcon(symbol));
    button->setProperty("symbol", symbol);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::TabFocus);
    // One size for every header button keeps the row steady whatever the icon theme draws.
    button->setFixedSize(HeaderButtonSize, HeaderButtonSize);
    return button;
}

QPixmap dot(const QColor& color)
{
    QPixmap pixmap(7, 7);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 7, 7));
    return pixmap;
}

bool isAlert(const Finding& finding)
{
    return ::isAlert(severityOf(finding.severity()));
}

bool isWarning(const Finding& finding)
{
    return severityOf(finding.severity()) == Severity::Warning;
}

} // namespace

FindingsView::FindingsView(FindingListModel* model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(divider(this));

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* content = new QWidget(m_scroll);
    m_listLayout = new QVBoxLayout(content);
    m_listLayout->setContentsMargins(0, 0, 0, 0);
    m_listLayout->setSpacing(0);
    m_scroll->setWidget(content);
    layout->addWidget(m_scroll, 1);
    m_footerDivider = divider(this);
    layout->addWidget(m_footerDivider);
    layout->addWidget(buildFooter());

    m_emptyState = new QLabel(content);
    m_emptyState->setFont(TextStyles::subheadline());
    m_emptyState->setAlignment(Qt::AlignCenter);
    m_emptyState->setWordWrap(true);
    TextStyles::makeSecondary(m_emptyState);

    WatcherStatus& status = WatcherStatus::shared();
    connect(&status, &WatcherStatus::isRunningChanged, this, &FindingsView::updateStatus);
    connect(&status, &WatcherStatus::isFailingChanged, this,
            [this] { updateStatus(WatcherStatus::shared().isRunning()); });
    updateStatus(status.isRunning());

    if (m_model) {
        connect(m_model.data(), &QAbstractItemModel::modelReset, this, &FindingsView::scheduleRebuild);
        connect(m_model.data(), &QAbstractItemModel::layoutChanged, this, &FindingsView::scheduleRebuild);
        connect(m_model.data(), &QAbstractItemModel::rowsInserted, this, &FindingsView::scheduleRebuild);
        connect(m_model.data(), &QAbstractItemModel::rowsRemoved, this, &FindingsView::scheduleRebuild);
        connect(m_model.data(), &QAbstractItemModel::rowsMoved, this, &FindingsView::scheduleRebuild);
        connect(m_model.data(), &QAbstractItemModel::dataChanged, this, &FindingsView::scheduleRebuild);
        connect(m_model.data(), &FindingListModel::ignoresChanged, this, &FindingsView::scheduleRebuild);
    }
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    undo->setContext(Qt::WidgetWithChildrenShortcut);
    connect(undo, &QShortcut::activated, this, &FindingsView::undoDismiss);
    rebuild();
}

QWidget* FindingsView::buildFooter()
{
    m_footer = new QWidget(this);
    auto* row = new QHBoxLayout(m_footer);
    row->setContentsMargins(12, 2, 8, 2);
    row->setSpacing(4);
    m_showIgnoredButton = new QToolButton(m_footer);
    m_showIgnoredButton->setObjectName(QStringLiteral("showIgnoredButton"));
    m_showIgnoredButton->setAutoRaise(true);
    m_showIgnoredButton->setCheckable(true);
    m_showIgnoredButton->setText(tr("Show ignored"));
    m_showIgnoredButton->setFont(TextStyles::caption2());
    m_showIgnoredButton->setFocusPolicy(Qt::TabFocus);
    connect(m_showIgnoredButton, &QToolButton::toggled, this, [this](bool on) {
        if (m_model)
            m_model->setIncludeIgnored(on);
        rebuild();
    });
    row->addWidget(m_showIgnoredButton);
    row->addStretch(1);
    m_undoText = new QLabel(tr("Finding dismissed"), m_footer);
    m_undoText->setFont(TextStyles::caption2());
    TextStyles::makeSecondary(m_undoText);
    row->addWidget(m_undoText);
    m_undoButton = new QToolButton(m_footer);
    m_undoButton->setObjectName(QStringLiteral("undoButton"));
    m_undoButton->setAutoRaise(true);
    m_undoButton->setText(tr("Undo"));
    m_undoButton->setFont(TextStyles::caption2());
    m_undoButton->setFocusPolicy(Qt::TabFocus);
    connect(m_undoButton, &QToolButton::clicked, this, &FindingsView::undoDismiss);
    row->addWidget(m_undoButton);
    return m_footer;
}

void FindingsView::updateFooter()
{
    // Out of sight until it has something to offer, so the panel looks as ever for most users.
    const bool anyIgnores = m_model && (!m_model->ignores().isEmpty() || m_model->includesIgnored());
    m_showIgnoredButton->setVisible(anyIgnores);
    m_undoText->setVisible(m_lastDismissed.has_value());
    m_undoButton->setVisible(m_lastDismissed.has_value());
    const bool shown = anyIgnores || m_lastDismissed.has_value();
    m_footer->setVisible(shown);
    m_footerDivider->setVisible(shown);
}

void FindingsView::dismiss(const Finding& finding)
{
    if (!m_model)
        return;
    const int index = int(m_order.indexOf(m_rows.value(finding.id())));
    if (std::optional<Finding> dismissed = m_model->dismiss(finding)) {
        m_lastDismissed = std::move(dismissed);
        // Keyboard users go on with the row that takes its place.
        m_refocusRow = index;
    }
    updateFooter();
}

void FindingsView::undoDismiss()
{
    if (!m_lastDismissed || !m_model)
        return;
    m_model->undoDismiss(*m_lastDismissed);
    m_lastDismissed.reset();
    updateFooter();
}

void FindingsView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_lastDismissed.reset();
    updateFooter();
}

QWidget* FindingsView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 8, 8, 8);
    row->setSpacing(4);

    auto* title = new QLabel(tr("Findings"), header);
    title->setFont(TextStyles::headline());
    row->addWidget(title);
    row->addStretch(1);

    auto* status = new QHBoxLayout;
    status->setSpacing(4);
    m_statusDot = new QLabel(header);
    m_statusDot->setFixedSize(7, 7);
    m_statusText = new QLabel(header);
    m_statusText->setFont(TextStyles::caption2());
    TextStyles::makeSecondary(m_statusText);
    status->addWidget(m_statusDot, 0, Qt::AlignVCenter);
    status->addWidget(m_statusText, 0, Qt::AlignVCenter);
    row->addLayout(status);
    row->addStretch(1);

    m_warningsButton = iconButton(QStringLiteral("exclamationmark.triangle"), tr("Show warnings"), header);
    m_warningsButton->setObjectName(QStringLiteral("warningsButton"));
    m_warningsButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_warningsButton->setFont(TextStyles::caption2());
    m_warningsButton->setMinimumWidth(HeaderButtonSize);
    m_warningsButton->setMaximumWidth(QWIDGETSIZE_MAX);
    connect(m_warningsButton, &QToolButton::clicked, this, [this] { setShowWarnings(!m_showWarnings); });
    row->addWidget(m_warningsButton);

    m_trashButton = iconButton(QStringLiteral("trash"), tr("Clear findings"), header);
    m_trashButton->setObjectName(QStringLiteral("trashButton"));
    connect(m_trashButton, &QToolButton::clicked, this, &FindingsView::clearRequested);
    row->addWidget(m_trashButton);

    m_folderButton = iconButton(QStringLiteral("folder"), tr("Watched Directories"), header);
    m_folderButton->setObjectName(QStringLiteral("folderButton"));
    connect(m_folderButton, &QToolButton::clicked, this, [this] {
        emit windowRequested();
        emit directoriesRequested();
    });
    row->addWidget(m_folderButton);

    m_powerButton = iconButton(QStringLiteral("power"), tr("Quit Tarnwick"), header);
    m_powerButton->setObjectName(QStringLiteral("powerButton"));
    connect(m_powerButton, &QToolButton::clicked, this, [] { QApplication::quit(); });
    row->addWidget(m_powerButton);
    return header;
}

void FindingsView::setShowWarnings(bool show)
{
    if (show == m_showWarnings) {
        return;
    }
    m_showWarnings = show;
    rebuild();
}

void FindingsView::updateStatus(bool running)
{
    // A watcher that keeps failing says so even in the moments between a restart and its next end.
    const bool failing = WatcherStatus::shared().isFailing();
    m_statusDot->setPixmap(dot(running && !failing ? TextStyles::green() : TextStyles::red()));
    if (failing)
        m_statusText->setText(tr("Watcher keeps stopping; restarting it"));
    else
        m_statusText->setText(running ? tr("Watcher running") : tr("Watcher stopped"));
}

void FindingsView::updateWarningsButton(int count)
{
    const QString symbol = m_showWarnings ? QStringLiteral("exclamationmark.triangle.fill")
                                          : QStringLiteral("exclamationmark.triangle");
    const QColor color = m_showWarnings ? TextStyles::yellow() : TextStyles::secondary(palette());
    m_warningsButton->setIcon(tintedSymbolIcon(symbol, color));
    m_warningsButton->setProperty("symbol", symbol);
    m_warningsButton->setText(count >= 1 ? QString::number(count) : QString());
    m_warningsButton->setToolButtonStyle(count >= 1 ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    QPalette pal = m_warningsButton->palette();
    pal.setColor(QPalette::ButtonText, color);
    m_warningsButton->setPalette(pal);
    const QString tip = m_showWarnings ? tr("Hide warnings") : tr("Show warnings");
    m_warningsButton->setToolTip(tip);
    m_warningsButton->setAccessibleName(tip);
}

void FindingsView::scheduleRebuild()
{
    // A save can announce several model changes at once; redraw the list once for all of them.
    if (m_rebuildPending) {
        return;
    }
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        m_rebuildPending = false;
        rebuild();
    });
}

void FindingsView::showEmptyState(const QString& text)
{
    m_emptyState->setText(text);
    m_listLayout->addStretch(1);
    m_listLayout->addWidget(m_emptyState);
    m_listLayout->addStretch(1);
    m_emptyState->show();
}

void FindingsView::rebuild()
{
    const FindingListModel* model = m_model;
    const QList<Finding> findings = model ? model->all() : QList<Finding>{};
    QList<Finding> alerts;
    QList<Finding> warnings;
    for (const Finding& finding : findings) {
        if (isAlert(finding)) {
            alerts.append(finding);
        } else if (isWarning(finding)) {
            warnings.append(finding);
        }
    }
    updateWarningsButton(static_cast<int>(findings.size()));

    // Take everything out of the layout; rows that stay are reinserted, not rebuilt.
    while (QLayoutItem* item = m_listLayout->takeAt(0)) {
        if (QWidget* widget = item->widget();
            widget && widget != m_emptyState && !qobject_cast<FindingRow*>(widget)) {
            widget->deleteLater(); // dividers
        }
        delete item;
    }
    m_emptyState->hide();

    const QList<Finding>& shown = m_showWarnings ? warnings : alerts;
    QHash<PersistentIdentifier, FindingRow*> kept;
    m_order.clear();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const Finding& finding : shown) {
        FindingRow* row = m_rows.take(finding.id());
        if (!row) {
            row = new FindingRow(finding, m_listLayout->parentWidget());
            connect(row, &FindingRow::openRequested, this, &FindingsView::findingOpenRequested);
            connect(row, &QAbstractButton::clicked, this, &FindingsView::windowRequested);
            connect(row, &FindingRow::dismissRequested, this, &FindingsView::dismiss);
            connect(row, &FindingRow::ignoreRequested, this, [this](const Finding& f, bool folder) {
                if (m_model)
                    m_model->ignore(f, folder);
            });
        }
        row->setIgnored(model && model->isIgnored(finding));
        row->refreshAge(now);
        auto* inset = new QHBoxLayout;
        inset->setContentsMargins(8, 2, 8, 2);
        inset->addWidget(row);
        m_listLayout->addLayout(inset);
        m_listLayout->addWidget(divider(m_listLayout->parentWidget()));
        row->show();
        kept.insert(finding.id(), row);
        m_order.append(row);
    }
    for (FindingRow* gone : std::as_const(m_rows)) {
        gone->deleteLater();
    }
    m_rows = std::move(kept);

    if (m_showWarnings) {
        if (warnings.isEmpty()) {
            showEmptyState(tr("No warnings"));
        }
    } else if (alerts.isEmpty()) {
        showEmptyState(warnings.isEmpty() ? tr("No findings yet") : tr("No findings (warnings hidden)"));
    }
    if (!m_order.isEmpty()) {
        m_listLayout->addStretch(1);
    }
    if (m_refocusRow >= 0 && !m_order.isEmpty() && !m_rows.isEmpty()) {
        m_order.at(std::min(m_refocusRow, int(m_order.size()) - 1))->setFocus(Qt::OtherFocusReason);
    }
    m_refocusRow = -1;
    updateFooter();
}

QList<FindingRow*> FindingsView::rows() const
{
    return m_order;
}

QString FindingsView::emptyStateText() const
{
    return m_emptyState->isHidden() ? QString() : m_emptyState->text();
}

QString FindingsView::statusText() const
{
    return m_statusText->text();
}

void FindingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The ages advance only when the panel is drawn anew.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (FindingRow* row : std::as_const(m_order)) {
        row->refreshAge(now);
    }
}
