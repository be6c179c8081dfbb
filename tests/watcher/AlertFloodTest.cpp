#include "watcher/AlertFlood.h"

#include <QTest>

using namespace Qt::StringLiterals;

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
            const bool shown = flood.admit(u"critical"_s, u"r"_s, u"/p"_s, steps[i].at);
            QVERIFY2(shown == steps[i].shown, qPrintable(u"step %1 at %2 ms"_s.arg(i).arg(steps[i].at)));
        }
    }

    // The counts of one flood: IntakeTest. After a quiet window a new flood starts from zero.
    void newFloodStartsANewSummary()
    {
        AlertFlood flood(1, 1000);
        const auto admit = [&](qint64 at) { return flood.admit(u"high"_s, u"r"_s, u"/p"_s, at); };
        QVERIFY(admit(0));
        QVERIFY(!admit(1));
        QVERIFY(!admit(2));
        QCOMPARE(flood.summary().gathered, 2);
        const int firstFlood = flood.summary().sequence;
        QVERIFY(admit(5000));
        QVERIFY(!admit(5001));
        QCOMPARE(flood.summary().gathered, 1);
        QVERIFY(flood.summary().sequence > firstFlood);
    }
};

QTEST_GUILESS_MAIN(AlertFloodTest)
#include "AlertFloodTest.moc"
