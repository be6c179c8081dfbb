// Records are values with an identity: equality and hashing follow that identity, never the values.
#include "records/Directory.h"
#include "records/Finding.h"

#include <QSet>
#include <QTest>

class RecordsIdentityTest : public QObject
{
    Q_OBJECT

private slots:
    void equalValuesAreDistinctRecordsStampedNowInUtc()
    {
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/home/ann/src"));
        QVERIFY(!(Directory(url) == Directory(url)));
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const Finding f(QStringLiteral("/p"), QStringLiteral("r"), QStringLiteral("high"), {});
        const Finding twin(QStringLiteral("/p"), QStringLiteral("r"), QStringLiteral("high"), {});
        const QDateTime after = QDateTime::currentDateTimeUtc();
        QVERIFY(f.timestamp() >= before && f.timestamp() <= after);
        QCOMPARE(f.timestamp().timeSpec(), Qt::UTC);
        QCOMPARE(QSet<Finding>({f, twin, Finding(f)}).size(), 2);
    }

    // Drawn in time order (the store's identity index grows at one end) and never repeated, even
    // thousands within one millisecond; a stored identity of the wrong size is no identity.
    void identitiesAreUniqueAndTimeOrdered()
    {
        QSet<PersistentIdentifier> seen;
        QByteArray previousTime;
        for (int i = 0; i < 20000; ++i) {
            const PersistentIdentifier id = PersistentIdentifier::create();
            QVERIFY(!seen.contains(id));
            seen.insert(id);
            const QByteArray time = id.toBytes().left(6);
            QVERIFY(time >= previousTime);
            previousTime = time;
        }
        QVERIFY(!PersistentIdentifier::fromBytes(QByteArray(15, 'x')).isValid());
    }

    void directoryPath_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("path");
        QTest::newRow("trailing slashes") << QUrl(QStringLiteral("file:///srv//")) << "/srv";
        QTest::newRow("root stays") << QUrl(QStringLiteral("file:///")) << "/";
        QTest::newRow("percent-decoded") << QUrl(QStringLiteral("file:///home/My%20Code/%C3%A9t%C3%A9"))
                                         << QStringLiteral("/home/My Code/\u00e9t\u00e9");
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
};

QTEST_GUILESS_MAIN(RecordsIdentityTest)
#include "RecordsIdentityTest.moc"
