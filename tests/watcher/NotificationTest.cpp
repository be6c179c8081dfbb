#include "DesktopSession.h"
#include "desktop/DBusNotifier.h"
#include "watcher/Intake.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

using tw::test::DesktopSession;
using Shown = QList<DesktopSession::Notification>;

// A notification server under the test's control, for what a real daemon does only by chance: the
// click signal overtaking the reply that carries the id, and a server that does not answer at all.
class ControlledServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit ControlledServer(const QDBusConnection& bus)
        : bus(bus)
    {
    }

    QDBusConnection bus;
    QList<QDBusMessage> pending; // Notify calls not answered yet
    QStringList bodies;          // the body of each Notify call

    void sendSignal(const QString& name, const QVariantList& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                                         u"org.freedesktop.Notifications"_s, name);
        signal.setArguments(arguments);
        bus.send(signal);
    }

public slots:
    QStringList GetCapabilities() { return {u"actions"_s, u"body"_s}; }

    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body, const QStringList&,
                const QVariantMap&, int, const QDBusMessage& message)
    {
        bodies.append(body);
        message.setDelayedReply(true);
        pending.append(message);
        return 0;
    }
};

class NotificationTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_desktop = std::make_unique<DesktopSession>();
        QVERIFY2(m_desktop->isUp(), qPrintable(m_desktop->error()));
        connectNotifier();
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && m_desktop)
            qWarning().noquote() << m_desktop->logs();
        m_intake.reset();
        m_notifier.reset();
        QDBusConnection::disconnectFromBus(client);
        m_server.reset();
        QDBusConnection::disconnectFromBus(server);
        m_desktop.reset();
    }

    // How an alert looks on the desktop (a click on it: EndToEndTest); a file name is sent escaped, not
    // read as markup. Without a notification service there is nothing to authorise.
    void alertsAreShownAndAuthorized()
    {
        m_intake->postAlert(u"rule-one"_s, u"critical"_s, u"/first"_s);
        m_intake->postAlert(u"rule-two"_s, u"high"_s, u"/tmp/a&b/<i>x</i>.sh"_s);
        Shown shown;
        QTRY_COMPARE_WITH_TIMEOUT((shown = m_desktop->notifications()).size(), 2, 10000);
        QCOMPARE(shown[1].actions, QStringList{u"default"_s});
        QCOMPARE(shown[0].summary, u"\u26D4 Critical: rule-one"_s);
        QCOMPARE(shown[0].body, u"/first"_s);
        QCOMPARE(shown[0].urgency, u"CRITICAL"_s);
        QCOMPARE(shown[1].summary, u"\u2757 High: rule-two"_s);
        QCOMPARE(shown[1].body, u"/tmp/a&amp;b/&lt;i&gt;x&lt;/i&gt;.sh"_s);
        QCOMPARE(shown[1].urgency, u"NORMAL"_s);
        QTRY_COMPARE(m_notifier->openNotificationCount(), 2);
        QCOMPARE(m_desktop->run(u"dunstctl"_s, {u"close-all"_s}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_notifier->openNotificationCount(), 0, 10000);

        for (const bool up : {true, false}) {
            if (!up)
                m_desktop->stopNotificationDaemon();
            std::optional<bool> authorized;
            std::optional<std::pair<bool, QString>> request;
            m_notifier->checkAuthorization([&](bool ok) { authorized = ok; });
            m_notifier->requestAuthorization([&](bool granted, const QString& error) {
                request = {granted, error};
            });
            QTRY_VERIFY(authorized.has_value() && request.has_value());
            QCOMPARE(*authorized, up);
            QCOMPARE(request->first, up);
            QCOMPARE(request->second.isEmpty(), up);
        }
    }

    // The counts of a flood: IntakeTest. Here: each alert its own bubble, then one summary bubble that
    // is updated in place while the flood goes on.
    void floodIsGatheredIntoOneBubble()
    {
        const int bound = m_intake->flood().maxAlerts();
        Shown shown;
        int posted = 0;
        for (const int more : {15, 20}) {
            for (; posted < bound + more; ++posted)
                m_intake->postAlert(u"r"_s, u"critical"_s, u"/f"_s);
            QTRY_VERIFY_WITH_TIMEOUT(
                (shown = m_desktop->notifications(),
                 !shown.isEmpty() && shown.last().summary == u"\u26D4 %1 more alerts"_s.arg(more)),
                10000);
        }
        QSet<uint> ids;
        for (const auto& n : shown)
            ids.insert(n.id);
        QCOMPARE(ids.size(), bound + 1);
        QCOMPARE(shown.last().urgency, u"CRITICAL"_s);
    }

    // A click that overtakes the reply carrying the id is not lost. The server never answers the second
    // call: notify() and the authorisation check still return at once (a blocking call would wait for the
    // bus's 25 s timeout). It has no "body-markup" either: escaping would show "&amp;" in the path.
    void controlledServer()
    {
        startControlledServer();
        QSignalSpy activated(m_notifier.get(), &Notifier::activated);
        m_notifier->notify(alertAbout(u"/p"_s));
        QTRY_COMPARE(m_server->pending.size(), 1);

        // The daemon's signals are sent before its reply, so they arrive first.
        m_server->sendSignal(u"ActionInvoked"_s, {uint(7), u"default"_s});
        m_server->bus.send(m_server->pending[0].createReply(QVariant::fromValue(uint(7))));
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated[0], (QVariantList{u"/p"_s, u"r"_s}));
        QCOMPARE(m_notifier->openNotificationCount(), 1);

        // Signals about another application's notifications change nothing.
        m_server->sendSignal(u"ActionInvoked"_s, {uint(8), u"default"_s});
        m_server->sendSignal(u"NotificationClosed"_s, {uint(7), uint(2)});
        QTRY_COMPARE(m_notifier->openNotificationCount(), 0);
        QCOMPARE(activated.size(), 1);

        QTRY_VERIFY(!m_notifier->escapesBody());
        QElapsedTimer clock;
        clock.start();
        m_notifier->notify(alertAbout(u"/a&b/<c>"_s));
        std::optional<bool> authorized;
        m_notifier->checkAuthorization([&](bool ok) { authorized = ok; });
        QVERIFY(clock.elapsed() < 5000);
        QTRY_COMPARE(m_server->bodies, (QStringList{u"/p"_s, u"/a&b/<c>"_s}));
        QTRY_COMPARE(authorized, std::optional<bool>(true));
        QCOMPARE(m_notifier->openNotificationCount(), 0);
    }

private:
    static inline const QString client = u"notification-test-client"_s;
    static inline const QString server = u"notification-test-server"_s;

    void connectNotifier()
    {
        m_intake.reset();
        m_notifier.reset();
        const QDBusConnection bus = QDBusConnection::connectToBus(m_desktop->busAddress(), client);
        QVERIFY2(bus.isConnected(), qPrintable(bus.lastError().message()));
        m_notifier = std::make_unique<DBusNotifier>(bus);
        m_intake = std::make_unique<Intake>(m_notifier.get());
    }

    // Replaces dunst with a ControlledServer, and the notifier with one that has only known that.
    void startControlledServer()
    {
        m_desktop->stopNotificationDaemon();
        QDBusConnection bus = QDBusConnection::connectToBus(m_desktop->busAddress(), server);
        QVERIFY2(bus.isConnected(), qPrintable(bus.lastError().message()));
        m_server = std::make_unique<ControlledServer>(bus);
        QVERIFY(bus.registerObject(u"/org/freedesktop/Notifications"_s, m_server.get(),
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(u"org.freedesktop.Notifications"_s));
        connectNotifier();
    }

    // An alert of rule "r" about `path`, as the intake would hand it over.
    static Notifier::Notification alertAbout(const QString& path)
    {
        return {u"\u2757 High: r"_s, path, Notifier::Urgency::Normal, path, u"r"_s, QString()};
    }

    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<ControlledServer> m_server;
    std::unique_ptr<DBusNotifier> m_notifier;
    std::unique_ptr<Intake> m_intake;
};

QTEST_GUILESS_MAIN(NotificationTest)
#include "NotificationTest.moc"
