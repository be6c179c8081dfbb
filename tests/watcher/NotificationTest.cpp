#include "DesktopSession.h"
#include "desktop/DBusNotifier.h"
#include "watcher/Intake.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using tw::test::DesktopSession;

// Against a real dunst on a private session bus under Xvfb.
class NotificationTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_desktop = std::make_unique<DesktopSession>();
        QVERIFY2(m_desktop->isUp(), qPrintable(m_desktop->error()));
        static int serial = 0;
        m_connectionName = QStringLiteral("notification-test-%1").arg(++serial);
        const QDBusConnection bus = QDBusConnection::connectToBus(m_desktop->busAddress(), m_connectionName);
        QVERIFY2(bus.isConnected(), qPrintable(bus.lastError().message()));
        m_notifier = std::make_unique<DBusNotifier>(bus);
        m_intake = std::make_unique<Intake>(m_notifier.get());
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && m_desktop)
            qWarning().noquote() << m_desktop->logs();
        m_intake.reset();
        m_notifier.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_desktop.reset();
    }

    void alertAsShown_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("urgency");

        auto row = [](const char* name, const char* severity, const char* rule, const char* path,
                      const QString& summary, const char* body, const char* urgency) {
            QTest::newRow(name) << severity << rule << path << summary << body << urgency;
        };
        row("critical", "critical", "git-hook-added", "/home/u/p/.git/hooks/pre-commit",
            QStringLiteral("\u26D4 Critical: git-hook-added"), "/home/u/p/.git/hooks/pre-commit", "CRITICAL");
        row("high", "high", "npm-lifecycle", "/home/u/p/package.json",
            QStringLiteral("\u2757 High: npm-lifecycle"), "/home/u/p/package.json", "NORMAL");
        // A file name must not be read as markup by the daemon: it is sent escaped.
        row("path with markup characters", "critical", "r", "/tmp/a&b/<i>x</i>.sh",
            QStringLiteral("\u26D4 Critical: r"), "/tmp/a&amp;b/&lt;i&gt;x&lt;/i&gt;.sh", "CRITICAL");
    }

    void alertAsShown()
    {
        QFETCH(QString, severity);
        QFETCH(QString, rule);
        QFETCH(QString, path);
        QFETCH(QString, summary);
        QFETCH(QString, body);
        QFETCH(QString, urgency);

        m_intake->postAlert(rule, severity, path);
        const auto shown = waitForNotifications(1);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].appName, QStringLiteral("Tarnwick"));
        QCOMPARE(shown[0].summary, summary);
        QCOMPARE(shown[0].body, body);
        QCOMPARE(shown[0].urgency, urgency);
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

    void floodIsGatheredIntoOneSummary()
    {
        const int bound = m_intake->flood().maxAlerts();
        const int total = bound + 15;
        for (int i = 0; i < total; ++i)
            m_intake->postAlert(QStringLiteral("rule-%1").arg(i),
                                i % 2 ? QStringLiteral("high") : QStringLiteral("critical"),
                                QStringLiteral("/f%1").arg(i));

        // The first `bound` alerts individually, then one summary bubble that names every gathered alert.
        QList<DesktopSession::Notification> shown;
        QTRY_VERIFY_WITH_TIMEOUT(
            (shown = m_desktop->notifications(),
             !shown.isEmpty() && shown.last().summary.contains(QStringLiteral("15 more alerts"))),
            10000);
        QSet<uint> ids;
        int individual = 0;
        for (const auto& n : shown) {
            ids.insert(n.id);
            if (n.summary.contains(QStringLiteral("Critical: ")) ||
                n.summary.contains(QStringLiteral("High: ")))
                ++individual;
        }
        QCOMPARE(individual, bound);
        QCOMPARE(ids.size(), bound + 1);
        const DesktopSession::Notification summary = shown.last();
        QCOMPARE(summary.summary, QStringLiteral("\u26D4 15 more alerts"));
        QVERIFY2(summary.body.startsWith(QStringLiteral("8 critical, 7 high.")), qPrintable(summary.body));
        QCOMPARE(summary.urgency, QStringLiteral("CRITICAL"));

        // The flood goes on: the same bubble is updated, not a new one raised.
        for (int i = 0; i < 5; ++i)
            m_intake->postAlert(QStringLiteral("late"), QStringLiteral("high"),
                                QStringLiteral("/late%1").arg(i));
        QTRY_VERIFY_WITH_TIMEOUT((shown = m_desktop->notifications(),
                                  shown.last().summary == QStringLiteral("\u26D4 20 more alerts")),
                                 10000);
        QCOMPARE(shown.last().id, summary.id);
    }

private:
    QList<DesktopSession::Notification> waitForNotifications(qsizetype count);

    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<DBusNotifier> m_notifier;
    std::unique_ptr<Intake> m_intake;
    QString m_connectionName;
};

QList<DesktopSession::Notification> NotificationTest::waitForNotifications(qsizetype count)
{
    // The caller compares the count and reports the difference.
    QList<DesktopSession::Notification> shown;
    (void)QTest::qWaitFor([&] { return (shown = m_desktop->notifications()).size() >= count; }, 10000);
    return shown;
}

QTEST_GUILESS_MAIN(NotificationTest)
#include "NotificationTest.moc"
