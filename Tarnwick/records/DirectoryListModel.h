#pragma once

#include "Directory.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>

class ModelContainer;

// The directory window list: every directory in store order, live over the main context (pending inserts
// included, pending deletes left out). Re-reads on the next turn of the event loop after the store
// changes; rows keep their identity, so views see inserts and removals, not resets.
class DirectoryListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        UrlRole = Qt::UserRole + 1,
        PathRole,
        WatchNewFilesRole,
        WatchNewDirectoriesRole,
        IsRepositoryRole,
        IsPromptFolderRole,
        IdRole,
    };

    explicit DirectoryListModel(ModelContainer* container, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const Directory& directoryAt(int row) const;
    QList<Directory> all() const { return m_rows; }

    // Re-reads now (also called by the model itself after a store change). A failed query keeps the list.
    void refresh();

private:
    void scheduleRefresh();

    QPointer<ModelContainer> m_container;
    QList<Directory> m_rows;
    bool m_refreshScheduled = false;
};
