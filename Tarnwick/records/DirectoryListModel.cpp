#include "DirectoryListModel.h"

DirectoryListModel::DirectoryListModel(ModelContainer* container, QObject* parent)
    : LiveListModel(
          container, [](ModelContext& context) { return context.fetchDirectories(); }, parent)
{
}

QVariant DirectoryListModel::data(const QModelIndex& index, int role) const
{
    const Directory* row = recordFor(index);
    if (!row)
        return {};
    const Directory& dir = *row;
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
