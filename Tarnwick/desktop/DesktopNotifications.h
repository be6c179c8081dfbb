#pragma once

#include <memory>

class NotificationServiceWatch;
class Notifier;
class QSystemTrayIcon;

// The one way the application reaches the desktop's notifications: freedesktop notifications while a
// notification service is on the session bus, the tray icon's balloons without a bus or a service.
// Owns the backends; the application sees only notifier().
class DesktopNotifications
{
public:
    explicit DesktopNotifications(QSystemTrayIcon* tray);
    ~DesktopNotifications();
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    Notifier* notifier() const { return m_notifier.get(); }

private:
    // Declared in the order they are built; they go in reverse, the fallback before what it uses.
    std::unique_ptr<Notifier> m_trayNotifier;
    std::unique_ptr<Notifier> m_busNotifier;
    std::unique_ptr<NotificationServiceWatch> m_serviceWatch;
    std::unique_ptr<Notifier> m_notifier;
};
