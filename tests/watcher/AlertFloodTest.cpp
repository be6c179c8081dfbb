#include "watcher/AlertFlood.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Each step: at time t (ms), an alert; expected: shown on its own, or gathered.
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
    // The counts of one flood at the shipped bound: IntakeTest.
    void decisions_data()
    {
        // A bound of 3 alerts per 1000 ms keeps the rows short; the shipped numbers are 10 per 10 s.
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<int>("gathered"); // in the last flood
        QTest::addColumn<int>("floods");
        QTest::newRow("fourth in the window gathered")
            << Steps{{0, true}, {10, true}, {20, true}, {30, false}} << 1 << 1;
        QTest::newRow("spread out never gathered")
            << Steps{{0, true}, {400, true}, {800, true}, {1200, true}, {1600, true}, {2000, true}} << 0 << 0;
        QTest::newRow("quiet window ends the flood")
            << Steps{{0, true}, {1, true}, {2, true}, {3, false}, {4, false}, {1004, true}, {1005, true}} << 2
            << 1;
        // Alerts keep coming within each window: the flood does not leak bubbles every window.
        QTest::newRow("sustained flood stays gathered")
            << Steps{{0, true}, {1, true}, {2, true}, {300, false}, {600, false}, {900, false}, {1200, false}}
            << 4 << 1;
        QTest::newRow("window edge") << Steps{{0, true}, {1, true}, {2, true}, {999, false}, {2000, true}}
                                     << 1 << 1;
        // A later flood gets a summary of its own (a new bubble), counted from zero.
        QTest::newRow("second flood")
            << Steps{{0, true},    {1, true},    {2, true},    {3, false},   {4, false},
                     {5000, true}, {5001, true}, {5002, true}, {5003, false}}
            << 1 << 2;
    }

    void decisions()
    {
        QFETCH(Steps, steps);
        QFETCH(int, gathered);
        QFETCH(int, floods);
        AlertFlood flood(3, 1000);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const bool shown = flood.admit(u"critical"_s, u"r"_s, u"/p"_s, steps[i].at);
            QVERIFY2(shown == steps[i].shown, qPrintable(u"step %1 at %2 ms"_s.arg(i).arg(steps[i].at)));
        }
        QCOMPARE(flood.summary().gathered, gathered);
        QCOMPARE(flood.summary().sequence, floods);
    }
};

QTEST_GUILESS_MAIN(AlertFloodTest)
#include "AlertFloodTest.moc"
