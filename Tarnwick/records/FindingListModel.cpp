#include "FindingListModel.h"

#include "LiveRows.h"
#include "ModelContainer.h"

FindingListModel::FindingListModel(ModelContainer* container, QObject* parent)
    : QAbstractListModel(parent)
    , m_container(container)
{
    if (container)
        connect(container, &ModelContainer::storeChanged, this, &FindingListModel::scheduleRefresh);
    refresh();
}

int FindingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FindingListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Finding& f = m_rows.at(index.row());
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

const Finding& FindingListModel::findingAt(int row) const
{
    return m_rows.at(row);
}

void FindingListModel::scheduleRefresh()
{
    // A batch of inserts announces each one; reading once on the next turn of the event loop is enough.
    if (m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QMetaObject::invokeMethod(this, &FindingListModel::refresh, Qt::QueuedConnection);
}

void FindingListModel::refresh()
{
    m_refreshScheduled = false;
    if (!m_container)
        return;
    const auto next = m_container->mainContext().fetchNewestFindings(Limit);
    if (!next)
        return;
    updateLiveRows(m_rows, *next,
                   {[this](int first, int last) { beginRemoveRows({}, first, last); },
                    [this] { endRemoveRows(); },
                    [this](int first, int last) { beginInsertRows({}, first, last); },
                    [this] { endInsertRows(); }, [this] { beginResetModel(); }, [this] { endResetModel(); }});
}
