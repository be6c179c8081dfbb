#include "DesktopNotifications.h"

#include "DBusNotifier.h"
#include "FallbackNotifier.h"
#include "TrayNotifier.h"

#include <QDBusConnection>

DesktopNotifications::DesktopNotifications(QSystemTrayIcon* tray)
    : m_trayNotifier(std::make_unique<TrayNotifier>(tray))
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        m_notifier = std::make_unique<FallbackNotifier>(nullptr, m_trayNotifier.get(), [] { return false; });
        return;
    }
    m_busNotifier = std::make_unique<DBusNotifier>(QDBusConnection::sessionBus());
    m_serviceWatch = std::make_unique<NotificationServiceWatch>(QDBusConnection::sessionBus());
    NotificationServiceWatch* watch = m_serviceWatch.get();
    m_notifier = std::make_unique<FallbackNotifier>(m_busNotifier.get(), m_trayNotifier.get(),
                                                    [watch] { return watch->isServiceUp(); });
}

DesktopNotifications::~DesktopNotifications() = default;
