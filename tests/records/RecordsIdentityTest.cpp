// Records are values with an identity: equality and hashing follow that identity, never the values.
#include "records/Directory.h"
#include "records/Finding.h"

#include <QHash>
#include <QSet>
#include <QTest>

#include <unordered_set>

class RecordsIdentityTest : public QObject
{
    Q_OBJECT

private slots:
    void equalValuesAreDistinctRecords()
    {
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/home/ann/src"));
        const Directory a(url), b(url);
        QVERIFY(a.id().isValid());
        QVERIFY(!(a == b));
        QVERIFY(Directory(a) == a);

        const Finding f(QStringLiteral("/p"), QStringLiteral("r"), QStringLiteral("high"), {});
        const Finding twin(QStringLiteral("/p"), QStringLiteral("r"), QStringLiteral("high"), {});
        QVERIFY(!(f == twin));
        QVERIFY(Finding(f) == f);
        // Lists compare equal exactly when they hold the same records in the same order.
        QCOMPARE(QList<Finding>({f, twin}), QList<Finding>({f, twin}));
        QVERIFY(QList<Finding>({f, twin}) != QList<Finding>({twin, f}));
        // Hashing follows the identity too.
        QCOMPARE(QSet<Finding>({f, twin, Finding(f)}).size(), 2);
        QCOMPARE(std::unordered_set<Finding>({f, twin, Finding(f)}).size(), size_t(2));
        QHash<PersistentIdentifier, int> byId{{f.id(), 1}, {twin.id(), 2}};
        QCOMPARE(byId.value(Finding(f).id()), 1);
    }

    void identifierSurvivesItsStoredForm()
    {
        const PersistentIdentifier id = PersistentIdentifier::create();
        QCOMPARE(id.toBytes().size(), 16);
        QCOMPARE(PersistentIdentifier::fromBytes(id.toBytes()), id);
        QVERIFY(!PersistentIdentifier::fromBytes(QByteArray(15, 'x')).isValid());
        QVERIFY(!PersistentIdentifier().isValid());
    }

    // Identities are drawn in time order (the store's identity index then grows at one end) and never
    // repeat, even when thousands are drawn within one millisecond.
    void identitiesAreUniqueAndTimeOrdered()
    {
        QSet<PersistentIdentifier> seen;
        QByteArray previousTime;
        for (int i = 0; i < 20000; ++i) {
            const PersistentIdentifier id = PersistentIdentifier::create();
            QVERIFY(!seen.contains(id));
            seen.insert(id);
            const QByteArray bytes = id.toBytes();
            QCOMPARE(bytes.at(6) & 0xf0, 0x70); // version 7
            QCOMPARE(bytes.at(8) & 0xc0, 0x80); // RFC 4122 variant
            const QByteArray time = bytes.left(6);
            QVERIFY(time >= previousTime);
            previousTime = time;
        }
    }

    void directoryPath_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << QUrl::fromLocalFile(QStringLiteral("/home/ann/src")) << "/home/ann/src";
        QTest::newRow("trailing slash") << QUrl(QStringLiteral("file:///home/ann/src/")) << "/home/ann/src";
        QTest::newRow("several slashes") << QUrl(QStringLiteral("file:///srv//")) << "/srv";
        QTest::newRow("root stays") << QUrl(QStringLiteral("file:///")) << "/";
        QTest::newRow("percent-decoded") << QUrl(QStringLiteral("file:///home/ann/My%20Code/%C3%A9t%C3%A9"))
                                         << QStringLiteral("/home/ann/My Code/\u00e9t\u00e9");
        QTest::newRow("percent sign kept")
            << QUrl::fromLocalFile(QStringLiteral("/tmp/100%/x")) << "/tmp/100%/x";
        QTest::newRow("not a file url") << QUrl(QStringLiteral("https://example.org/x")) << QString();
    }

    void directoryPath()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, path);
        QCOMPARE(Directory(url).path(), path);
    }

    void findingStampsTheTimeOfCreationInUtc()
    {
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const Finding f(QStringLiteral("/p"), QStringLiteral("r"), QStringLiteral("high"), {});
        const QDateTime after = QDateTime::currentDateTimeUtc();
        QVERIFY(f.timestamp() >= before && f.timestamp() <= after);
        QCOMPARE(f.timestamp().timeSpec(), Qt::UTC);
    }
};

QTEST_GUILESS_MAIN(RecordsIdentityTest)
#include "RecordsIdentityTest.moc"
