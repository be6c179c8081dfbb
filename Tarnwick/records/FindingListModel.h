#pragma once

#include "Finding.h"
#include "LiveListModel.h"

// The findings panel list: the newest 100 findings by timestamp, live over the main context (pending
// inserts included).
class FindingListModel : public LiveListModel<Finding>
{
    Q_OBJECT

public:
    static constexpr int Limit = 100;

    explicit FindingListModel(ModelContainer* container, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const Finding& findingAt(int row) const { return recordAt(row); }
};
