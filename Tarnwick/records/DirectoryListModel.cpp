#include "DirectoryListModel.h"

#include "LiveRows.h"
#include "ModelContainer.h"

DirectoryListModel::DirectoryListModel(ModelContainer* container, QObject* parent)
    : QAbstractListModel(parent)
    , m_container(container)
{
    if (container)
        connect(container, &ModelContainer::storeChanged, this, &DirectoryListModel::scheduleRefresh);
    refresh();
}

int DirectoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant DirectoryListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Directory& dir = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case PathRole:
        return dir.path();
    case UrlRole:
        return dir.url();
    case WatchNewFilesRole:
        return dir.watchNewFiles();
    case WatchNewDirectoriesRole:
        return dir.watchNewDirectories();
    case IsRepositoryRole:
        return dir.isRepository();
    case IsPromptFolderRole:
        return dir.isPromptFolder();
    case IdRole:
        return dir.id().toString();
    default:
        return {};
    }
}

QHash<int, QByteArray> DirectoryListModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},
            {UrlRole, "url"},
            {PathRole, "path"},
            {WatchNewFilesRole, "watchNewFiles"},
            {WatchNewDirectoriesRole, "watchNewDirectories"},
            {IsRepositoryRole, "isRepository"},
            {IsPromptFolderRole, "isPromptFolder"},
            {IdRole, "id"}};
}

const Directory& DirectoryListModel::directoryAt(int row) const
{
    return m_rows.at(row);
}

void DirectoryListModel::scheduleRefresh()
{
    if (m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QMetaObject::invokeMethod(this, &DirectoryListModel::refresh, Qt::QueuedConnection);
}

void DirectoryListModel::refresh()
{
    m_refreshScheduled = false;
    if (!m_container)
        return;
    const auto next = m_container->mainContext().fetchDirectories();
    if (!next)
        return;
    updateLiveRows(m_rows, *next,
                   {[this](int first, int last) { beginRemoveRows({}, first, last); },
                    [this] { endRemoveRows(); },
                    [this](int first, int last) { beginInsertRows({}, first, last); },
                    [this] { endInsertRows(); }, [this] { beginResetModel(); }, [this] { endResetModel(); }});
}
