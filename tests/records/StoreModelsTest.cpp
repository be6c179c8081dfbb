// The live lists over the main context, checked by their model contract and by their row signals.
#include "StoreTestSupport.h"
#include "records/DirectoryListModel.h"
#include "records/FindingListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

constexpr auto reportFailures = QAbstractItemModelTester::FailureReportingMode::QtTest;

class StoreModelsTest : public StoreTestCase
{
    Q_OBJECT

private slots:
    // A burst of pending inserts costs one re-read; then another context's saved finding enters the
    // full list at the top and its oldest row goes: row signals, no reset (the view keeps its selection).
    void findingListFollowsEveryContextByRows()
    {
        FindingListModel model(&store());
        QAbstractItemModelTester tester(&model, reportFailures);
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

    void directoryListFollowsInsertsAndDeletesAtOnce()
    {
        DirectoryListModel model(&store());
        QAbstractItemModelTester tester(&model, reportFailures);
        QList<Directory> dirs = {Directory(QUrl::fromLocalFile(QStringLiteral("/a"))),
                                 Directory(QUrl::fromLocalFile(QStringLiteral("/b b"))),
                                 Directory(QUrl::fromLocalFile(QStringLiteral("/a")))};
        for (Directory& d : dirs)
            mainContext().insert(d);
        QTRY_COMPARE(model.all(), dirs);

        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        mainContext().remove(model.directoryAt(1));
        QTRY_COMPARE(model.rowCount(), 2);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().at(1).toInt(), 1);

        // Its own save (the directory window never saves) changes nothing in the list.
        store().setAutosaveDelay(10ms);
        Directory later(QUrl::fromLocalFile(QStringLiteral("/c")));
        mainContext().insert(later);
        QTRY_VERIFY(!mainContext().hasChanges());
        QTRY_COMPARE(model.all(), QList<Directory>({dirs[0], dirs[2], later}));
    }
};

QTEST_GUILESS_MAIN(StoreModelsTest)
#include "StoreModelsTest.moc"
