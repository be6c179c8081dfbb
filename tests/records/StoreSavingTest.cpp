// Saving: one transaction per save, failed saves that keep their changes, the main context's own saving,
// and durability when the process is killed.
#include "StoreTestSupport.h"
#include "records/ModelContainer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

using namespace std::chrono_literals;

namespace {

int storedFindings(const QString& path)
{
    return RawDatabase(path).scalar(QStringLiteral("SELECT count(*) FROM finding")).toInt();
}

} // namespace

class StoreSavingTest : public StoreTestCase
{
    Q_OBJECT

private slots:
    // A failed save keeps every change pending for the next one: first another connection holds the write
    // lock, as another process or a long transaction would; then a row is refused half-way through the
    // save, which then writes none of the rows.
    void failedSavesWriteNothingAndKeepEveryChange()
    {
        const QString path = storePath();
        ModelContext& main = mainContext();
        QVERIFY(RawDatabase(path).exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON finding WHEN NEW.path = '/poison' "
                           "BEGIN SELECT RAISE(ABORT, 'refused by test'); END")));
        RawDatabase locker(path);
        QVERIFY(locker.exec(QStringLiteral("BEGIN IMMEDIATE")));
        Directory d(QUrl::fromLocalFile(QStringLiteral("/srv")));
        main.insert(d);
        QList<Finding> batch = {findingAt(1), findingAt(2, QStringLiteral("/poison")), findingAt(3)};
        for (Finding& f : batch)
            main.insert(f);
        QVERIFY(!main.save());
        QVERIFY2(main.lastError().contains(path), qPrintable(main.lastError()));
        QVERIFY(main.hasChanges());
        QCOMPARE(main.fetchNewestFindings()->size(), 3); // still listed
        QVERIFY(!main.save());                           // and again, nothing lost in between

        QVERIFY(locker.exec(QStringLiteral("ROLLBACK")));
        QVERIFY(!main.save());
        QVERIFY2(main.lastError().contains(QLatin1String("refused by test")), qPrintable(main.lastError()));
        QCOMPARE(storedFindings(path), 0);
        QCOMPARE(RawDatabase(path).scalar(QStringLiteral("SELECT count(*) FROM directory")),
                 QStringLiteral("0"));

        QVERIFY(RawDatabase(path).exec(QStringLiteral("DROP TRIGGER refuse")));
        QVERIFY2(main.save(), qPrintable(main.lastError()));
        QVERIFY(!main.hasChanges());
        QCOMPARE(storedFindings(path), 3);
        QCOMPARE(store().newContext()->countDirectories(), std::optional<int>(1));
    }

    void mainContextSavesByItselfAndWhenTheContainerGoes()
    {
        store().setAutosaveDelay(50ms);
        Directory d(QUrl::fromLocalFile(QStringLiteral("/home/ann/src")));
        mainContext().insert(d); // the directory window never saves
        QTRY_COMPARE_WITH_TIMEOUT(store().newContext()->countDirectories(), std::optional<int>(1), 10000);
        QVERIFY(!mainContext().hasChanges());

        store().setAutosaveDelay(24h);
        Finding f = findingAt(1);
        mainContext().insert(f);
        closeStore();
        auto reopened = openStore(storePath());
        QCOMPARE(*reopened->mainContext().fetchDirectories(), QList<Directory>({d}));
        QCOMPARE(*reopened->mainContext().fetchAllFindings(), QList<Finding>({f}));
    }

    void autosaveRetriesAfterAFailure()
    {
        store().setAutosaveDelay(50ms);
        RawDatabase locker(storePath());
        QVERIFY(locker.exec(QStringLiteral("BEGIN IMMEDIATE")));
        Finding f = findingAt(1);
        mainContext().insert(f);
        QTRY_VERIFY_WITH_TIMEOUT(!mainContext().lastError().isEmpty(), 10000); // a save failed
        QVERIFY(mainContext().hasChanges());
        QVERIFY(locker.exec(QStringLiteral("ROLLBACK")));
        // Nothing else happens in the application, yet the finding reaches the file.
        QTRY_COMPARE_WITH_TIMEOUT(storedFindings(storePath()), 1, 15000);
        QVERIFY(!mainContext().hasChanges());
    }

    // A writer saving batch after batch is killed with SIGKILL: every save it reported is in the file,
    // and the file is sound.
    void killedWriterLosesNothingSaved()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("store.sqlite"));
        QProcess writer;
        writer.start(testProgram("tw_store_program"), {QStringLiteral("write"), path});
        QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
        long reported = 0;
        QDeadlineTimer deadline(30s);
        while (reported < 500 && !deadline.hasExpired()) {
            if (!writer.canReadLine() && !writer.waitForReadyRead(1000))
                continue;
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                if (line.startsWith("saved "))
                    reported = line.mid(6).toLong();
            }
        }
        QVERIFY2(reported >= 500, writer.readAllStandardError().constData());
        QCOMPARE(::kill(pid_t(writer.processId()), SIGKILL), 0);
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        {
            RawDatabase raw(path);
            QCOMPARE(raw.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
            const int stored = raw.scalar(QStringLiteral("SELECT count(*) FROM finding")).toInt();
            QVERIFY2(stored >= reported,
                     qPrintable(QStringLiteral("%1 stored, %2 reported").arg(stored).arg(reported)));
        }
        auto reopened = openStore(path);
        QVERIFY(reopened);
        QCOMPARE(reopened->mainContext().fetchNewestFindings()->size(), 100);
    }
};

QTEST_GUILESS_MAIN(StoreSavingTest)
#include "StoreSavingTest.moc"
