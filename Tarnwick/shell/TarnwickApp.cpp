#include "TarnwickApp.h"

#include "AppDelegate.h"
#include "TrayController.h"
#include "desktop/DesktopNotifications.h"
#include "desktop/SingleInstance.h"
#include "records/ModelContainer.h"
#include "records/OpenStore.h"
#include "ui/SymbolIcons.h"
#include "watcher/Intake.h"
#include "watcher/WatcherStatus.h"
#include "watcher/WatcherSupervisor.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

TarnwickApp::TarnwickApp(std::unique_ptr<ModelContainer> container)
    : m_container(std::move(container))
{
    WatcherStatus::shared().setModelContainer(m_container.get());
    m_tray = std::make_unique<TrayController>(m_container.get());
    m_notifications = std::make_unique<DesktopNotifications>(m_tray->trayIcon());
    m_intake = std::make_unique<Intake>(m_notifications->notifier());
    m_supervisor = std::make_unique<WatcherSupervisor>(m_intake.get());
    m_supervisor->setNotifier(m_notifications->notifier());
    m_delegate = std::make_unique<AppDelegate>(m_supervisor.get(), m_notifications->notifier());
    m_delegate->servePanel(m_tray->findingsView());
    QObject::connect(m_delegate.get(), &AppDelegate::showPanelRequested, m_tray.get(),
                     &TrayController::showPanel);
}

TarnwickApp::~TarnwickApp()
{
    // Windows first (they read the store), the watcher's process next, the store last.
    m_delegate.reset();
    m_tray.reset();
    m_supervisor.reset();
    m_intake.reset();
    m_notifications.reset();
    if (WatcherStatus::shared().modelContainer() == m_container.get()) {
        WatcherStatus::shared().setModelContainer(nullptr);
    }
}

void TarnwickApp::handleRequest(const QString& request)
{
    if (request == QLatin1String("directories")) {
        m_delegate->openDirectoryWindow();
        return;
    }
    m_delegate->applicationWillBecomeActive();
    m_tray->showPanel();
}

int TarnwickApp::main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarnwick"));
    QApplication::setDesktopFileName(QStringLiteral("tarnwick"));
    // A tray application: closing a window only hides it.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(gnomeIcon());

    const QString storePath = ModelContainer::defaultStorePath();
    // Before the store is touched: a later start hands over to the running one and never starts a
    // second watcher on the same store.
    SingleInstance instance(storePath);
    switch (instance.claim(QStringLiteral("activate"))) {
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::Failed:
        std::fputs("Tarnwick is already running but does not answer\n", stderr);
        return 1;
    case SingleInstance::Role::Primary:
        break;
    }

    TarnwickApp tarnwick(openStoreOrDie(storePath));
    QObject::connect(&instance, &SingleInstance::requestReceived, &app,
                     [&tarnwick](const QString& request) { tarnwick.handleRequest(request); });
    tarnwick.tray()->start();
    QTimer::singleShot(0, tarnwick.appDelegate(), &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
