#pragma once

#include "desktop/ActivationPolicy.h"
#include "records/Finding.h"
#include "records/PersistentIdentifier.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

class FindingsView;
class Notifier;
class WatcherSupervisor;

// The application's shell: the start-up sequence, the start-unless-running check on activation, the
// one "Watched Directories" window, one viewer window per finding, clearing the findings, and the
// answer to notification clicks. Main thread only. Windows are made on first use, hidden (not
// destroyed) when closed, and kept until the delegate goes.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    AppDelegate(WatcherSupervisor* supervisor, Notifier* notifier, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Start-up, once the event loop runs: listen to notification clicks, open the directories window
    // when no directory is stored, then start the watcher unless one runs.
    void applicationDidFinishLaunching();
    // Each time the application is about to become active.
    void applicationWillBecomeActive();

    // Answers the panel's requests: open a finding, open the directories window, clear the findings.
    void servePanel(FindingsView* panel);

    void openDirectoryWindow();
    void openFileViewer(const Finding& finding);
    void clearFindings();
    void launchWatcher();

    // A click on a notification: opens the newest finding with this path and rule. A click on the
    // summary of many alerts (no path, no rule) asks for the findings panel instead.
    void handleNotificationActivated(const QString& path, const QString& rule);

    QWidget* directoryWindow() const { return m_directoryWindow; }
    QWidget* fileViewerWindow(const PersistentIdentifier& id) const { return m_fileViewerWindows.value(id); }
    qsizetype fileViewerWindowCount() const { return m_fileViewerWindows.size(); }

signals:
    // The findings panel should be shown (summary notification clicked, another start handed over).
    void showPanelRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void track(QWidget* window);
    void lastWindowMayHaveClosed();

    QPointer<WatcherSupervisor> m_supervisor;
    QPointer<Notifier> m_notifier;
    ActivationPolicyController m_activation;
    QPointer<QWidget> m_directoryWindow;
    QHash<PersistentIdentifier, QPointer<QWidget>> m_fileViewerWindows;
    QList<QPointer<QWidget>> m_windows;
};
