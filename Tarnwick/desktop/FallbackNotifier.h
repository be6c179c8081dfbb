#pragma once

#include "watcher/Notifier.h"

#include <QDBusConnection>
#include <QPointer>

#include <functional>

// Whether a notification service (org.freedesktop.Notifications) owns its name on the bus, followed
// without blocking: an asynchronous first question, then the bus's ownership changes.
class NotificationServiceWatch : public QObject
{
    Q_OBJECT
public:
    explicit NotificationServiceWatch(const QDBusConnection& bus, QObject* parent = nullptr);

    // Until the bus has answered, the service is taken to be there.
    bool isServiceUp() const { return m_up; }

signals:
    void serviceUpChanged(bool up);

private:
    void setUp(bool up);

    QDBusConnection m_bus;
    bool m_up = true;
};

// Shows each notification through `primary` (the desktop's notification service) while
// `primaryAvailable` says it can, otherwise through `fallback` (the tray's balloon), so that alerts
// still reach the user on a desktop without a notification service. Clicks on either come out here.
class FallbackNotifier : public Notifier
{
    Q_OBJECT
public:
    FallbackNotifier(Notifier* primary, Notifier* fallback, std::function<bool()> primaryAvailable,
                     QObject* parent = nullptr);

    void notify(const Notification& notification) override;
    // Authorized when either way can show notifications.
    void checkAuthorization(std::function<void(bool authorized)> done) override;
    // Granted when either way can; otherwise the primary's reason.
    void requestAuthorization(std::function<void(bool granted, const QString& error)> done) override;

private:
    QPointer<Notifier> m_primary;
    QPointer<Notifier> m_fallback;
    std::function<bool()> m_primaryAvailable;
};
