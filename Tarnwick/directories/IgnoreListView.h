#pragma once

#include "records/RuleIgnore.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class ModelContainer;
class QToolButton;
class QVBoxLayout;

// The "Ignored rules" section of the Watched Directories window: one row per ignore, "rule — path"
// (a folder's path ends in "/"), each with a button that removes it. Hidden while there is none; follows
// the store.
class IgnoreListView : public QWidget
{
    Q_OBJECT
public:
    explicit IgnoreListView(ModelContainer* container, QWidget* parent = nullptr);

    // "rule — path" as listed, in the order of the rows.
    QStringList listedTexts() const;
    QToolButton* removeButton(int row) const;

    // "rule — /a/b/f", or "rule — /a/b/" for a folder.
    static QString textFor(const RuleIgnore& ignore);

private:
    void scheduleRefresh();
    void refresh();

    QPointer<ModelContainer> m_container;
    QVBoxLayout* m_rowsLayout = nullptr;
    QList<RuleIgnore> m_ignores;
    QList<QWidget*> m_rows;
    QList<QToolButton*> m_removeButtons;
    bool m_refreshPending = false;
};
