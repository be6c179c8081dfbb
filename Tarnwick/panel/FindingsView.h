#pragma once

#include "records/Finding.h"
#include "records/PersistentIdentifier.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class FindingListModel;
class FindingRow;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The tray panel: a header with the title, the watcher's state and four buttons, and below it the
// newest findings: the alerts ("critical", "high") or, with the warnings switch on, the warnings.
// The view writes nothing to the store and knows nothing of the application: it asks through its
// signals (clear the findings, open a finding, open the directories window).
class FindingsView : public QWidget
{
    Q_OBJECT
public:
    // `model` is the live list of the newest findings; it must outlive the view.
    explicit FindingsView(FindingListModel* model, QWidget* parent = nullptr);

    bool showWarnings() const { return m_showWarnings; }
    void setShowWarnings(bool show);

    // What the list shows now: the rows in order, or the empty-state text (then no rows).
    QList<FindingRow*> rows() const;
    QString emptyStateText() const;

    QToolButton* warningsButton() const { return m_warningsButton; }
    QToolButton* trashButton() const { return m_trashButton; }
    QToolButton* folderButton() const { return m_folderButton; }
    QToolButton* powerButton() const { return m_powerButton; }
    QString statusText() const;

signals:
    // A row or the folder button asked for a window; a popup panel gets out of its way.
    void windowRequested();
    void findingOpenRequested(const Finding& finding);
    void directoriesRequested();
    void clearRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    void scheduleRebuild();
    void rebuild();
    void updateStatus(bool running);
    void updateWarningsButton(int count);
    void showEmptyState(const QString& text);

    QPointer<FindingListModel> m_model;
    bool m_showWarnings = false;
    bool m_rebuildPending = false;

    QLabel* m_statusDot = nullptr;
    QLabel* m_statusText = nullptr;
    QToolButton* m_warningsButton = nullptr;
    QToolButton* m_trashButton = nullptr;
    QToolButton* m_folderButton = nullptr;
    QToolButton* m_powerButton = nullptr;
    QScrollArea* m_scroll = nullptr;
    QVBoxLayout* m_listLayout = nullptr;
    QLabel* m_emptyState = nullptr;
    // Rows keep their identity (and widget) while other findings come and go.
    QHash<PersistentIdentifier, FindingRow*> m_rows;
    QList<FindingRow*> m_order;
};
