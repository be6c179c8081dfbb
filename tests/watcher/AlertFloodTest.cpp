#include "watcher/AlertFlood.h"

#include <QTest>

// Each step: at time t (ms), an alert of a severity; expected: shown on its own, or gathered.
struct Step
{
    qint64 at;
    bool shown;
};
using Steps = QList<Step>;
Q_DECLARE_METATYPE(Steps)

class AlertFloodTest : public QObject
{
    Q_OBJECT
private slots:
    void decisions_data()
    {
        // A bound of 3 alerts per 1000 ms keeps the rows short; the shipped numbers are 10 per 10 s.
        QTest::addColumn<Steps>("steps");
        QTest::newRow("below the bound all shown") << Steps{{0, true}, {10, true}, {20, true}};
        QTest::newRow("fourth in the window gathered")
            << Steps{{0, true}, {10, true}, {20, true}, {30, false}};
        QTest::newRow("spread out never gathered")
            << Steps{{0, true}, {400, true}, {800, true}, {1200, true}, {1600, true}, {2000, true}};
        QTest::newRow("quiet window ends the flood")
            << Steps{{0, true}, {1, true}, {2, true}, {3, false}, {4, false}, {1004, true}, {1005, true}};
        // Alerts keep coming within each window: the flood does not leak bubbles every window.
        QTest::newRow("sustained flood stays gathered")
            << Steps{{0, true},    {1, true},    {2, true},     {300, false},
                     {600, false}, {900, false}, {1200, false}, {1500, false}};
        QTest::newRow("window edge") << Steps{{0, true}, {1, true}, {2, true}, {999, false}, {2000, true}};
    }

    void decisions()
    {
        QFETCH(Steps, steps);
        AlertFlood flood(3, 1000);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const bool shown = flood.admit(QStringLiteral("critical"), QStringLiteral("r"),
                                           QStringLiteral("/p"), steps[i].at);
            QVERIFY2(shown == steps[i].shown,
                     qPrintable(QStringLiteral("step %1 at %2 ms").arg(i).arg(steps[i].at)));
        }
    }

    void summaryCountsEveryGatheredAlert()
    {
        AlertFlood flood(2, 1000);
        QVERIFY(flood.admit(QStringLiteral("critical"), QStringLiteral("a"), QStringLiteral("/a"), 0));
        QVERIFY(flood.admit(QStringLiteral("high"), QStringLiteral("b"), QStringLiteral("/b"), 0));
        QVERIFY(!flood.admit(QStringLiteral("high"), QStringLiteral("c"), QStringLiteral("/c"), 1));
        QVERIFY(!flood.admit(QStringLiteral("critical"), QStringLiteral("d"), QStringLiteral("/d"), 2));
        QCOMPARE(flood.summary().gathered, 2);
        QCOMPARE(flood.summary().critical, 1);
        QCOMPARE(flood.summary().high, 1);
        QCOMPARE(flood.summary().lastRule, QStringLiteral("d"));
        QCOMPARE(flood.summary().lastPath, QStringLiteral("/d"));
        const int firstFlood = flood.summary().sequence;

        // After a quiet window, a new flood starts a new summary from zero.
        QVERIFY(flood.admit(QStringLiteral("high"), QStringLiteral("e"), QStringLiteral("/e"), 5000));
        QVERIFY(flood.admit(QStringLiteral("high"), QStringLiteral("f"), QStringLiteral("/f"), 5000));
        QVERIFY(!flood.admit(QStringLiteral("high"), QStringLiteral("g"), QStringLiteral("/g"), 5001));
        QCOMPARE(flood.summary().gathered, 1);
        QCOMPARE(flood.summary().critical, 0);
        QVERIFY(flood.summary().sequence > firstFlood);
    }
};

QTEST_GUILESS_MAIN(AlertFloodTest)
#include "AlertFloodTest.moc"
