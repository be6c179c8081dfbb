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

    // Two identical events are two findings and two alerts; only exactly "critical" and "high" alert.
    void eventsBecomeFindingsInOrderAndAreSaved()
    {
        Intake intake(&m_notifier);
        intake.ingest({event(QStringLiteral("/one"), QStringLiteral("critical"), QStringLiteral("ra"),
                             {QStringLiteral("created"), QStringLiteral("modified")}),
                       event(QStringLiteral("/two"), QStringLiteral("warning"), QStringLiteral("rb"), {}),
                       event(QStringLiteral("/three"), QStringLiteral("high"), QStringLiteral("rc")),
                       event(QStringLiteral("/three"), QStringLiteral("high"), QStringLiteral("rc")),
                       event(QStringLiteral("/four"), QStringLiteral("Critical"))});

        QVERIFY(!m_store->mainContext().hasChanges());
        const QList<Finding> saved = savedFindings();
        QCOMPARE(saved.size(), 5);
        // Newest first; findings of one read share a millisecond at most, and the later insert lists first.
        QStringList paths;
        for (const Finding& finding : saved)
            paths.prepend(finding.path());
        QCOMPARE(paths, (QStringList{"/one", "/two", "/three", "/three", "/four"}));
        QVERIFY(!(saved[1] == saved[2]));
        QVERIFY(saved[4].timestamp() <= saved[3].timestamp() && saved[3].timestamp() <= saved[1].timestamp());
        QCOMPARE(saved[4].ruleName(), QStringLiteral("ra"));
        QCOMPARE(saved[4].eventTypes(), (QStringList{QStringLiteral("created"), QStringLiteral("modified")}));
        QCOMPARE(saved[3].eventTypes(), QStringList{});
        QCOMPARE(saved[0].severity(), QStringLiteral("Critical"));

        // Alerts in list order (how they look on the desktop: NotificationTest).
        QCOMPARE(m_notifier.shown.size(), 3);
        QCOMPARE(m_notifier.shown[0].path, QStringLiteral("/one"));
        QCOMPARE(m_notifier.shown[0].rule, QStringLiteral("ra"));
        QCOMPARE(m_notifier.shown[1].rule, QStringLiteral("rc"));
        QCOMPARE(m_notifier.shown[2].path, QStringLiteral("/three"));
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
