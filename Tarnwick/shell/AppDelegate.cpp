#include "AppDelegate.h"

#include "directories/DirectoryView.h"
#include "panel/FindingsView.h"
#include "records/ModelContainer.h"
#include "records/VisibleName.h"
#include "ui/SymbolIcons.h"
#include "viewer/FileViewerView.h"
#include "watcher/Notifier.h"
#include "watcher/WatcherStatus.h"
#include "watcher/WatcherSupervisor.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>

namespace {

constexpr QSize DirectoryWindowSize(420, 280);
constexpr QSize DirectoryWindowMinimum(380, 220);
constexpr QSize ViewerWindowSize(640, 480);
constexpr QSize ViewerWindowMinimum(400, 300);

} // namespace

AppDelegate::AppDelegate(WatcherSupervisor* supervisor, Notifier* notifier, QObject* parent)
    : QObject(parent)
    , m_supervisor(supervisor)
    , m_notifier(notifier)
{
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) {
            applicationWillBecomeActive();
        }
    });
}

AppDelegate::~AppDelegate()
{
    // Windows have no parent (they are top-level); they go with the delegate that keeps them.
    for (const QPointer<QWidget>& window : std::as_const(m_windows)) {
        delete window.data();
    }
}

void AppDelegate::servePanel(FindingsView* panel)
{
    connect(panel, &FindingsView::findingOpenRequested, this, &AppDelegate::openFileViewer);
    connect(panel, &FindingsView::directoriesRequested, this, &AppDelegate::openDirectoryWindow);
    connect(panel, &FindingsView::clearRequested, this, &AppDelegate::clearFindings);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_notifier) {
        connect(m_notifier.data(), &Notifier::activated, this, &AppDelegate::handleNotificationActivated,
                Qt::UniqueConnection);
    }
    ModelContainer* container = WatcherStatus::shared().modelContainer();
    if (!container) {
        return;
    }
    {
        const std::unique_ptr<ModelContext> context = container->newContext();
        const std::optional<int> count = context->countDirectories();
        // A failed count is treated like a configured store: no window, but the watcher still starts.
        if (count && *count == 0) {
            openDirectoryWindow();
        }
    }
    if (m_supervisor) {
        m_supervisor->launchUnlessRunning();
    }
}

void AppDelegate::applicationWillBecomeActive()
{
    m_activation.setActivationPolicy(ActivationPolicy::Regular);
    if (m_supervisor) {
        m_supervisor->launchUnlessRunning();
    }
}

void AppDelegate::launchWatcher()
{
    if (m_supervisor) {
        m_supervisor->launchWatcher();
    }
}

void AppDelegate::openDirectoryWindow()
{
    if (!m_directoryWindow) {
        ModelContainer* container = WatcherStatus::shared().modelContainer();
        if (!container) {
            return;
        }
        auto* view = new DirectoryView(container, m_notifier, nullptr);
        // Titled, closable, resizable; no minimise button.
        view->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
        view->setWindowTitle(tr("Watched Directories"));
        view->setWindowIcon(gnomeIcon());
        view->resize(DirectoryWindowSize);
        view->setMinimumSize(DirectoryWindowMinimum);
        m_directoryWindow = view;
        track(view);
    }
    m_activation.setActivationPolicy(ActivationPolicy::Regular);
    ActivationPolicyController::bringToFront(m_directoryWindow);
}

void AppDelegate::openFileViewer(const Finding& finding)
{
    const PersistentIdentifier id = finding.id();
    if (QWidget* existing = m_fileViewerWindows.value(id)) {
        ActivationPolicyController::bringToFront(existing);
        return;
    }
    ViewerSubject subject;
    subject.path = finding.path();
    subject.nativePath = finding.nativePath();
    subject.ruleName = finding.ruleName();
    subject.severity = finding.severity();
    subject.description = finding.description();
    subject.lines = finding.lines();
    auto* view = new FileViewerView(subject);
    view->setWindowFlags(Qt::Window);
    view->setWindowTitle(visibleName(FileViewerView::fileNameOfPath(finding.path())));
    view->setWindowIcon(gnomeIcon());
    view->resize(ViewerWindowSize);
    view->setMinimumSize(ViewerWindowMinimum);
    m_fileViewerWindows.insert(id, view);
    track(view);
    m_activation.setActivationPolicy(ActivationPolicy::Regular);
    ActivationPolicyController::bringToFront(view);
}

void AppDelegate::clearFindings()
{
    ModelContainer* container = WatcherStatus::shared().modelContainer();
    if (!container) {
        return;
    }
    // A context of its own, for this one operation; the panel's list follows once the save lands.
    const std::unique_ptr<ModelContext> context = container->newContext();
    const std::optional<QList<Finding>> findings = context->fetchAllFindings();
    if (!findings || findings->isEmpty()) {
        return;
    }
    for (const Finding& finding : *findings) {
        context->remove(finding);
    }
    context->save();
}

void AppDelegate::handleNotificationActivated(const QString& path, const QString& rule)
{
    if (path.isEmpty() && rule.isEmpty()) {
        emit showPanelRequested();
        return;
    }
    ModelContainer* container = WatcherStatus::shared().modelContainer();
    if (!container) {
        return;
    }
    std::optional<std::optional<Finding>> found;
    {
        const std::unique_ptr<ModelContext> context = container->newContext();
        found = context->fetchNewestFinding(path, rule);
    }
    // A failed lookup and a cleared finding both open nothing.
    if (found && *found) {
        openFileViewer(**found);
    }
}

void AppDelegate::track(QWidget* window)
{
    m_windows.append(window);
    window->installEventFilter(this);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched->isWidgetType()) {
        // Checked once the hide has taken effect, so the window being closed counts as gone.
        QTimer::singleShot(0, this, &AppDelegate::lastWindowMayHaveClosed);
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::lastWindowMayHaveClosed()
{
    for (const QPointer<QWidget>& window : std::as_const(m_windows)) {
        const QWidget* widget = window;
        if (widget && widget->isVisible()) {
            return;
        }
    }
    // The last window is gone: back to a tray application, still running.
    m_activation.setActivationPolicy(ActivationPolicy::Accessory);
}
