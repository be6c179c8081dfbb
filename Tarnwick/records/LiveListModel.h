#pragma once

#include "LiveRows.h"
#include "ModelContainer.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>

#include <functional>
#include <optional>

// A list of records live over the main context: `fetch` reads the rows, and the model re-reads on the next
// turn of the event loop after the store changes, so a burst of changes (a batch of inserts announces each
// one) costs one query. Rows keep their identity, so views see inserts and removals, not resets. The
// models on top name their roles and map a record to them.
template <typename Record>
class LiveListModel : public QAbstractListModel
{
public:
    using Fetch = std::function<std::optional<QList<Record>>(ModelContext&)>;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

    QList<Record> all() const { return m_rows; }

    // Re-reads now (also called by the model itself after a store change). A failed query keeps the list.
    void refresh()
    {
        m_refreshScheduled = false;
        if (!m_container)
            return;
        const std::optional<QList<Record>> next = m_fetch(m_container->mainContext());
        if (!next)
            return;
        updateLiveRows(
            m_rows, *next,
            {[this](int first, int last) { beginRemoveRows({}, first, last); }, [this] { endRemoveRows(); },
             [this](int first, int last) { beginInsertRows({}, first, last); }, [this] { endInsertRows(); },
             [this] { beginResetModel(); }, [this] { endResetModel(); }});
    }

protected:
    LiveListModel(ModelContainer* container, Fetch fetch, QObject* parent)
        : QAbstractListModel(parent)
        , m_container(container)
        , m_fetch(std::move(fetch))
    {
        if (container)
            connect(container, &ModelContainer::storeChanged, this, &LiveListModel::scheduleRefresh);
        refresh();
    }

    const Record& recordAt(int row) const { return m_rows.at(row); }

    // The record `index` stands for, or null when the index is not a row of this list.
    const Record* recordFor(const QModelIndex& index) const
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return nullptr;
        return &m_rows.at(index.row());
    }

private:
    void scheduleRefresh()
    {
        if (m_refreshScheduled)
            return;
        m_refreshScheduled = true;
        QMetaObject::invokeMethod(this, &LiveListModel::refresh, Qt::QueuedConnection);
    }

    QPointer<ModelContainer> m_container;
    Fetch m_fetch;
    QList<Record> m_rows;
    bool m_refreshScheduled = false;
};
