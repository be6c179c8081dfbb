#pragma once

#include "watcher/Notifier.h"

#include <QPointer>

class QSystemTrayIcon;

// Notifications as the tray icon's message balloon, for a desktop without a session bus or without a
// notification service. A balloon carries no payload, so a click leads back to the last one shown.
class TrayNotifier : public Notifier
{
    Q_OBJECT
public:
    explicit TrayNotifier(QSystemTrayIcon* icon, QObject* parent = nullptr);

    void notify(const Notification& notification) override;
    void checkAuthorization(std::function<void(bool authorized)> done) override;
    void requestAuthorization(std::function<void(bool granted, const QString& error)> done) override;

    // Whether the desktop can show balloons at all (a status area that supports messages).
    static bool canShowMessages();

private:
    void onMessageClicked();

    QPointer<QSystemTrayIcon> m_icon;
    QString m_lastPath;
    QString m_lastRule;
};
