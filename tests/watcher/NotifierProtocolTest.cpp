#include "DesktopSession.h"
#include "desktop/DBusNotifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using tw::test::DesktopSession;

// A notification server under the test's control, for what a real daemon does only by chance: the
// click signal overtaking the reply that carries the id, and a server that does not answer at all.
class ControlledServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit ControlledServer(const QDBusConnection& bus)
        : m_bus(bus)
    {
    }

    QList<QDBusMessage> pending; // Notify calls not answered yet
    QStringList bodies;          // the body of each Notify call

    void reply(qsizetype index, uint id) { m_bus.send(pending[index].createReply(QVariant::fromValue(id))); }
    void sendSignal(const QString& name, const QVariantList& arguments)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body, const QStringList&,
                const QVariantMap&, int, const QDBusMessage& message)
    {
        bodies.append(body);
        message.setDelayedReply(true);
        pending.append(message);
        return 0;
    }

private:
    QDBusConnection m_bus;
};

// An alert of rule "r" about `path`, as the intake would hand it over.
Notifier::Notification alertAbout(const QString& path, Notifier::Urgency urgency = Notifier::Urgency::Normal)
{
    return {QStringLiteral("\u2757 High: r"), path, urgency, path, QStringLiteral("r"), QString()};
}

class NotifierProtocolTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void clickBeforeTheIdReplyIsNotLost();
    void silentServerBlocksNothing();
    void plainTextServerGetsThePathUnescaped();

private:
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<ControlledServer> m_server;
    std::unique_ptr<DBusNotifier> m_notifier;
};

void NotifierProtocolTest::init()
{
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isUp(), qPrintable(m_desktop->error()));
    m_desktop->stopNotificationDaemon();

    QDBusConnection serverBus =
        QDBusConnection::connectToBus(m_desktop->busAddress(), QStringLiteral("server"));
    QVERIFY2(serverBus.isConnected(), qPrintable(serverBus.lastError().message()));
    m_server = std::make_unique<ControlledServer>(serverBus);
    QVERIFY(serverBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), m_server.get(),
                                     QDBusConnection::ExportAllSlots));
    QVERIFY(serverBus.registerService(QStringLiteral("org.freedesktop.Notifications")));

    const QDBusConnection clientBus =
        QDBusConnection::connectToBus(m_desktop->busAddress(), QStringLiteral("client"));
    QVERIFY(clientBus.isConnected());
    m_notifier = std::make_unique<DBusNotifier>(clientBus);
}

void NotifierProtocolTest::cleanup()
{
    m_notifier.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    m_server.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    m_desktop.reset();
}

void NotifierProtocolTest::clickBeforeTheIdReplyIsNotLost()
{
    QSignalSpy activated(m_notifier.get(), &Notifier::activated);
    m_notifier->notify(alertAbout(QStringLiteral("/p"), Notifier::Urgency::Critical));
    QTRY_COMPARE(m_server->pending.size(), 1);

    // The daemon's signals are sent before its reply, so they arrive first.
    m_server->sendSignal(QStringLiteral("ActionInvoked"), {uint(7), QStringLiteral("default")});
    m_server->reply(0, 7);
    QTRY_COMPARE(activated.size(), 1);
    QCOMPARE(activated[0][0].toString(), QStringLiteral("/p"));
    QCOMPARE(activated[0][1].toString(), QStringLiteral("r"));
    QCOMPARE(m_notifier->openNotificationCount(), 1);

    // Signals about another application's notifications change nothing.
    m_server->sendSignal(QStringLiteral("ActionInvoked"), {uint(8), QStringLiteral("default")});
    m_server->sendSignal(QStringLiteral("NotificationClosed"), {uint(7), uint(2)});
    QTRY_COMPARE(m_notifier->openNotificationCount(), 0);
    QCOMPARE(activated.size(), 1);
}

void NotifierProtocolTest::silentServerBlocksNothing()
{
    // The server takes the call and never answers: notify() and the authorisation check still return
    // at once (a blocking call would wait for the bus's 25 s timeout), and the event loop keeps running.
    QElapsedTimer clock;
    clock.start();
    m_notifier->notify(alertAbout(QStringLiteral("/p")));
    std::optional<bool> authorized;
    m_notifier->checkAuthorization([&](bool ok) { authorized = ok; });
    QVERIFY(clock.elapsed() < 5000);
    QTRY_COMPARE(m_server->pending.size(), 1);
    QTRY_VERIFY(authorized.has_value());
    QVERIFY(*authorized);
    QCOMPARE(m_notifier->openNotificationCount(), 0);
}

void NotifierProtocolTest::plainTextServerGetsThePathUnescaped()
{
    // This server has no "body-markup": escaping would show "&amp;" in the path.
    QTRY_VERIFY(!m_notifier->escapesBody());
    m_notifier->notify(alertAbout(QStringLiteral("/a&b/<c>")));
    QTRY_COMPARE(m_server->bodies, QStringList{QStringLiteral("/a&b/<c>")});
}

QTEST_GUILESS_MAIN(NotifierProtocolTest)
#include "NotifierProtocolTest.moc"
