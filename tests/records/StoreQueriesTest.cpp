// The queries over real store files, with and without pending changes, and the live finding list over
// them (the directory list is the same list, driven by the directories window's test).
#include "StoreTestSupport.h"
#include "records/FindingListModel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace {

QList<PersistentIdentifier> idsOf(const QList<Finding>& findings)
{
    QList<PersistentIdentifier> ids;
    for (const Finding& f : findings)
        ids << f.id();
    return ids;
}

} // namespace

class StoreQueriesTest : public StoreTestCase
{
    Q_OBJECT

private slots:
    // Half saved, half pending, inserted out of order, timestamps in pairs: the main context lists exactly
    // the 100 newest, the later insert first among equals.
    void newestHundredOfSavedAndPending()
    {
        ModelContext& main = mainContext();
        QList<Finding> shuffled;
        for (int i = 0; i < 150; ++i)
            shuffled << findingAt(i / 2 * 10);
        std::shuffle(shuffled.begin(), shuffled.end(), *QRandomGenerator::global());
        for (int i = 0; i < 150; ++i) {
            main.insert(shuffled[i]);
            if (i == 74)
                QVERIFY2(main.save(), qPrintable(main.lastError()));
        }
        QList<Finding> expected(shuffled.crbegin(), shuffled.crend());
        std::stable_sort(expected.begin(), expected.end(),
                         [](const Finding& a, const Finding& b) { return a.timestamp() > b.timestamp(); });
        expected.resize(100);
        QCOMPARE(idsOf(*main.fetchNewestFindings(100)), idsOf(expected));
        QVERIFY(main.fetchNewestFindings(0)->isEmpty());
        QCOMPARE(store().newContext()->fetchNewestFindings(200)->size(), 75);
        QVERIFY(main.save());
        QCOMPARE(idsOf(*store().newContext()->fetchNewestFindings()), idsOf(expected));
    }

    // The notification lookup matches path and rule exactly; pending rows are the main context's only.
    void notificationLookupFindsTheNewestExactMatch()
    {
        const QString path = QStringLiteral("/repo/.vscode/tasks.json");
        const QString rule = QStringLiteral("vscode_folder_open_task");
        QList<Finding> records = {findingAt(100, path, rule), findingAt(300, path, rule),
                                  findingAt(200, path, rule), findingAt(900, path, rule.toUpper()),
                                  findingAt(950, path + QLatin1Char(' '), rule)};
        for (Finding& f : records)
            mainContext().insert(f);
        QCOMPARE(mainContext().fetchNewestFinding(path, rule)->value().id(), records[1].id());
        QVERIFY(!store().newContext()->fetchNewestFinding(path, rule)->has_value());
        QVERIFY(mainContext().save());
        QCOMPARE(store().newContext()->fetchNewestFinding(path, rule)->value().id(), records[1].id());
    }

    void ignoresCoverByPathComponent_data()
    {
        QTest::addColumn<QString>("ignorePath");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("covered");
        auto row = [](const char* name, const char* ignorePath, bool isFolder, const char* path, bool covered,
                      const char* rule = "r") {
            QTest::newRow(name) << QString::fromUtf8(ignorePath) << isFolder << QString::fromUtf8(rule)
                                << QString::fromUtf8(path) << covered;
        };
        row("the file", "/a/b/f", false, "/a/b/f", true);
        row("the file, another rule", "/a/b/f", false, "/a/b/f", false, "s");
        row("a longer name than the file", "/a/b/f", false, "/a/b/f2", false);
        row("a file ignore is no folder ignore", "/a/b", false, "/a/b/f", false);
        row("the root", "/", true, "/x/y", true);
        row("wildcard characters are plain", "/a_%", true, "/a_%/f", true);
        row("wildcard characters match nothing else", "/a_%", true, "/ab%/f", false);
        row("non-ASCII", "/h\u00e9", true, "/h\u00e9/f", true);
    }

    // The panel's query (SQL) and the intake's test (RuleIgnore::covers) agree, for saved and pending
    // findings alike; an ignored finding stays stored.
    void ignoresCoverByPathComponent()
    {
        QFETCH(QString, ignorePath);
        QFETCH(bool, isFolder);
        QFETCH(QString, rule);
        QFETCH(QString, path);
        QFETCH(bool, covered);
        ModelContext& main = mainContext();
        Finding saved = findingAt(1, path, rule);
        Finding pending = findingAt(2, path, rule);
        main.insert(saved);
        QVERIFY(main.save());
        main.insert(pending);
        const RuleIgnore ignore(QStringLiteral("r"), ignorePath, isFolder);
        QVERIFY2(main.addIgnore(ignore), qPrintable(main.lastError()));
        QVERIFY(main.addIgnore(ignore)); // twice is once
        QCOMPARE(main.fetchIgnores()->size(), 1);

        QCOMPARE(ignore.covers(saved), covered);
        QCOMPARE(main.fetchNewestFindings(10, false)->size(), covered ? 0 : 2);
        QCOMPARE(store().newContext()->fetchNewestFindings(10, false)->size(), covered ? 0 : 1);
        QCOMPARE(main.fetchNewestFindings(10, true)->size(), 2);

        QVERIFY(main.removeIgnore(*store().newContext()->fetchIgnores()->begin()));
        QCOMPARE(main.fetchNewestFindings(10, false)->size(), 2);
    }

    // Inserting a record already stored must not make every later save fail (findings would be lost).
    void insertAndRemoveAreIdempotentPerIdentity()
    {
        ModelContext& main = mainContext();
        Finding f = findingAt(1);
        main.insert(f);
        main.insert(f);
        QVERIFY(main.save());
        main.insert(f);
        QVERIFY(main.save());

        Finding pending = findingAt(2);
        main.insert(pending);
        main.remove(pending); // cancels the insert
        QVERIFY(!main.hasChanges());
        main.remove(f);
        main.insert(f); // undoes the delete
        QVERIFY(main.save());
        QCOMPARE(idsOf(*store().newContext()->fetchAllFindings()), QList<PersistentIdentifier>{f.id()});
    }

    // A broken store fails each query with a reason; a context used from another thread refuses
    // instead of sharing its connection.
    void queriesFailCleanly()
    {
        auto ctx = store().newContext();
        QVERIFY(RawDatabase(store().filePath()).exec(QStringLiteral("DROP TABLE finding")));
        QVERIFY(!ctx->fetchNewestFindings().has_value());
        QVERIFY(!ctx->fetchNewestFinding(QStringLiteral("/p"), QStringLiteral("r")).has_value());
        QVERIFY(!ctx->fetchAllFindings().has_value());
        QVERIFY2(ctx->lastError().contains(store().filePath()), qPrintable(ctx->lastError()));

        std::optional<int> fromOtherThread = 42;
        std::unique_ptr<QThread> thread(QThread::create([&] { fromOtherThread = ctx->countDirectories(); }));
        thread->start();
        QVERIFY(thread->wait(10000));
        QVERIFY(!fromOtherThread.has_value());
        QCOMPARE(ctx->countDirectories(), std::optional<int>(0));
    }

    // A pending burst costs one re-read; another context's save moves rows, never a reset (selections stay).
    void findingListFollowsEveryContextByRows()
    {
        FindingListModel model(&store());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        for (int i = 0; i < 1000; ++i) {
            Finding f = findingAt(i);
            mainContext().insert(f);
        }
        QTRY_COMPARE(model.rowCount(), FindingListModel::Limit);
        QCOMPARE(inserted.count(), 1);
        const Finding formerTop = model.findingAt(0);
        QCOMPARE(formerTop.timestamp(), findingAt(999).timestamp());

        Finding newest = findingAt(5000, QStringLiteral("/repo/package.json"));
        auto other = store().newContext();
        other->insert(newest);
        QVERIFY(other->save());
        QTRY_COMPARE(inserted.count(), 2);
        QCOMPARE(inserted.last().mid(1), QVariantList({0, 0}));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.last().at(1).toInt(), FindingListModel::Limit - 1);
        QCOMPARE(model.findingAt(1), formerTop);
        QCOMPARE(model.data(model.index(0)).toString(), newest.path());
        QCOMPARE(model.all(), *mainContext().fetchNewestFindings());

        other->remove(newest);
        QVERIFY(other->save());
        QTRY_COMPARE(model.findingAt(0), formerTop);
        QCOMPARE(reset.count(), 0);
    }
};

QTEST_GUILESS_MAIN(StoreQueriesTest)
#include "StoreQueriesTest.moc"
