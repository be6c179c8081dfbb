// The queries and the triage over real store files, with and without pending changes in the context.
#include "StoreTestSupport.h"
#include "records/ModelContainer.h"
#include "records/Triage.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>

namespace {

std::unique_ptr<ModelContainer> openIn(const QTemporaryDir& tmp)
{
    return openStore(tmp.filePath(QStringLiteral("store.sqlite")));
}

QList<PersistentIdentifier> idsOf(const QList<Finding>& findings)
{
    QList<PersistentIdentifier> ids;
    for (const Finding& f : findings)
        ids << f.id();
    return ids;
}

} // namespace

class StoreQueriesTest : public QObject
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
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        QVERIFY(container);
        ModelContext& main = container->mainContext();
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
        const auto newest = main.fetchNewestFindings(100);
        QVERIFY(newest);
        QCOMPARE(idsOf(*newest), idsOf(expected));
        QCOMPARE(main.fetchNewestFindings(3)->size(), 3);
        QVERIFY(main.fetchNewestFindings(0)->isEmpty());

        QCOMPARE(container->newContext()->fetchNewestFindings(200)->size(), saved);
        QVERIFY(main.save());
        QCOMPARE(idsOf(*container->newContext()->fetchNewestFindings()), idsOf(expected));
    }

    void equalTimestampsListTheLaterInsertFirst()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
        Finding a = findingAt(5), b = findingAt(5), c = findingAt(5);
        main.insert(a);
        main.insert(b);
        QVERIFY(main.save());
        main.insert(c);
        QCOMPARE(idsOf(*main.fetchNewestFindings()), QList<PersistentIdentifier>({c.id(), b.id(), a.id()}));
        QVERIFY(main.save());
        QCOMPARE(idsOf(*container->newContext()->fetchNewestFindings()),
                 QList<PersistentIdentifier>({c.id(), b.id(), a.id()}));
    }

    void notificationLookupFindsTheNewestMatchUntilCleared()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
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
        // Pending in the main context already; saved for the short-lived lookup the application uses.
        QCOMPARE(main.fetchNewestFinding(path, rule)->value().id(), records[1].id());
        QVERIFY(main.save());
        auto lookup = container->newContext()->fetchNewestFinding(path, rule);
        QVERIFY(lookup && *lookup);
        QCOMPARE(lookup->value().id(), records[1].id());
        QVERIFY(!container->newContext()->fetchNewestFinding(QStringLiteral("/nowhere"), rule)->has_value());

        // Clearing: the short-lived clear-all write of the application.
        {
            auto ctx = container->newContext();
            const auto everything = ctx->fetchAllFindings();
            QVERIFY(everything);
            QCOMPARE(everything->size(), records.size());
            for (const Finding& f : *everything)
                ctx->remove(f);
            QVERIFY(ctx->save());
        }
        lookup = container->newContext()->fetchNewestFinding(path, rule);
        QVERIFY(lookup);
        QVERIFY(!lookup->has_value());
        QVERIFY(main.fetchNewestFindings()->isEmpty());
    }

    void clearAllLeavesDirectoriesAndSavesEvenWhenEmpty()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
        Directory d(QUrl::fromLocalFile(QStringLiteral("/srv")));
        main.insert(d);
        for (int i = 0; i < 20; ++i) {
            Finding f = findingAt(i);
            main.insert(f);
        }
        QVERIFY(main.save());
        for (int round = 0; round < 2; ++round) {
            auto ctx = container->newContext();
            const auto all = ctx->fetchAllFindings();
            QVERIFY(all);
            for (const Finding& f : *all)
                ctx->remove(f);
            QVERIFY(ctx->save());
        }
        QVERIFY(container->newContext()->fetchAllFindings()->isEmpty());
        QCOMPARE(container->newContext()->countDirectories(), std::optional<int>(1));
    }

    void shortLivedContextSeesOnlyWhatIsSaved()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
        Finding f = findingAt(1);
        Directory d(QUrl::fromLocalFile(QStringLiteral("/home/ann")));
        main.insert(f);
        main.insert(d);
        QCOMPARE(main.fetchNewestFindings()->size(), 1);
        QCOMPARE(main.countDirectories(), std::optional<int>(1));
        auto ctx = container->newContext();
        QVERIFY(ctx->fetchNewestFindings()->isEmpty());
        QVERIFY(ctx->fetchAllFindings()->isEmpty());
        QCOMPARE(ctx->countDirectories(), std::optional<int>(0));
        QVERIFY(!ctx->fetchNewestFinding(f.path(), f.ruleName())->has_value());
    }

    void directoriesKeepStoreOrderAndPendingDeletesHideAtOnce()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
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
        QCOMPARE(*container->newContext()->fetchDirectories(), QList<Directory>(dirs));
        QVERIFY(main.save());
        QCOMPARE(*container->newContext()->fetchDirectories(), QList<Directory>({dirs[0], dirs[2], late}));
        QCOMPARE(container->newContext()->fetchDirectories()->at(1).path(), QStringLiteral("/home/ann/src"));
    }

    void valuesSurviveTheFileExactly()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
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
            container->mainContext().insert(f);
        QVERIFY(container->mainContext().save());
        const auto back = container->newContext()->fetchNewestFindings();
        QCOMPARE(back->size(), 2);
        for (int i = 0; i < 2; ++i) {
            const Finding& expected = records[1 - i];
            const Finding& got = back->at(i);
            QCOMPARE(got.id(), expected.id());
            QCOMPARE(got.path(), expected.path());
            QCOMPARE(got.ruleName(), expected.ruleName());
            QCOMPARE(got.severity(), expected.severity());
            QCOMPARE(got.eventTypes(), expected.eventTypes());
            QCOMPARE(got.timestamp(), expected.timestamp());
            QCOMPARE(got.timestamp().toMSecsSinceEpoch() % 1000,
                     expected.timestamp().toMSecsSinceEpoch() % 1000);
        }
    }

    void ignoresCoverByPathComponent_data()
    {
        QTest::addColumn<QString>("ignorePath");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("covered");
        QTest::newRow("the file") << "/a/b/f" << false << "r"
                                  << "/a/b/f" << true;
        QTest::newRow("the file, another rule") << "/a/b/f" << false << "s"
                                                << "/a/b/f" << false;
        QTest::newRow("a longer name than the file") << "/a/b/f" << false << "r"
                                                     << "/a/b/f2" << false;
        QTest::newRow("a file ignore is no folder ignore") << "/a/b" << false << "r"
                                                           << "/a/b/f" << false;
        QTest::newRow("in the folder") << "/a/b" << true << "r"
                                       << "/a/b/f" << true;
        QTest::newRow("deep in the folder") << "/a/b" << true << "r"
                                            << "/a/b/c/d/e" << true;
        QTest::newRow("a sibling sharing the prefix") << "/a/b" << true << "r"
                                                      << "/a/bc/f" << false;
        QTest::newRow("the folder's parent") << "/a/b" << true << "r"
                                             << "/a/f" << false;
        QTest::newRow("folder given with a slash") << "/a/b/" << true << "r"
                                                   << "/a/b/f" << true;
        QTest::newRow("the root") << "/" << true << "r"
                                  << "/x/y" << true;
        QTest::newRow("wildcard characters are plain") << "/a_%" << true << "r"
                                                       << "/a_%/f" << true;
        QTest::newRow("wildcard characters match nothing else") << "/a_%" << true << "r"
                                                                << "/ab%/f" << false;
        QTest::newRow("non-ASCII") << "/h\u00e9" << true << "r"
                                   << "/h\u00e9/f" << true;
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
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
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
        QCOMPARE(container->newContext()->fetchNewestFindings(10, false)->size(), covered ? 0 : 1);
        QCOMPARE(main.fetchNewestFindings(10, true)->size(), 2);

        QVERIFY(main.removeIgnore(*container->newContext()->fetchIgnores()->begin()));
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
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
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
        QCOMPARE(idsOf(*container->newContext()->fetchNewestFindings()),
                 QList<PersistentIdentifier>{older.id()});
        QCOMPARE(idsOf(*main.fetchNewestFindings()), QList<PersistentIdentifier>{older.id()});

        QVERIFY(Triage::undoDismiss(main, *dismissed));
        const QList<Finding> back = *container->newContext()->fetchNewestFindings();
        QCOMPARE(idsOf(back), (QList<PersistentIdentifier>{f.id(), older.id()}));
        QCOMPARE(back[0].timestamp(), f.timestamp());
        QCOMPARE(back[0].nativePath(), exact);
        QCOMPARE(back[0].description(), f.description());
        QCOMPARE(back[0].lines(), f.lines());
        QCOMPARE(back[0].eventTypes(), f.eventTypes());
    }

    void insertAndRemoveAreIdempotentPerIdentity()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        ModelContext& main = container->mainContext();
        Finding f = findingAt(1);
        main.insert(f);
        main.insert(f);
        QVERIFY(main.save());
        main.insert(f); // already stored: must not make every later save fail
        QVERIFY(main.save());
        QCOMPARE(container->newContext()->fetchAllFindings()->size(), 1);

        Finding pending = findingAt(2);
        main.insert(pending);
        main.remove(pending); // cancels the insert
        QVERIFY(!main.hasChanges());
        main.remove(f);
        main.insert(f); // undoes the delete
        QVERIFY(main.save());
        QCOMPARE(container->newContext()->fetchAllFindings()->size(), 1);
    }

    void queriesFailCleanly()
    {
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        auto ctx = container->newContext();
        {
            RawDatabase raw(container->filePath());
            QVERIFY(raw.exec(QStringLiteral("DROP TABLE finding")));
        }
        QVERIFY(!ctx->fetchNewestFindings().has_value());
        QVERIFY(!ctx->fetchNewestFinding(QStringLiteral("/p"), QStringLiteral("r")).has_value());
        QVERIFY(!ctx->fetchAllFindings().has_value());
        QVERIFY2(ctx->lastError().contains(container->filePath()), qPrintable(ctx->lastError()));
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
        QTemporaryDir tmp;
        auto container = openIn(tmp);
        std::atomic<int> saves{0};
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([&, t] {
                for (int i = 0; i < 10; ++i) {
                    auto ctx = container->newContext();
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
        QCOMPARE(container->newContext()->fetchAllFindings()->size(), 40);
    }
};

QTEST_GUILESS_MAIN(StoreQueriesTest)
#include "StoreQueriesTest.moc"
