#include "DirectoryView.h"

#include "IgnoreListView.h"
#include "StartAtLoginSwitch.h"
#include "WrappedPathLabel.h"
#include "desktop/ActivationPolicy.h"
#include "records/DirectoryListModel.h"
#include "records/ModelContainer.h"
#include "records/VisibleName.h"
#include "ui/Divider.h"
#include "ui/SymbolIcons.h"
#include "ui/TextStyles.h"
#include "watcher/Notifier.h"
#include "watcher/WatcherStatus.h"
#include "watcher/WatcherSupervisor.h"

#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// The one diagnostic line the application writes: the answer to a permission request.
void printLine(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

DirectoryView::DirectoryView(ModelContainer* container, Notifier* notifier, QWidget* parent)
    : QWidget(parent)
    , m_container(container)
    , m_notifier(notifier)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_permissionRow = new QWidget(this);
    auto* permission = new QHBoxLayout(m_permissionRow);
    permission->setContentsMargins(0, 8, 0, 0);
    m_allowButton = new QPushButton(tr("Allow notifications"), m_permissionRow);
    connect(m_allowButton, &QPushButton::clicked, this, &DirectoryView::requestPermission);
    permission->addStretch(1);
    permission->addWidget(m_allowButton);
    permission->addStretch(1);
    m_permissionRow->hide();
    layout->addWidget(m_permissionRow);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 10, 12, 10);
    auto* title = new QLabel(tr("Watched Directories"), this);
    title->setFont(TextStyles::headline());
    header->addWidget(title);
    header->addStretch(1);
    m_addButton = new QToolButton(this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_addButton->setAutoRaise(true);
    m_addButton->setFixedSize(26, 26);
    m_addButton->setIcon(symbolIcon(QStringLiteral("plus")));
    m_addButton->setProperty("symbol", QStringLiteral("plus"));
    m_addButton->setAccessibleName(tr("Add Directory"));
    connect(m_addButton, &QToolButton::clicked, this, &DirectoryView::addDirectory);
    header->addWidget(m_addButton);
    layout->addLayout(header);
    layout->addWidget(divider(this));

    m_stack = new QStackedWidget(this);
    auto* empty = new QWidget(m_stack);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setSpacing(10);
    auto* emptyIcon = new QLabel(empty);
    emptyIcon->setPixmap(
        tintedSymbolIcon(QStringLiteral("folder.badge.questionmark"), TextStyles::secondary(palette()))
            .pixmap(36, 36));
    emptyIcon->setAlignment(Qt::AlignCenter);
    auto* emptyText =
        new QLabel(tr("Add a directory to start monitoring\nfor malicious file changes"), empty);
    emptyText->setObjectName(QStringLiteral("emptyStateText"));
    emptyText->setFont(TextStyles::subheadline());
    emptyText->setAlignment(Qt::AlignCenter);
    TextStyles::makeSecondary(emptyText);
    emptyLayout->addStretch(1);
    emptyLayout->addWidget(emptyIcon);
    emptyLayout->addWidget(emptyText);
    emptyLayout->addStretch(1);
    m_stack->addWidget(empty);

    auto* scroll = new QScrollArea(m_stack);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* list = new QWidget(scroll);
    list->setBackgroundRole(QPalette::Base);
    list->setAutoFillBackground(true);
    m_rowsLayout = new QVBoxLayout(list);
    m_rowsLayout->setContentsMargins(0, 4, 0, 4);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(list);
    m_stack->addWidget(scroll);
    layout->addWidget(m_stack, 1);
    m_ignoreList = new IgnoreListView(container, this);
    layout->addWidget(m_ignoreList);

    // Set up here because protection only counts while the application runs.
    layout->addWidget(divider(this));
    m_startAtLogin = new StartAtLoginSwitch(this);
    layout->addWidget(m_startAtLogin);

    m_model = new DirectoryListModel(container, this);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &DirectoryView::rebuildRows);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &DirectoryView::rebuildRows);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &DirectoryView::rebuildRows);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DirectoryView::rebuildRows);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &DirectoryView::rebuildRows);
    rebuildRows();
}

DirectoryView::~DirectoryView() = default;

void DirectoryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    checkPermission();
    if (!m_shownOnce) {
        m_shownOnce = true;
        pushConfiguration();
    }
}

void DirectoryView::addDirectory()
{
    ActivationPolicyController::bringToFront(window());
    // A fresh chooser for each add; the window stays usable while it is open.
    auto* dialog = new QFileDialog(window(), tr("Choose a directory to watch"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setWindowModality(Qt::NonModal);
    connect(dialog, &QFileDialog::finished, this, &DirectoryView::chooserFinished);
    m_dialog = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void DirectoryView::chooserFinished(int result)
{
    QFileDialog* dialog = qobject_cast<QFileDialog*>(sender());
    if (!dialog || result != QDialog::Accepted || !m_container) {
        return;
    }
    const QList<QUrl> urls = dialog->selectedUrls();
    if (urls.isEmpty() || !urls.first().isValid() || urls.first().isEmpty()) {
        return;
    }
    Directory directory(urls.first());
    m_container->mainContext().insert(directory);
    m_startAtLogin->directoryAdded();
}

void DirectoryView::removeDirectory(const Directory& directory)
{
    if (m_container) {
        m_container->mainContext().remove(directory);
    }
}

void DirectoryView::rebuildRows()
{
    const QList<Directory> directories = m_model->all();
    for (QWidget* row : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(row);
        row->deleteLater();
    }
    m_rows.clear();
    m_removeButtons.clear();

    QWidget* list = m_rowsLayout->parentWidget();
    int index = 0;
    for (const Directory& directory : directories) {
        auto* row = new QWidget(list);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(12, 4, 8, 4);
        // Long paths wrap onto as many lines as they need; the remove button stays at the right end.
        auto* text = new QVBoxLayout;
        text->setSpacing(2);
        text->addWidget(new WrappedPathLabel(visibleName(directory.path()), row));
        if (!isSendablePath(directory.path())) {
            auto* note = new QLabel(tr("Not watched: the folder's name contains a line break, which the "
                                       "watcher cannot be given. Rename the folder and add it again."),
                                    row);
            note->setObjectName(QStringLiteral("unwatchableNote"));
            note->setTextFormat(Qt::PlainText);
            note->setWordWrap(true);
            text->addWidget(note);
        }
        rowLayout->addLayout(text, 1);
        auto* remove = new QToolButton(row);
        remove->setAutoRaise(true);
        remove->setIcon(symbolIcon(QStringLiteral("trash")));
        remove->setProperty("symbol", QStringLiteral("trash"));
        remove->setAccessibleName(tr("Remove %1").arg(visibleName(directory.path())));
        connect(remove, &QToolButton::clicked, this, [this, directory] { removeDirectory(directory); });
        rowLayout->addWidget(remove, 0, Qt::AlignVCenter);
        m_rowsLayout->insertWidget(index++, row);
        m_rows.append(row);
        m_removeButtons.append(remove);
    }
    m_stack->setCurrentIndex(directories.isEmpty() ? 0 : 1);

    QList<PersistentIdentifier> ids;
    ids.reserve(directories.size());
    for (const Directory& directory : directories) {
        ids.append(directory.id());
    }
    // After the first showing, every change of the list (by identity and order) is sent.
    if (m_shownOnce && ids != m_pushedIds) {
        pushConfiguration();
    }
}

void DirectoryView::pushConfiguration()
{
    const QList<Directory> directories = m_model->all();
    m_pushedIds.clear();
    for (const Directory& directory : directories) {
        m_pushedIds.append(directory.id());
    }
    const QStringList paths = selectedDirectoryPaths(directories);
    WatcherStatus::shared().sendDirectories(paths);
    emit configurationPushed(paths);
}

void DirectoryView::checkPermission()
{
    Notifier* notifier = m_notifier;
    if (!notifier) {
        m_permissionRow->show();
        return;
    }
    QPointer<DirectoryView> self(this);
    notifier->checkAuthorization([self](bool authorized) {
        if (DirectoryView* view = self) {
            view->m_permissionRow->setVisible(!authorized);
        }
    });
}

void DirectoryView::requestPermission()
{
    if (!m_notifier) {
        return;
    }
    // The answer only goes to standard output; the row stays until the window is shown again.
    m_notifier->requestAuthorization([](bool granted, const QString& error) {
        if (granted) {
            printLine(QStringLiteral("notifications enabled"));
        } else if (!error.isEmpty()) {
            printLine(error);
        }
    });
}

bool DirectoryView::isPermissionRowShown() const
{
    return !m_permissionRow->isHidden();
}

bool DirectoryView::isEmptyStateShown() const
{
    return m_stack->currentIndex() == 0;
}

QStringList DirectoryView::listedPaths() const
{
    QStringList paths;
    for (const Directory& directory : m_model->all()) {
        paths.append(directory.path());
    }
    return paths;
}

QToolButton* DirectoryView::removeButton(int row) const
{
    return row >= 0 && row < m_removeButtons.size() ? m_removeButtons.at(row) : nullptr;
}
