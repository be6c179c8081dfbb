#pragma once

#include "Directory.h"
#include "LiveListModel.h"

// The directory window list: every directory in store order, live over the main context (pending inserts
// included, pending deletes left out).
class DirectoryListModel : public LiveListModel<Directory>
{
    Q_OBJECT

public:
    explicit DirectoryListModel(ModelContainer* container, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const Directory& directoryAt(int row) const { return recordAt(row); }
};
