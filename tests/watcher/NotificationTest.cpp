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

// The D-Bus notifier against a real dunst on a private session bus under Xvfb, and against a server
// under the test's control in its place.
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

    void alertAsShown_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("urgency");
        QTest::newRow("critical") << "critical"
                                  << "/home/u/p/.git/hooks/pre-commit" << QStringLiteral("\u26D4 Critical: r")
                                  << "/home/u/p/.git/hooks/pre-commit"
                                  << "CRITICAL";
        // A file name must not be read as markup by the daemon: it is sent escaped.
        QTest::newRow("high, markup characters in the path")
            << "high"
            << "/tmp/a&b/<i>x</i>.sh" << QStringLiteral("\u2757 High: r")
            << "/tmp/a&amp;b/&lt;i&gt;x&lt;/i&gt;.sh"
            << "NORMAL";
    }

    void alertAsShown()
    {
        QFETCH(QString, severity);
        QFETCH(QString, path);
        m_intake->postAlert(QStringLiteral("r"), severity, path);
        const Shown shown = waitForNotifications(1);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].appName, QStringLiteral("Tarnwick"));
        QTEST(shown[0].summary, "summary");
        QTEST(shown[0].body, "body");
        QTEST(shown[0].urgency, "urgency");
        QCOMPARE(shown[0].actions, QStringList{QStringLiteral("default")});
    }

    void clickReportsPathAndRuleAndClosedAreForgotten()
    {
        QSignalSpy activated(m_notifier.get(), &Notifier::activated);
        m_intake->postAlert(QStringLiteral("rule-one"), QStringLiteral("critical"), QStringLiteral("/first"));
        waitForNotifications(1);
        m_intake->postAlert(QStringLiteral("rule-two"), QStringLiteral("high"), QStringLiteral("/second"));
        QCOMPARE(waitForNotifications(2).size(), 2);
        QTRY_COMPARE(m_notifier->openNotificationCount(), 2);

        // Position 0 is the oldest notification on screen.
        QCOMPARE(m_desktop->dunstctl({QStringLiteral("action"), QStringLiteral("0")}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(activated.size(), 1, 10000);
        QCOMPARE(activated[0][0].toString(), QStringLiteral("/first"));
        QCOMPARE(activated[0][1].toString(), QStringLiteral("rule-one"));

        QCOMPARE(m_desktop->dunstctl({QStringLiteral("close-all")}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_notifier->openNotificationCount(), 0, 10000);
    }

    void authorization()
    {
        // With dunst on the bus, then without a notification service: then there is nothing to authorise.
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
                m_intake->postAlert(QStringLiteral("r"), QStringLiteral("critical"), QStringLiteral("/f"));
            QTRY_VERIFY_WITH_TIMEOUT(
                (shown = m_desktop->notifications(),
                 !shown.isEmpty() &&
                     shown.last().summary == QStringLiteral("\u26D4 %1 more alerts").arg(more)),
                10000);
        }
        QSet<uint> ids;
        for (const auto& n : shown)
            ids.insert(n.id);
        QCOMPARE(ids.size(), bound + 1);
        QCOMPARE(shown.last().urgency, QStringLiteral("CRITICAL"));
    }

    void clickBeforeTheIdReplyIsNotLost()
    {
        startControlledServer();
        QSignalSpy activated(m_notifier.get(), &Notifier::activated);
        m_notifier->notify(alertAbout(QStringLiteral("/p")));
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

    // The server takes the call and never answers: notify() and the authorisation check still return at
    // once (a blocking call would wait for the bus's 25 s timeout). It has no "body-markup" either:
    // escaping would show "&amp;" in the path.
    void silentPlainTextServerBlocksNothing()
    {
        startControlledServer();
        QTRY_VERIFY(!m_notifier->escapesBody());
        QElapsedTimer clock;
        clock.start();
        m_notifier->notify(alertAbout(QStringLiteral("/a&b/<c>")));
        std::optional<bool> authorized;
        m_notifier->checkAuthorization([&](bool ok) { authorized = ok; });
        QVERIFY(clock.elapsed() < 5000);
        QTRY_COMPARE(m_server->bodies, QStringList{QStringLiteral("/a&b/<c>")});
        QTRY_VERIFY(authorized.has_value());
        QVERIFY(*authorized);
        QCOMPARE(m_notifier->openNotificationCount(), 0);
    }

private:
    static inline const QString client = QStringLiteral("notification-test-client");
    static inline const QString server = QStringLiteral("notification-test-server");

    Shown waitForNotifications(qsizetype count)
    {
        // The caller compares the count and reports the difference.
        Shown shown;
        (void)QTest::qWaitFor([&] { return (shown = m_desktop->notifications()).size() >= count; }, 10000);
        return shown;
    }

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
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), m_server.get(),
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        connectNotifier();
    }

    // An alert of rule "r" about `path`, as the intake would hand it over.
    static Notifier::Notification alertAbout(const QString& path)
    {
        return {QStringLiteral("\u2757 High: r"),
                path,
                Notifier::Urgency::Normal,
                path,
                QStringLiteral("r"),
                QString()};
    }

    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<ControlledServer> m_server;
    std::unique_ptr<DBusNotifier> m_notifier;
    std::unique_ptr<Intake> m_intake;
};

QTEST_GUILESS_MAIN(NotificationTest)
#include "NotificationTest.moc"
