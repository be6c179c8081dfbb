#pragma once

#include "Finding.h"
#include "LiveListModel.h"
#include "RuleIgnore.h"

#include <memory>
#include <optional>

// The findings panel list: the newest 100 findings by timestamp, live over the main context (pending
// inserts included). Findings an ignore covers are left out unless includeIgnored is set. The triage
// of the panel goes through here, on the main context.
class FindingListModel : public LiveListModel<Finding>
{
    Q_OBJECT

public:
    static constexpr int Limit = 100;

    explicit FindingListModel(ModelContainer* container, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const Finding& findingAt(int row) const { return recordAt(row); }

    bool includesIgnored() const { return m_state->includeIgnored; }
    // Re-reads at once with the new selection.
    void setIncludeIgnored(bool include);

    // The ignores as of the last read of the list.
    const QList<RuleIgnore>& ignores() const { return m_state->ignores; }
    bool isIgnored(const Finding& finding) const { return ::isIgnored(m_state->ignores, finding); }

    // See Triage. Each returns false (or nullopt) without a container or when the write failed.
    std::optional<Finding> dismiss(const Finding& finding);
    bool undoDismiss(const Finding& dismissed);
    bool ignore(const Finding& finding, bool folder);

signals:
    // The ignores changed: the same rows may now be marked differently.
    void ignoresChanged();

private:
    // Shared with the fetch, which the base class already runs while this class is being built.
    struct State
    {
        bool includeIgnored = false;
        QList<RuleIgnore> ignores;
        FindingListModel* model = nullptr; // set once the model is built
    };
    FindingListModel(ModelContainer* container, std::shared_ptr<State> state, QObject* parent);

    QPointer<ModelContainer> m_store;
    std::shared_ptr<State> m_state;
};
