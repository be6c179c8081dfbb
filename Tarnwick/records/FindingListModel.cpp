#include "FindingListModel.h"

FindingListModel::FindingListModel(ModelContainer* container, QObject* parent)
    : LiveListModel(
          container, [](ModelContext& context) { return context.fetchNewestFindings(Limit); }, parent)
{
}

QVariant FindingListModel::data(const QModelIndex& index, int role) const
{
    const Finding* row = recordFor(index);
    if (!row)
        return {};
    const Finding& f = *row;
    switch (role) {
    case Qt::DisplayRole:
    case PathRole:
        return f.path();
    case RuleNameRole:
        return f.ruleName();
    case SeverityRole:
        return f.severity();
    case EventTypesRole:
        return f.eventTypes();
    case TimestampRole:
        return f.timestamp();
    case IdRole:
        return f.id().toString();
    default:
        return {};
    }
}

QHash<int, QByteArray> FindingListModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},
            {PathRole, "path"},
            {RuleNameRole, "ruleName"},
            {SeverityRole, "severity"},
            {EventTypesRole, "eventTypes"},
            {TimestampRole, "timestamp"},
            {IdRole, "id"}};
}
