#include "watcher/Intake.h"
#include "StubNotifier.h"
#include "watcher/WatcherStatus.h"

#include "records/ModelContainer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Intake against a real store file.
class IntakeTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QString error;
        static int serial = 0;
        m_store =
            ModelContainer::open(m_dir.filePath(QStringLiteral("store-%1.sqlite").arg(++serial)), &error);
        QVERIFY2(m_store, qPrintable(error));
        // Saving must come from the intake itself, not from the autosave.
        m_store->setAutosaveDelay(std::chrono::hours(1));
        WatcherStatus::shared().setModelContainer(m_store.get());
        m_notifier.shown.clear();
    }

    void cleanup()
    {
        WatcherStatus::shared().setModelContainer(nullptr);
        m_store.reset();
    }

    // Two identical events are two findings and two alerts.
    void eventsBecomeFindingsInOrderAndAreSaved()
    {
        Intake intake(&m_notifier);
        intake.ingest({event(QStringLiteral("/one"), QStringLiteral("critical"), QStringLiteral("ra"),
                             {QStringLiteral("created"), QStringLiteral("modified")}),
                       event(QStringLiteral("/two"), QStringLiteral("warning"), QStringLiteral("rb"), {}),
                       event(QStringLiteral("/three"), QStringLiteral("high"), QStringLiteral("rc")),
                       event(QStringLiteral("/three"), QStringLiteral("high"), QStringLiteral("rc"))});

        QVERIFY(!m_store->mainContext().hasChanges());
        const QList<Finding> saved = savedFindings();
        QCOMPARE(saved.size(), 4);
        // Newest first; findings of one read share a millisecond at most, and the later insert lists first.
        QCOMPARE(saved[3].path(), QStringLiteral("/one"));
        QCOMPARE(saved[2].path(), QStringLiteral("/two"));
        QCOMPARE(saved[1].path(), QStringLiteral("/three"));
        QCOMPARE(saved[0].path(), QStringLiteral("/three"));
        QVERIFY(!(saved[0] == saved[1]));
        QVERIFY(saved[3].timestamp() <= saved[2].timestamp() && saved[2].timestamp() <= saved[1].timestamp());
        QCOMPARE(saved[3].ruleName(), QStringLiteral("ra"));
        QCOMPARE(saved[3].severity(), QStringLiteral("critical"));
        QCOMPARE(saved[3].eventTypes(), (QStringList{QStringLiteral("created"), QStringLiteral("modified")}));
        QCOMPARE(saved[2].eventTypes(), QStringList{});

        // Alerts in list order, only for the alert severities.
        QCOMPARE(m_notifier.shown.size(), 3);
        QCOMPARE(m_notifier.shown[0].summary, QStringLiteral("\u26D4 Critical: ra"));
        QCOMPARE(m_notifier.shown[0].body, QStringLiteral("/one"));
        QCOMPARE(m_notifier.shown[0].path, QStringLiteral("/one"));
        QCOMPARE(m_notifier.shown[0].rule, QStringLiteral("ra"));
        QCOMPARE(m_notifier.shown[0].urgency, Notifier::Urgency::Critical);
        QCOMPARE(m_notifier.shown[1].summary, QStringLiteral("\u2757 High: rc"));
        QCOMPARE(m_notifier.shown[1].urgency, Notifier::Urgency::Normal);
        QCOMPARE(m_notifier.shown[1].rule, QStringLiteral("rc"));
        QCOMPARE(m_notifier.shown[2].path, QStringLiteral("/three"));
    }

    void onlyCriticalAndHighRaiseAlerts_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<bool>("alert");
        QTest::newRow("critical") << "critical" << true;
        QTest::newRow("high") << "high" << true;
        QTest::newRow("Critical") << "Critical" << false;
        QTest::newRow("HIGH") << "HIGH" << false;
        QTest::newRow("critical with space") << "critical " << false;
        QTest::newRow("warning") << "warning" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("unknown") << "info" << false;
    }

    void onlyCriticalAndHighRaiseAlerts()
    {
        QFETCH(QString, severity);
        QFETCH(bool, alert);
        Intake intake(&m_notifier);
        intake.ingest({event(QStringLiteral("/p"), severity)});
        QCOMPARE(m_notifier.shown.size(), alert ? 1 : 0);
        const QList<Finding> saved = savedFindings();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].severity(), severity);
    }

    void withoutStoreNothingHappens()
    {
        WatcherStatus::shared().setModelContainer(nullptr);
        Intake intake(&m_notifier);
        intake.ingest({event(QStringLiteral("/p"))});
        QCOMPARE(m_notifier.shown.size(), 0);
        QCOMPARE(savedFindings().size(), 0);
    }

    void floodKeepsEveryFinding()
    {
        Intake intake(&m_notifier);
        QList<WatchEvent> burst;
        for (int i = 0; i < 200; ++i)
            burst.append(event(QStringLiteral("/f%1").arg(i),
                               i % 4 ? QStringLiteral("high") : QStringLiteral("critical")));
        intake.ingest(burst);

        QCOMPARE(savedFindings().size(), 200);
        const int bound = intake.flood().maxAlerts();
        QCOMPARE(m_notifier.shown.size(), bound); // the summary comes once the read is through
        QTRY_COMPARE(m_notifier.shown.size(), bound + 1);
        const Notifier::Notification& summary = m_notifier.shown.last();
        QCOMPARE(summary.summary, QStringLiteral("\u26D4 190 more alerts"));
        QVERIFY2(summary.body.startsWith(QStringLiteral("47 critical, 143 high.")), qPrintable(summary.body));
        QVERIFY(summary.body.contains(QStringLiteral("/f199")));
        QVERIFY(!summary.replaceKey.isEmpty());
        QVERIFY(summary.path.isEmpty() && summary.rule.isEmpty());
    }

    void namesAreShownWithHiddenCharactersAsTokens_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line feed") << QStringLiteral("/w/a\nScan complete: no threats found.")
                                   << QStringLiteral(
                                          "/w/a\u27E8U+000A\u27E9Scan complete: no threats found.");
        QTest::newRow("bidi override")
            << QStringLiteral("/w/\u202Ehs.txt") << QStringLiteral("/w/\u27E8U+202E\u27E9hs.txt");
        QTest::newRow("zero width and tag") << QStringLiteral("/w/a\u200B\U000E0041")
                                            << QStringLiteral("/w/a\u27E8U+200B\u27E9\u27E8U+E0041\u27E9");
        QTest::newRow("no-break space, escape, DEL")
            << QStringLiteral("/w/a\u00A0\x1B[2J\x7F")
            << QStringLiteral("/w/a\u27E8U+00A0\u27E9\u27E8U+001B\u27E9[2J\u27E8U+007F\u27E9");
        QTest::newRow("letters of any script stay") << QStringLiteral("/w/caf\u00E9 \u65E5\u672C \U0001F600")
                                                    << QStringLiteral("/w/caf\u00E9 \u65E5\u672C \U0001F600");
    }

    // The notification shows a name on one line, in stored order; the stored finding keeps it exactly.
    void namesAreShownWithHiddenCharactersAsTokens()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        Intake intake(&m_notifier);
        intake.ingest({event(path)});
        QCOMPARE(m_notifier.shown.size(), 1);
        QCOMPARE(m_notifier.shown[0].body, shown);
        QCOMPARE(m_notifier.shown[0].path, path);
        QCOMPARE(savedFindings().first().path(), path);
    }

    void ignoredFindingsAreStoredWithoutAlert_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("alert");
        auto row = [](const char* name, const char* path, const char* rule, bool alert) {
            QTest::newRow(name) << QString::fromUtf8(path) << QString::fromUtf8(rule) << alert;
        };
        row("the ignored file", "/w/a/hook", "r", false);
        row("below the ignored folder", "/w/b/deep/x", "r", false);
        row("a name that only starts like the folder", "/w/bc/x", "r", true);
        row("another rule on the ignored file", "/w/a/hook", "other", true);
        row("a file beside the ignored one", "/w/a/hook2", "r", true);
    }

    void ignoredFindingsAreStoredWithoutAlert()
    {
        QFETCH(QString, path);
        QFETCH(QString, rule);
        QFETCH(bool, alert);
        QVERIFY(m_store->mainContext().addIgnore(
            RuleIgnore(QStringLiteral("r"), QStringLiteral("/w/a/hook"), false)));
        QVERIFY(
            m_store->mainContext().addIgnore(RuleIgnore(QStringLiteral("r"), QStringLiteral("/w/b/"), true)));
        Intake intake(&m_notifier);
        WatchEvent explained = event(path, QStringLiteral("critical"), rule);
        explained.description = QStringLiteral("Runs a downloaded payload");
        explained.lines = {2, 9};
        intake.ingest({explained});
        QCOMPARE(m_notifier.shown.size(), alert ? 1 : 0);
        const QList<Finding> saved = savedFindings();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].path(), path);
        QCOMPARE(saved[0].description(), explained.description);
        QCOMPARE(saved[0].lines(), explained.lines);
    }

private:
    static WatchEvent event(const QString& path, const QString& severity = QStringLiteral("critical"),
                            const QString& rule = QStringLiteral("r"),
                            const QStringList& types = {QStringLiteral("created")})
    {
        return WatchEvent{path, types, rule, severity, {}};
    }
    QList<Finding> savedFindings();

    QTemporaryDir m_dir;
    std::unique_ptr<ModelContainer> m_store;
    StubNotifier m_notifier;
};

QList<Finding> IntakeTest::savedFindings()
{
    // A fresh context sees only what has been saved to the file.
    return m_store->newContext()->fetchNewestFindings(1000).value_or(QList<Finding>{});
}

QTEST_GUILESS_MAIN(IntakeTest)
#include "IntakeTest.moc"
