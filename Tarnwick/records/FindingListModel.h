#pragma once

#include "Finding.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>

class ModelContainer;

// The findings panel list: the newest 100 findings by timestamp, live over the main context (pending
// inserts included). Re-reads on the next turn of the event loop after the store changes, so a burst of
// inserts costs one query; rows keep their identity, so views see inserts and removals, not resets.
class FindingListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int Limit = 100;

    enum Role {
        PathRole = Qt::UserRole + 1,
        RuleNameRole,
        SeverityRole,
        EventTypesRole,
        TimestampRole,
        IdRole,
    };

    explicit FindingListModel(ModelContainer* container, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const Finding& findingAt(int row) const;
    QList<Finding> all() const { return m_rows; }

    // Re-reads now (also called by the model itself after a store change). A failed query keeps the list.
    void refresh();

private:
    void scheduleRefresh();

    QPointer<ModelContainer> m_container;
    QList<Finding> m_rows;
    bool m_refreshScheduled = false;
};
