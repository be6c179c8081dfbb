#include "IgnoreListView.h"

#include "WrappedPathLabel.h"
#include "records/ModelContainer.h"
#include "records/VisibleName.h"
#include "ui/Divider.h"
#include "ui/SymbolIcons.h"
#include "ui/TextStyles.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int MaxListHeight = 150;

} // namespace

IgnoreListView::IgnoreListView(ModelContainer* container, QWidget* parent)
    : QWidget(parent)
    , m_container(container)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(0);
    layout->addWidget(divider(this));
    auto* title = new QLabel(tr("Ignored rules"), this);
    title->setFont(TextStyles::subheadline());
    title->setContentsMargins(12, 8, 12, 4);
    layout->addWidget(title);
    // Many ignores scroll within the section rather than push the directories out of the window.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMaximumHeight(MaxListHeight);
    auto* list = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(list);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(list);
    layout->addWidget(scroll);

    if (container)
        connect(container, &ModelContainer::storeChanged, this, &IgnoreListView::scheduleRefresh);
    refresh();
}

QString IgnoreListView::textFor(const RuleIgnore& ignore)
{
    QString path = ignore.path();
    if (ignore.isFolder() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return tr("%1 \u2014 %2").arg(visibleName(ignore.ruleName()), visibleName(path));
}

void IgnoreListView::scheduleRefresh()
{
    // A save announces each change; read the few ignores once for all of them.
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        refresh();
    });
}

void IgnoreListView::refresh()
{
    if (!m_container) {
        hide();
        return;
    }
    const std::optional<QList<RuleIgnore>> ignores = m_container->mainContext().fetchIgnores();
    if (!ignores || *ignores == m_ignores) {
        setVisible(!m_ignores.isEmpty());
        return;
    }
    m_ignores = *ignores;
    for (QWidget* row : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(row);
        row->deleteLater();
    }
    m_rows.clear();
    m_removeButtons.clear();
    for (const RuleIgnore& ignore : std::as_const(m_ignores)) {
        auto* row = new QWidget(m_rowsLayout->parentWidget());
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(12, 2, 8, 2);
        auto* text = new WrappedPathLabel(textFor(ignore), row);
        rowLayout->addWidget(text, 1);
        auto* remove = new QToolButton(row);
        remove->setAutoRaise(true);
        remove->setIcon(symbolIcon(QStringLiteral("trash")));
        remove->setProperty("symbol", QStringLiteral("trash"));
        remove->setAccessibleName(tr("Stop ignoring %1").arg(textFor(ignore)));
        remove->setToolTip(tr("Stop ignoring"));
        connect(remove, &QToolButton::clicked, this, [this, ignore] {
            if (m_container)
                m_container->mainContext().removeIgnore(ignore);
        });
        rowLayout->addWidget(remove, 0, Qt::AlignVCenter);
        m_rowsLayout->insertWidget(int(m_rows.size()), row);
        m_rows.append(row);
        m_removeButtons.append(remove);
    }
    setVisible(!m_ignores.isEmpty());
}

QStringList IgnoreListView::listedTexts() const
{
    QStringList texts;
    for (const RuleIgnore& ignore : m_ignores)
        texts.append(textFor(ignore));
    return texts;
}

QToolButton* IgnoreListView::removeButton(int row) const
{
    return row >= 0 && row < m_removeButtons.size() ? m_removeButtons.at(row) : nullptr;
}
