#include "FallbackNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace {

const QString NotificationService = QStringLiteral("org.freedesktop.Notifications");

} // namespace

NotificationServiceWatch::NotificationServiceWatch(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected()) {
        m_up = false;
        return;
    }
    auto* watcher =
        new QDBusServiceWatcher(NotificationService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { setUp(!newOwner.isEmpty()); });
    // Asked of the bus itself, which always answers at once; no call to the service is made.
    const QDBusMessage question =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
        << NotificationService;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(question), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<bool> reply = *call;
        if (!reply.isError()) {
            setUp(reply.value());
        }
        call->deleteLater();
    });
}

void NotificationServiceWatch::setUp(bool up)
{
    if (up == m_up) {
        return;
    }
    m_up = up;
    emit serviceUpChanged(up);
}

FallbackNotifier::FallbackNotifier(Notifier* primary, Notifier* fallback,
                                   std::function<bool()> primaryAvailable, QObject* parent)
    : Notifier(parent)
    , m_primary(primary)
    , m_fallback(fallback)
    , m_primaryAvailable(std::move(primaryAvailable))
{
    for (Notifier* notifier : {primary, fallback}) {
        if (notifier) {
            connect(notifier, &Notifier::activated, this, &Notifier::activated);
        }
    }
}

void FallbackNotifier::notify(const Notification& notification)
{
    Notifier* target = m_primary && m_primaryAvailable() ? m_primary.data() : m_fallback.data();
    if (target) {
        target->notify(notification);
    }
}

void FallbackNotifier::checkAuthorization(std::function<void(bool authorized)> done)
{
    Notifier* primary = m_primary;
    if (!primary) {
        if (Notifier* only = m_fallback) {
            only->checkAuthorization(std::move(done));
        } else {
            done(false);
        }
        return;
    }
    QPointer<Notifier> fallback = m_fallback;
    primary->checkAuthorization([fallback, done = std::move(done)](bool authorized) {
        Notifier* next = fallback;
        if (authorized || !next) {
            done(authorized);
            return;
        }
        next->checkAuthorization(done);
    });
}

void FallbackNotifier::requestAuthorization(std::function<void(bool granted, const QString& error)> done)
{
    Notifier* primary = m_primary;
    if (!primary) {
        if (Notifier* only = m_fallback) {
            only->requestAuthorization(std::move(done));
        } else {
            done(false, tr("No way to show notifications"));
        }
        return;
    }
    QPointer<Notifier> fallback = m_fallback;
    primary->requestAuthorization([fallback, done = std::move(done)](bool granted, const QString& error) {
        Notifier* next = fallback;
        if (granted || !next) {
            done(granted, granted ? QString() : error);
            return;
        }
        next->requestAuthorization([error, done](bool fallbackGranted, const QString& fallbackError) {
            if (fallbackGranted) {
                done(true, QString());
            } else {
                done(false, error.isEmpty() ? fallbackError : error);
            }
        });
    });
}
