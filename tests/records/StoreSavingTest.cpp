// Saving: one transaction per save, failed saves that keep their changes, autosave, and kill -9.
#include "StoreTestSupport.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>

#include <signal.h>

using namespace std::chrono_literals;

class StoreSavingTest : public StoreTestCase
{
    Q_OBJECT

private slots:
    // A row refused half-way through a save: the save writes none of the rows, and every change waits
    // for the next save (a held write lock is the autosave test's failure).
    void failedSaveWritesNothingAndKeepsEveryChange()
    {
        const QString path = storePath();
        ModelContext& main = mainContext();
        QVERIFY(RawDatabase(path).exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON finding WHEN NEW.path = '/poison' "
                           "BEGIN SELECT RAISE(ABORT, 'refused by test'); END")));
        Directory d(QUrl::fromLocalFile(QStringLiteral("/srv")));
        main.insert(d);
        QList<Finding> batch = {findingAt(1), findingAt(2, QStringLiteral("/poison")), findingAt(3)};
        for (Finding& f : batch)
            main.insert(f);
        QVERIFY(!main.save());
        QVERIFY2(main.lastError().contains(path) &&
                     main.lastError().contains(QLatin1String("refused by test")),
                 qPrintable(main.lastError()));
        QCOMPARE(main.fetchNewestFindings()->size(), 3);
        QVERIFY(store().newContext()->fetchAllFindings()->isEmpty());
        QCOMPARE(store().newContext()->countDirectories(), std::optional<int>(0));

        QVERIFY(RawDatabase(path).exec(QStringLiteral("DROP TRIGGER refuse")));
        QVERIFY2(main.save(), qPrintable(main.lastError()));
        QVERIFY(!main.hasChanges());
        QCOMPARE(store().newContext()->fetchAllFindings()->size(), 3);
        QCOMPARE(store().newContext()->countDirectories(), std::optional<int>(1));
    }

    // The main context saves by itself, again after a failure though nothing else happens, and at the end.
    void mainContextSavesByItselfAgainAndAtTheEnd()
    {
        store().setAutosaveDelay(50ms);
        RawDatabase locker(storePath());
        QVERIFY(locker.exec(QStringLiteral("BEGIN IMMEDIATE")));
        Directory d(QUrl::fromLocalFile(QStringLiteral("/home/ann/src")));
        mainContext().insert(d);
        QTRY_VERIFY_WITH_TIMEOUT(!mainContext().lastError().isEmpty(), 10000);
        QVERIFY(mainContext().hasChanges());
        QVERIFY(locker.exec(QStringLiteral("ROLLBACK")));
        QTRY_COMPARE_WITH_TIMEOUT(store().newContext()->countDirectories(), std::optional<int>(1), 15000);
        QVERIFY(!mainContext().hasChanges());

        store().setAutosaveDelay(24h);
        Finding f = findingAt(1);
        mainContext().insert(f);
        closeStore();
        auto reopened = openStore(storePath());
        QCOMPARE(*reopened->mainContext().fetchDirectories(), QList<Directory>({d}));
        QCOMPARE(*reopened->mainContext().fetchAllFindings(), QList<Finding>({f}));
    }

    // A writer saving batch after batch into what was an empty file (a crash's, or the user's) is killed
    // with SIGKILL: every save it reported is in the file, and the file is sound.
    void killedWriterLosesNothingSaved()
    {
        const QString path = storePath() + QStringLiteral(".killed");
        QVERIFY(writeFile(path));
        QProcess writer;
        writer.start(QStringLiteral(TW_TEST_BIN_DIR "/tw_store_writer"), {path});
        QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
        long reported = 0;
        QDeadlineTimer deadline(30s);
        while (reported < 500 && !deadline.hasExpired()) {
            while (writer.canReadLine())
                reported = writer.readLine().mid(6).trimmed().toLong(); // "saved N"
            writer.waitForReadyRead(1000);
        }
        QVERIFY2(reported >= 500, writer.readAllStandardError().constData());
        QCOMPARE(::kill(pid_t(writer.processId()), SIGKILL), 0);
        QVERIFY(writer.waitForFinished(10000));

        QCOMPARE(RawDatabase(path).scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        auto reopened = openStore(path);
        QVERIFY(reopened);
        const qsizetype stored = reopened->newContext()->fetchAllFindings().value_or(QList<Finding>{}).size();
        QVERIFY2(stored >= reported, qPrintable(QStringLiteral("%1 of %2 saved").arg(stored).arg(reported)));
    }
};

QTEST_GUILESS_MAIN(StoreSavingTest)
#include "StoreSavingTest.moc"
