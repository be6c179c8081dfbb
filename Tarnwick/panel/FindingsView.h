#pragma once

#include "records/Finding.h"
#include "records/PersistentIdentifier.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <optional>

class FindingListModel;
class FindingRow;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The tray panel: a header with the title, the watcher's state and four buttons, and below it the
// newest findings: the alerts ("critical", "high") or, with the warnings switch on, the warnings.
// Findings an ignore covers are left out unless the "Show ignored" switch below the list is on (shown
// while there are ignores). Triage (dismiss, undo, ignore) goes through the model; everything else it
// asks of the application through its signals (clear the findings, open a finding, open the
// directories window).
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

    // The footer's switch for ignored findings, and the undo of the last dismiss.
    QToolButton* showIgnoredButton() const { return m_showIgnoredButton; }
    QToolButton* undoButton() const { return m_undoButton; }
    bool canUndo() const { return m_lastDismissed.has_value(); }
    void undoDismiss();

signals:
    // A row or the folder button asked for a window; a popup panel gets out of its way.
    void windowRequested();
    void findingOpenRequested(const Finding& finding);
    void directoriesRequested();
    void clearRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildHeader();
    void scheduleRebuild();
    void rebuild();
    void updateStatus(bool running);
    void updateWarningsButton(int count);
    void showEmptyState(const QString& text);
    QWidget* buildFooter();
    void updateFooter();
    void dismiss(const Finding& finding);

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
    QWidget* m_footer = nullptr;
    QWidget* m_footerDivider = nullptr;
    QToolButton* m_showIgnoredButton = nullptr;
    QLabel* m_undoText = nullptr;
    QToolButton* m_undoButton = nullptr;
    // Only the last dismiss can be taken back, and only while the panel stays open.
    std::optional<Finding> m_lastDismissed;
    int m_refocusRow = -1;
    // Rows keep their identity (and widget) while other findings come and go.
    QHash<PersistentIdentifier, FindingRow*> m_rows;
    QList<FindingRow*> m_order;
};
