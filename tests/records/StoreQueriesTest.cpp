// The queries and the triage over real store files, with and without pending changes in the context.
#include "StoreTestSupport.h"
#include "records/ModelContainer.h"
#include "records/Triage.h"

#include <QRandomGenerator>
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
    void newestHundredOfHundredFifty_data()
    {
        QTest::addColumn<int>("saved");
        QTest::newRow("all pending") << 0;
        QTest::newRow("half saved") << 75;
        QTest::newRow("all saved") << 150;
    }

    // Whatever mix of saved and pending findings, the main context lists exactly the 100 newest.
    void newestHundredOfHundredFifty()
    {
        QFETCH(int, saved);
        ModelContext& main = mainContext();
        QList<Finding> all;
        for (int i = 0; i < 150; ++i)
            all << findingAt(i * 10);
        QList<Finding> shuffled = all;
        std::shuffle(shuffled.begin(), shuffled.end(), *QRandomGenerator::global());
        for (int i = 0; i < 150; ++i) {
            main.insert(shuffled[i]);
            if (i + 1 == saved)
                QVERIFY2(main.save(), qPrintable(main.lastError()));
        }
        QList<Finding> expected(all.crbegin(), all.crbegin() + 100);
        QCOMPARE(idsOf(*main.fetchNewestFindings(100)), idsOf(expected));
        QCOMPARE(main.fetchNewestFindings(3)->size(), 3);
        QVERIFY(main.fetchNewestFindings(0)->isEmpty());

        QCOMPARE(store().newContext()->fetchNewestFindings(200)->size(), saved);
        QVERIFY(main.save());
        QCOMPARE(idsOf(*store().newContext()->fetchNewestFindings()), idsOf(expected));
    }

    void equalTimestampsListTheLaterInsertFirst()
    {
        ModelContext& main = mainContext();
        Finding a = findingAt(5), b = findingAt(5), c = findingAt(5);
        main.insert(a);
        main.insert(b);
        QVERIFY(main.save());
        main.insert(c);
        const QList<PersistentIdentifier> order{c.id(), b.id(), a.id()};
        QCOMPARE(idsOf(*main.fetchNewestFindings()), order);
        QVERIFY(main.save());
        QCOMPARE(idsOf(*store().newContext()->fetchNewestFindings()), order);
    }

    // Pending rows are seen by the main context only; clearing (twice: the second time with nothing to
    // clear) removes every finding and keeps the directories.
    void notificationLookupFindsTheNewestMatchUntilCleared()
    {
        ModelContext& main = mainContext();
        const QString path = QStringLiteral("/repo/.vscode/tasks.json");
        const QString rule = QStringLiteral("vscode_folder_open_task");
        QList<Finding> records = {
            findingAt(100, path, rule),
            findingAt(300, path, rule), // the newest match
            findingAt(200, path, rule),
            findingAt(900, path, rule.toUpper()),          // rule differs in case only
            findingAt(950, path + QLatin1Char(' '), rule), // path differs by a trailing space
            findingAt(990, QStringLiteral("/other/tasks.json"), rule),
        };
        for (Finding& f : records)
            main.insert(f);
        Directory d(QUrl::fromLocalFile(QStringLiteral("/srv")));
        main.insert(d);
        QCOMPARE(main.fetchNewestFinding(path, rule)->value().id(), records[1].id());
        QCOMPARE(main.countDirectories(), std::optional<int>(1));
        {
            auto ctx = store().newContext();
            QVERIFY(!ctx->fetchNewestFinding(path, rule)->has_value());
            QVERIFY(ctx->fetchAllFindings()->isEmpty());
            QCOMPARE(ctx->countDirectories(), std::optional<int>(0));
        }
        QVERIFY(main.save());
        // The short-lived lookup the application uses.
        auto lookup = store().newContext()->fetchNewestFinding(path, rule);
        QVERIFY(lookup && *lookup);
        QCOMPARE(lookup->value().id(), records[1].id());
        QVERIFY(!store().newContext()->fetchNewestFinding(QStringLiteral("/nowhere"), rule)->has_value());

        for (int round = 0; round < 2; ++round) {
            auto ctx = store().newContext();
            const auto everything = ctx->fetchAllFindings();
            QVERIFY(everything);
            QCOMPARE(everything->size(), round ? 0 : records.size());
            for (const Finding& f : *everything)
                ctx->remove(f);
            QVERIFY(ctx->save());
        }
        lookup = store().newContext()->fetchNewestFinding(path, rule);
        QVERIFY(lookup && !lookup->has_value());
        QVERIFY(main.fetchNewestFindings()->isEmpty());
        QCOMPARE(store().newContext()->countDirectories(), std::optional<int>(1));
    }

    void directoriesKeepStoreOrderAndPendingDeletesHideAtOnce()
    {
        ModelContext& main = mainContext();
        const QUrl same = QUrl::fromLocalFile(QStringLiteral("/home/ann/src"));
        QList<Directory> dirs = {Directory(same), Directory(QUrl::fromLocalFile(QStringLiteral("/b"))),
                                 Directory(same)};
        for (Directory& d : dirs)
            main.insert(d);
        QVERIFY(main.save());
        Directory late(QUrl::fromLocalFile(QStringLiteral("/a")));
        main.insert(late);
        main.remove(dirs[1]);
        QCOMPARE(*main.fetchDirectories(), QList<Directory>({dirs[0], dirs[2], late}));
        QCOMPARE(main.countDirectories(), std::optional<int>(3));
        QCOMPARE(*store().newContext()->fetchDirectories(), QList<Directory>(dirs));
        QVERIFY(main.save());
        QCOMPARE(*store().newContext()->fetchDirectories(), QList<Directory>({dirs[0], dirs[2], late}));
        QCOMPARE(store().newContext()->fetchDirectories()->at(1).path(), QStringLiteral("/home/ann/src"));
    }

    void valuesSurviveTheFileExactly()
    {
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1767225600123, Qt::UTC);
        const QList<Finding> records = {
            Finding::materialize(PersistentIdentifier::create(), QStringLiteral("/p/\u00e9 \"q\"\n"),
                                 QStringLiteral("rule"), QStringLiteral("CRITICAL"), {}, when),
            Finding::materialize(
                PersistentIdentifier::create(), QStringLiteral("/p"), QString(), QStringLiteral(" high "),
                {QStringLiteral("a,b"), QStringLiteral("[\"x\"]"), QString(), QStringLiteral("\u202e")},
                when.addMSecs(1)),
        };
        for (Finding f : records)
            mainContext().insert(f);
        QVERIFY(mainContext().save());
        const auto back = store().newContext()->fetchNewestFindings();
        QCOMPARE(back->size(), 2);
        for (int i = 0; i < 2; ++i) {
            const Finding& expected = records[1 - i];
            const Finding& got = back->at(i);
            QCOMPARE(got.id(), expected.id());
            QCOMPARE(got.path(), expected.path());
            QCOMPARE(got.ruleName(), expected.ruleName());
            QCOMPARE(got.severity(), expected.severity());
            QCOMPARE(got.eventTypes(), expected.eventTypes());
            QCOMPARE(got.timestamp(), expected.timestamp()); // to the millisecond
        }
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
        row("in the folder", "/a/b", true, "/a/b/f", true);
        row("deep in the folder", "/a/b", true, "/a/b/c/d/e", true);
        row("a sibling sharing the prefix", "/a/b", true, "/a/bc/f", false);
        row("the folder's parent", "/a/b", true, "/a/f", false);
        row("folder given with a slash", "/a/b/", true, "/a/b/f", true);
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
        QVERIFY(main.fetchIgnores()->isEmpty());
        QCOMPARE(main.fetchNewestFindings(10, false)->size(), 2);
    }

    // A dismissed finding leaves the store; undo brings back the same record, saved or still pending.
    void dismissAndUndoKeepTheRecord_data()
    {
        QTest::addColumn<bool>("savedFirst");
        QTest::newRow("saved finding") << true;
        QTest::newRow("pending finding") << false;
    }

    void dismissAndUndoKeepTheRecord()
    {
        QFETCH(bool, savedFirst);
        ModelContext& main = mainContext();
        const QByteArray exact = "/w/caf\xE9";
        Finding older = findingAt(1);
        Finding f = Finding::materialize(PersistentIdentifier::create(), QStringLiteral("/w/caf\uFFFD"),
                                         QStringLiteral("git_hook"), QStringLiteral("critical"),
                                         {QStringLiteral("created")}, older.timestamp().addMSecs(5), exact,
                                         QStringLiteral("Runs a payload"), {3, 8});
        main.insert(older);
        main.insert(f);
        if (savedFirst)
            QVERIFY(main.save());

        const std::optional<Finding> dismissed = Triage::dismiss(main, f);
        QVERIFY(dismissed);
        QCOMPARE(idsOf(*store().newContext()->fetchNewestFindings()),
                 QList<PersistentIdentifier>{older.id()});
        QCOMPARE(idsOf(*main.fetchNewestFindings()), QList<PersistentIdentifier>{older.id()});

        QVERIFY(Triage::undoDismiss(main, *dismissed));
        const QList<Finding> back = *store().newContext()->fetchNewestFindings();
        QCOMPARE(idsOf(back), (QList<PersistentIdentifier>{f.id(), older.id()}));
        QCOMPARE(back[0].timestamp(), f.timestamp());
        QCOMPARE(back[0].nativePath(), exact);
        QCOMPARE(back[0].description(), f.description());
        QCOMPARE(back[0].lines(), f.lines());
        QCOMPARE(back[0].eventTypes(), f.eventTypes());
    }

    void insertAndRemoveAreIdempotentPerIdentity()
    {
        ModelContext& main = mainContext();
        Finding f = findingAt(1);
        main.insert(f);
        main.insert(f);
        QVERIFY(main.save());
        main.insert(f); // already stored: must not make every later save fail
        QVERIFY(main.save());
        QCOMPARE(store().newContext()->fetchAllFindings()->size(), 1);

        Finding pending = findingAt(2);
        main.insert(pending);
        main.remove(pending); // cancels the insert
        QVERIFY(!main.hasChanges());
        main.remove(f);
        main.insert(f); // undoes the delete
        QVERIFY(main.save());
        QCOMPARE(store().newContext()->fetchAllFindings()->size(), 1);
    }

    void queriesFailCleanly()
    {
        auto ctx = store().newContext();
        {
            RawDatabase raw(store().filePath());
            QVERIFY(raw.exec(QStringLiteral("DROP TABLE finding")));
        }
        QVERIFY(!ctx->fetchNewestFindings().has_value());
        QVERIFY(!ctx->fetchNewestFinding(QStringLiteral("/p"), QStringLiteral("r")).has_value());
        QVERIFY(!ctx->fetchAllFindings().has_value());
        QVERIFY2(ctx->lastError().contains(store().filePath()), qPrintable(ctx->lastError()));
        QCOMPARE(ctx->countDirectories(), std::optional<int>(0));

        // A context used from a thread other than its own refuses instead of sharing a connection.
        std::optional<int> fromOtherThread = 42;
        std::unique_ptr<QThread> thread(QThread::create([&] { fromOtherThread = ctx->countDirectories(); }));
        thread->start();
        QVERIFY(thread->wait(10000));
        QVERIFY(!fromOtherThread.has_value());
    }

    void contextsOnWorkerThreadsUseTheirOwnConnections()
    {
        std::atomic<int> saves{0};
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([&, t] {
                for (int i = 0; i < 10; ++i) {
                    auto ctx = store().newContext();
                    Finding f = findingAt(t * 100 + i);
                    ctx->insert(f);
                    if (ctx->save())
                        ++saves;
                }
            });
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        QCOMPARE(saves.load(), 40);
        QCOMPARE(store().newContext()->fetchAllFindings()->size(), 40);
    }
};

QTEST_GUILESS_MAIN(StoreQueriesTest)
#include "StoreQueriesTest.moc"
