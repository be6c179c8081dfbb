// The live lists over the main context, checked by their model contract and by their row signals.
#include "StoreTestSupport.h"
#include "records/DirectoryListModel.h"
#include "records/FindingListModel.h"
#include "records/ModelContainer.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

class StoreModelsTest : public StoreTestCase
{
    Q_OBJECT

private slots:
    // The main context's pending insert is listed at once; saved changes of other contexts reach the list.
    void pendingAndOtherContextsChangesReachTheList()
    {
        FindingListModel model(&store());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        Finding f = findingAt(100, QStringLiteral("/repo/package.json"));
        mainContext().insert(f);
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(model.findingAt(0), f);
        QCOMPARE(model.data(model.index(0)).toString(), f.path());
        QVERIFY(mainContext().hasChanges());                          // not saved ...
        QVERIFY(store().newContext()->fetchAllFindings()->isEmpty()); // ... and not visible elsewhere
        {
            auto ctx = store().newContext();
            for (int i = 0; i < 3; ++i) {
                Finding other = findingAt(i);
                ctx->insert(other);
            }
            QVERIFY(ctx->save());
        }
        QTRY_COMPARE(model.rowCount(), 4);
        {
            auto ctx = store().newContext();
            const auto all = ctx->fetchAllFindings();
            QVERIFY(all && all->size() == 3);
            for (const Finding& other : *all)
                ctx->remove(other);
            QVERIFY(ctx->save());
        }
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(model.findingAt(0), f);
    }

    // A full list that gains a finding drops its oldest row and inserts the new one at the top: row
    // signals, no reset, and the rows in between keep their identity.
    void fullListMovesByRowsNotResets()
    {
        ModelContext& main = mainContext();
        for (int i = 0; i < 120; ++i) {
            Finding f = findingAt(i * 10);
            main.insert(f);
        }
        QVERIFY(main.save());
        FindingListModel model(&store());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), FindingListModel::Limit);
        const Finding formerTop = model.findingAt(0);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        Finding newest = findingAt(5000);
        main.insert(newest);
        QTRY_COMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().at(1).toInt(), FindingListModel::Limit - 1);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(model.rowCount(), FindingListModel::Limit);
        QCOMPARE(model.findingAt(0), newest);
        QCOMPARE(model.findingAt(1), formerTop);
        QCOMPARE(model.all(), *main.fetchNewestFindings());
    }

    // A batch of inserts costs one re-read: the list changes once, with all the rows it can show.
    void burstOfInsertsIsOneUpdate()
    {
        FindingListModel model(&store());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 1000; ++i) {
            Finding f = findingAt(i);
            mainContext().insert(f);
        }
        QTRY_COMPARE(model.rowCount(), FindingListModel::Limit);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.findingAt(0).timestamp(), findingAt(999).timestamp());
    }

    void directoryListFollowsInsertsAndDeletesAtOnce()
    {
        DirectoryListModel model(&store());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ModelContext& main = mainContext();
        QList<Directory> dirs = {Directory(QUrl::fromLocalFile(QStringLiteral("/a"))),
                                 Directory(QUrl::fromLocalFile(QStringLiteral("/b b"))),
                                 Directory(QUrl::fromLocalFile(QStringLiteral("/a")))};
        for (Directory& d : dirs)
            main.insert(d);
        QTRY_COMPARE(model.rowCount(), 3);
        QCOMPARE(model.all(), dirs);
        QCOMPARE(model.data(model.index(1), Qt::DisplayRole).toString(), QStringLiteral("/b b"));

        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        main.remove(model.directoryAt(1));
        QTRY_COMPARE(model.rowCount(), 2);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().at(1).toInt(), 1);
        QCOMPARE(model.all(), QList<Directory>({dirs[0], dirs[2]}));

        // Saving (here: by itself) changes nothing in the list.
        store().setAutosaveDelay(10ms);
        Directory later(QUrl::fromLocalFile(QStringLiteral("/c")));
        main.insert(later);
        QTRY_VERIFY(!main.hasChanges());
        QTRY_COMPARE(model.rowCount(), 3);
        QCOMPARE(model.all(), QList<Directory>({dirs[0], dirs[2], later}));
    }

    void modelWithoutContainerIsEmpty()
    {
        FindingListModel findings(nullptr);
        DirectoryListModel directories(nullptr);
        QAbstractItemModelTester t1(&findings, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester t2(&directories, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(findings.rowCount(), 0);
        QCOMPARE(directories.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(StoreModelsTest)
#include "StoreModelsTest.moc"
