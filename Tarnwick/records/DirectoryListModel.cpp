#include "DirectoryListModel.h"

DirectoryListModel::DirectoryListModel(ModelContainer* container, QObject* parent)
    : LiveListModel(
          container, [](ModelContext& context) { return context.fetchDirectories(); }, parent)
{
}

QVariant DirectoryListModel::data(const QModelIndex& index, int role) const
{
    // The views read whole records (directoryAt); the path is the text for item views and tests.
    const Directory* row = recordFor(index);
    if (!row || role != Qt::DisplayRole)
        return {};
    return row->path();
}
