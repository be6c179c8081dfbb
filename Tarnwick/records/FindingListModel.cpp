#include "FindingListModel.h"

FindingListModel::FindingListModel(ModelContainer* container, QObject* parent)
    : LiveListModel(
          container, [](ModelContext& context) { return context.fetchNewestFindings(Limit); }, parent)
{
}

QVariant FindingListModel::data(const QModelIndex& index, int role) const
{
    // The views read whole records (findingAt); the path is the text for item views and tests.
    const Finding* row = recordFor(index);
    if (!row || role != Qt::DisplayRole)
        return {};
    return row->path();
}
