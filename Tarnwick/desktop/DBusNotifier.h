#pragma once

#include "watcher/Notifier.h"

#include <QDBusConnection>
#include <QHash>
#include <QPair>

class QDBusPendingCallWatcher;

// Freedesktop notifications (org.freedesktop.Notifications) over D-Bus. Every call is asynchronous,
// so a hanging notification service cannot freeze the application.
class DBusNotifier : public Notifier
{
    Q_OBJECT
public:
    explicit DBusNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);

    void notify(const Notification& notification) override;
    void checkAuthorization(std::function<void(bool authorized)> done) override;
    void requestAuthorization(std::function<void(bool granted, const QString& error)> done) override;

    // Notifications shown and not yet closed, by the id the service gave them.
    qsizetype openNotificationCount() const { return m_open.size(); }
    // Whether bodies are sent escaped, because the server reads them as markup.
    bool escapesBody() const { return m_bodyMarkup; }

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Target
    {
        QString path;
        QString rule;
        QString replaceKey;
    };

    void onNotifyReply(QDBusPendingCallWatcher* watcher, const Target& target);

    QDBusConnection m_bus;
    QHash<uint, Target> m_open;
    QHash<QString, uint> m_idByKey;
    // ActionInvoked / NotificationClosed can overtake the reply that tells us the id.
    QList<QPair<uint, QString>> m_earlyActions;
    QList<uint> m_earlyCloses;
    bool m_bodyMarkup = true;
    int m_outstanding = 0; // Notify calls whose reply has not come yet
};
