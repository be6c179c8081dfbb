// Alerts reach the user without a notification service: the choice between the service and the
// tray's balloon, the combined permission answers, the balloon notifier itself, and, on a real private
// bus with dunst, the watch that follows the service coming and going.

#include "DesktopSession.h"
#include "StubNotifier.h"

#include "desktop/FallbackNotifier.h"
#include "desktop/TrayNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Notifier::Notification alert(const QString& path)
{
    return {u"\u26D4 Critical: hook"_s, path, Notifier::Urgency::Critical, path, u"hook"_s, QString()};
}

} // namespace

class FallbackNotifierTest : public QObject
{
    Q_OBJECT
private slots:
    void notificationsGoWhereTheyCanBeShownAndClicksOfEitherComeOut()
    {
        StubNotifier service;
        StubNotifier balloon;
        bool serviceUp = true;
        FallbackNotifier notifier(&service, &balloon, [&] { return serviceUp; });
        QSignalSpy activated(&notifier, &Notifier::activated);
        notifier.notify(alert(u"/a"_s));
        serviceUp = false;
        notifier.notify(alert(u"/b"_s));
        serviceUp = true;
        notifier.notify(alert(u"/c"_s));
        QCOMPARE(service.shown.size(), 2);
        QCOMPARE(service.shown.at(0).path, u"/a"_s);
        QCOMPARE(service.shown.at(1).path, u"/c"_s);
        QCOMPARE(balloon.shown.size(), 1);
        QCOMPARE(balloon.shown.at(0).path, u"/b"_s);
        service.click(u"/a"_s, u"r1"_s);
        balloon.click(u"/b"_s, u"r2"_s);
        QCOMPARE(activated, (QList<QVariantList>{{u"/a"_s, u"r1"_s}, {u"/b"_s, u"r2"_s}}));

        // Without a bus at all there is only the balloon.
        FallbackNotifier busless(nullptr, &balloon, [] { return true; });
        busless.notify(alert(u"/d"_s));
        QCOMPARE(balloon.shown.size(), 2);
    }

    // Authorised when either is; refused with the service's reason.
    void authorization()
    {
        const QList<std::tuple<bool, bool, bool>> rows{
            {true, false, true}, {false, true, true}, {false, false, false}};
        for (const auto& [serviceAuthorized, balloonAuthorized, authorized] : rows) {
            StubNotifier service;
            service.authorized = service.grant = serviceAuthorized;
            service.error = u"service reason"_s;
            StubNotifier balloon;
            balloon.authorized = balloon.grant = balloonAuthorized;
            balloon.error = u"balloon reason"_s;
            FallbackNotifier notifier(&service, &balloon, [] { return true; });
            std::optional<bool> checked;
            std::optional<QPair<bool, QString>> requested;
            notifier.checkAuthorization([&](bool answer) { checked = answer; });
            notifier.requestAuthorization(
                [&](bool granted, const QString& reason) { requested = qMakePair(granted, reason); });
            QTRY_VERIFY(checked && requested);
            QCOMPARE(*checked, authorized);
            QCOMPARE(*requested, qMakePair(authorized, authorized ? QString() : u"service reason"_s));
        }
    }

    void balloonWithoutStatusAreaIsRefusedButClicksLeadBack()
    {
        QSystemTrayIcon icon;
        TrayNotifier notifier(&icon);
        QVERIFY(!TrayNotifier::canShowMessages());
        std::optional<bool> authorized;
        notifier.checkAuthorization([&](bool answer) { authorized = answer; });
        std::optional<QString> error;
        notifier.requestAuthorization(
            [&](bool granted, const QString& reason) { error = granted ? QString() : reason; });
        QTRY_VERIFY(authorized.has_value() && error.has_value());
        QVERIFY(!*authorized);
        QVERIFY(!error->isEmpty());

        // A click on the balloon leads back to the finding it announced.
        QSignalSpy activated(&notifier, &Notifier::activated);
        notifier.notify(alert(u"/p/hook"_s));
        emit icon.messageClicked();
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.first(), (QVariantList{u"/p/hook"_s, u"hook"_s}));
    }

    void watchFollowsTheNotificationService()
    {
        tw::test::DesktopSession desktop;
        QVERIFY2(desktop.isUp(), qPrintable(desktop.error()));
        const QDBusConnection bus = QDBusConnection::connectToBus(desktop.busAddress(), u"watch-test"_s);
        QVERIFY(bus.isConnected());
        {
            NotificationServiceWatch watch(bus);
            QSignalSpy changed(&watch, &NotificationServiceWatch::serviceUpChanged);
            QVERIFY(watch.isServiceUp());
            // A round trip on the same connection: the bus answered the watch's own question before this
            // one, so once the queued answers are handled the watch has heard the service is there.
            QVERIFY(bus.interface()->isServiceRegistered(u"org.freedesktop.Notifications"_s));
            QCoreApplication::processEvents();
            QVERIFY(watch.isServiceUp());
            QCOMPARE(changed.size(), 0);
            desktop.stopNotificationDaemon();
            QTRY_VERIFY_WITH_TIMEOUT(!watch.isServiceUp(), 10000);
            QCOMPARE(changed.size(), 1);
        }
        {
            // Started with no service on the bus: the first answer says so.
            NotificationServiceWatch watch(bus);
            QTRY_VERIFY_WITH_TIMEOUT(!watch.isServiceUp(), 10000);
        }
        QDBusConnection::disconnectFromBus(u"watch-test"_s);
        // No bus at all: no service.
        NotificationServiceWatch busless(QDBusConnection(u"not-connected"_s));
        QVERIFY(!busless.isServiceUp());
    }
};

QTEST_MAIN(FallbackNotifierTest)
#include "FallbackNotifierTest.moc"
