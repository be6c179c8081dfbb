#include "TrayNotifier.h"

#include <QSystemTrayIcon>
#include <QTimer>

TrayNotifier::TrayNotifier(QSystemTrayIcon* icon, QObject* parent)
    : Notifier(parent)
    , m_icon(icon)
{
    if (m_icon) {
        connect(m_icon.data(), &QSystemTrayIcon::messageClicked, this, &TrayNotifier::onMessageClicked);
    }
}

bool TrayNotifier::canShowMessages()
{
    return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
}

void TrayNotifier::notify(const Notification& notification)
{
    if (!m_icon) {
        return;
    }
    m_lastPath = notification.path;
    m_lastRule = notification.rule;
    const auto icon =
        notification.urgency == Urgency::Critical ? QSystemTrayIcon::Critical : QSystemTrayIcon::Information;
    // Critical balloons stay longer; the desktop may cap either.
    m_icon->showMessage(notification.summary, notification.body, icon,
                        notification.urgency == Urgency::Critical ? 30000 : 10000);
}

void TrayNotifier::checkAuthorization(std::function<void(bool authorized)> done)
{
    // Answered on a later turn, like the bus-backed check, so callers see one behaviour.
    const bool authorized = canShowMessages();
    QTimer::singleShot(0, this, [done = std::move(done), authorized] { done(authorized); });
}

void TrayNotifier::requestAuthorization(std::function<void(bool granted, const QString& error)> done)
{
    const bool granted = canShowMessages();
    QTimer::singleShot(0, this, [done = std::move(done), granted] {
        done(granted, granted ? QString() : tr("The desktop has no status area to show notifications in"));
    });
}

void TrayNotifier::onMessageClicked()
{
    emit activated(m_lastPath, m_lastRule);
}
