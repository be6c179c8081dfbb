#include "DBusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");
const QString defaultAction = QStringLiteral("default");

// Signals about ids we do not know yet are kept only while a Notify reply is outstanding, and only
// this many: the service broadcasts them for every application's notifications.
constexpr qsizetype maxEarlySignals = 256;

} // namespace

DBusNotifier::DBusNotifier(const QDBusConnection& bus, QObject* parent)
    : Notifier(parent)
    , m_bus(bus)
{
    m_bus.connect(service, objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, objectPath, interfaceName, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));

    // Until the server says otherwise, assume it reads the body as markup (most do).
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(QDBusMessage::createMethodCall(service, objectPath, interfaceName,
                                                       QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (!reply.isError())
            m_bodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
    });
}

void DBusNotifier::notify(const Notification& notification)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, objectPath, interfaceName, QStringLiteral("Notify"));
    const uint replacesId =
        notification.replaceKey.isEmpty() ? 0 : m_idByKey.value(notification.replaceKey, 0);
    QVariantMap hints;
    // dunst and others read an int as "normal": the urgency must be a D-Bus byte.
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(notification.urgency == Urgency::Critical ? 2 : 1));
    hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    message << QStringLiteral("Tarnwick") << replacesId << QString()
            << notification.summary
            // A server with body markup would read a file name such as "a<b>.sh" as markup and hide
            // part of it; the path must read exactly as it is on disk.
            << (m_bodyMarkup ? notification.body.toHtmlEscaped() : notification.body)
            << QStringList{defaultAction, tr("Open")} << hints << qint32(-1);

    ++m_outstanding;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    const Target target{notification.path, notification.rule, notification.replaceKey};
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, target](QDBusPendingCallWatcher* w) { onNotifyReply(w, target); });
}

void DBusNotifier::onNotifyReply(QDBusPendingCallWatcher* watcher, const Target& target)
{
    watcher->deleteLater();
    --m_outstanding;
    const QDBusPendingReply<uint> reply = *watcher;
    if (!reply.isError()) {
        const uint id = reply.value();
        if (!target.replaceKey.isEmpty())
            m_idByKey.insert(target.replaceKey, id);
        m_open.insert(id, target);
        // Replay what overtook this reply, in arrival order.
        for (const auto& [earlyId, action] : std::as_const(m_earlyActions)) {
            if (earlyId == id)
                onActionInvoked(id, action);
        }
        if (m_earlyCloses.contains(id))
            onNotificationClosed(id, 0);
    }
    if (m_outstanding == 0) {
        m_earlyActions.clear();
        m_earlyCloses.clear();
    }
}

void DBusNotifier::onActionInvoked(uint id, const QString& actionKey)
{
    const auto it = m_open.constFind(id);
    if (it == m_open.constEnd()) {
        if (m_outstanding > 0 && m_earlyActions.size() < maxEarlySignals)
            m_earlyActions.append({id, actionKey});
        return;
    }
    if (actionKey == defaultAction)
        emit activated(it->path, it->rule);
}

void DBusNotifier::onNotificationClosed(uint id, uint /*reason*/)
{
    const auto it = m_open.constFind(id);
    if (it == m_open.constEnd()) {
        if (m_outstanding > 0 && m_earlyCloses.size() < maxEarlySignals)
            m_earlyCloses.append(id);
        return;
    }
    if (!it->replaceKey.isEmpty() && m_idByKey.value(it->replaceKey) == id)
        m_idByKey.remove(it->replaceKey);
    m_open.erase(it);
}

void DBusNotifier::checkAuthorization(std::function<void(bool authorized)> done)
{
    requestAuthorization([done = std::move(done)](bool granted, const QString&) { done(granted); });
}

void DBusNotifier::requestAuthorization(std::function<void(bool granted, const QString& error)> done)
{
    if (!m_bus.isConnected()) {
        const QString error =
            m_bus.lastError().isValid() ? m_bus.lastError().message() : tr("There is no D-Bus session bus.");
        QTimer::singleShot(0, this, [done = std::move(done), error] { done(false, error); });
        return;
    }
    // The freedesktop service has no permission of its own: notifications work when a notification
    // server owns the name.
    const QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
        << service;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<bool> reply = *w;
                if (reply.isError())
                    done(false, reply.error().message());
                else if (!reply.value())
                    done(false, tr("No notification service is running on the session bus."));
                else
                    done(true, {});
            });
}
