#include "FindingListModel.h"

#include "Triage.h"

FindingListModel::FindingListModel(ModelContainer* container, QObject* parent)
    : FindingListModel(container, std::make_shared<State>(), parent)
{
}

FindingListModel::FindingListModel(ModelContainer* container, std::shared_ptr<State> state, QObject* parent)
    : LiveListModel(
          container,
          [state](ModelContext& context) -> std::optional<QList<Finding>> {
              // Read together, so that the marks of ignored rows always match the rows.
              auto ignores = context.fetchIgnores();
              if (!ignores)
                  return std::nullopt;
              auto findings = context.fetchNewestFindings(Limit, state->includeIgnored);
              if (findings && *ignores != state->ignores) {
                  state->ignores = std::move(*ignores);
                  if (state->model)
                      emit state->model->ignoresChanged();
              }
              return findings;
          },
          parent)
    , m_store(container)
    , m_state(std::move(state))
{
    m_state->model = this;
}

QVariant FindingListModel::data(const QModelIndex& index, int role) const
{
    // The views read whole records (findingAt); the path is the text for item views and tests.
    const Finding* row = recordFor(index);
    if (!row || role != Qt::DisplayRole)
        return {};
    return row->path();
}

void FindingListModel::setIncludeIgnored(bool include)
{
    if (include == m_state->includeIgnored)
        return;
    m_state->includeIgnored = include;
    refresh();
}

std::optional<Finding> FindingListModel::dismiss(const Finding& finding)
{
    if (!m_store)
        return std::nullopt;
    return Triage::dismiss(m_store->mainContext(), finding);
}

bool FindingListModel::undoDismiss(const Finding& dismissed)
{
    return m_store && Triage::undoDismiss(m_store->mainContext(), dismissed);
}

bool FindingListModel::ignore(const Finding& finding, bool folder)
{
    return m_store && Triage::ignore(m_store->mainContext(), finding, folder);
}
