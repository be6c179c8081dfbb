#include "watcher/Intake.h"
#include "StubNotifier.h"
#include "watcher/WatcherStatus.h"

#include "records/ModelContainer.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// Intake against a real store file.
class IntakeTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QString error;
        static int serial = 0;
        m_store = ModelContainer::open(m_dir.filePath(u"store-%1.sqlite"_s.arg(++serial)), &error);
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

    // Two identical events are two findings and two alerts; only exactly "critical" and "high" alert, and
    // a finding an ignore covers (which ones: StoreQueriesTest) is stored, explained, without an alert.
    void eventsBecomeFindingsInOrderAndAreSaved()
    {
        QVERIFY(m_store->mainContext().addIgnore(RuleIgnore(u"ri"_s, u"/w/b/"_s, true)));
        Intake intake(&m_notifier);
        WatchEvent ignored = event(u"/w/b/deep/x"_s, u"critical"_s, u"ri"_s);
        ignored.description = u"Runs a downloaded payload"_s;
        ignored.lines = {2, 9};
        intake.ingest({event(u"/one"_s, u"critical"_s, u"ra"_s, {u"created"_s, u"modified"_s}),
                       event(u"/two"_s, u"warning"_s), event(u"/three"_s, u"high"_s, u"rc"_s),
                       event(u"/three"_s, u"high"_s, u"rc"_s), event(u"/four"_s, u"Critical"_s), ignored});

        QVERIFY(!m_store->mainContext().hasChanges());
        const QList<Finding> saved = savedFindings();
        // Newest first; findings of one read share a millisecond at most, and the later insert lists first.
        QStringList paths;
        for (const Finding& finding : saved)
            paths.prepend(finding.path());
        QCOMPARE(paths, (QStringList{"/one", "/two", "/three", "/three", "/four", "/w/b/deep/x"}));
        QVERIFY(!(saved[2] == saved[3]));
        QVERIFY(saved[5].timestamp() <= saved[4].timestamp() && saved[4].timestamp() <= saved[2].timestamp());
        QCOMPARE(saved[5].ruleName(), u"ra"_s);
        QCOMPARE(saved[5].eventTypes(), (QStringList{u"created"_s, u"modified"_s}));
        QCOMPARE(saved[1].severity(), u"Critical"_s);
        QCOMPARE(saved[0].description(), ignored.description);
        QCOMPARE(saved[0].lines(), ignored.lines);

        // Alerts in list order (how they look on the desktop: NotificationTest).
        QStringList alerted;
        for (const Notifier::Notification& shown : m_notifier.shown)
            alerted << shown.path + u' ' + shown.rule;
        QCOMPARE(alerted, (QStringList{u"/one ra"_s, u"/three rc"_s, u"/three rc"_s}));
    }

    void withoutStoreNothingHappens()
    {
        WatcherStatus::shared().setModelContainer(nullptr);
        Intake(&m_notifier).ingest({event(u"/p"_s)});
        QCOMPARE(m_notifier.shown.size(), 0);
        QCOMPARE(savedFindings().size(), 0);
    }

    void floodKeepsEveryFinding()
    {
        Intake intake(&m_notifier);
        QList<WatchEvent> burst;
        for (int i = 0; i < 200; ++i)
            burst.append(event(u"/f%1"_s.arg(i), i % 4 ? u"high"_s : u"critical"_s));
        intake.ingest(burst);

        QCOMPARE(savedFindings().size(), 200);
        const int bound = intake.flood().maxAlerts();
        QCOMPARE(m_notifier.shown.size(), bound); // the summary comes once the read is through
        QTRY_COMPARE(m_notifier.shown.size(), bound + 1);
        const Notifier::Notification& summary = m_notifier.shown.last();
        QCOMPARE(summary.summary, u"\u26D4 190 more alerts"_s);
        QVERIFY2(summary.body.startsWith(u"47 critical, 143 high."_s) && summary.body.contains(u"/f199"_s),
                 qPrintable(summary.body));
        QVERIFY(!summary.replaceKey.isEmpty() && summary.path.isEmpty() && summary.rule.isEmpty());
    }

    void namesAreShownWithHiddenCharactersAsTokens_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line feed") << u"/w/a\nScan complete: no threats found."_s
                                   << u"/w/a\u27E8U+000A\u27E9Scan complete: no threats found."_s;
        QTest::newRow("bidi override, zero width and tag")
            << u"/w/\u202Ehs\u200B\U000E0041"_s
            << u"/w/\u27E8U+202E\u27E9hs\u27E8U+200B\u27E9\u27E8U+E0041\u27E9"_s;
        QTest::newRow("letters of any script stay")
            << u"/w/caf\u00E9 \u65E5\u672C \U0001F600"_s << u"/w/caf\u00E9 \u65E5\u672C \U0001F600"_s;
    }

    // The notification shows a name on one line; the stored finding keeps it exactly.
    void namesAreShownWithHiddenCharactersAsTokens()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        Intake(&m_notifier).ingest({event(path)});
        QCOMPARE(m_notifier.shown.size(), 1);
        QCOMPARE(m_notifier.shown[0].body, shown);
        QCOMPARE(m_notifier.shown[0].path, path);
        QCOMPARE(savedFindings().first().path(), path);
    }

private:
    static WatchEvent event(const QString& path, const QString& severity = u"critical"_s,
                            const QString& rule = u"r"_s, const QStringList& types = {u"created"_s})
    {
        return WatchEvent{path, types, rule, severity, {}};
    }
    // A fresh context sees only what has been saved to the file.
    QList<Finding> savedFindings()
    {
        return m_store->newContext()->fetchNewestFindings(1000).value_or(QList<Finding>{});
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ModelContainer> m_store;
    StubNotifier m_notifier;
};

QTEST_GUILESS_MAIN(IntakeTest)
#include "IntakeTest.moc"
