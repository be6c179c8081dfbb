// The age of a finding as ICU writes it: named forms where the language has them ("now", "yesterday"),
// abbreviated units otherwise, counted from the right calendar day.

#include "panel/RelativeAge.h"

#include <QTest>

using namespace Qt::StringLiterals;

class RelativeAgeTest : public QObject
{
    Q_OBJECT
private slots:
    void ages_data();
    void ages();
    void invalidTimesGiveNothing();
};

void RelativeAgeTest::ages_data()
{
    QTest::addColumn<qint64>("secondsAgo"); // before 9:00
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("just now") << qint64(0) << english << u"now"_s;
    QTest::newRow("under a minute") << qint64(59) << english << u"now"_s;
    QTest::newRow("one minute") << qint64(60) << english << u"1 min. ago"_s;
    QTest::newRow("five minutes") << qint64(5 * 60 + 20) << english << u"5 min. ago"_s;
    QTest::newRow("three hours") << qint64(3 * 3600 + 5) << english << u"3 hr. ago"_s;
    QTest::newRow("a minute ahead (clock skew)") << qint64(-90) << english << u"in 1 min."_s;
    // A named day rather than "1 day ago"; 30 hours back from 9:00 is still the day before, 34 hours
    // back is 23:00 two days before.
    QTest::newRow("25 hours") << qint64(25 * 3600) << english << u"yesterday"_s;
    QTest::newRow("30 hours") << qint64(30 * 3600) << english << u"yesterday"_s;
    QTest::newRow("34 hours") << qint64(34 * 3600) << english << u"2 days ago"_s;
    QTest::newRow("three days") << qint64(3 * 86400) << english << u"3 days ago"_s;
    QTest::newRow("eight days") << qint64(8 * 86400) << english << u"last wk."_s;
    QTest::newRow("five weeks") << qint64(40 * 86400) << english << u"last mo."_s;
    QTest::newRow("two years") << qint64(800 * 86400) << english << u"2 yr. ago"_s;
    QTest::newRow("German") << qint64(86400) << QLocale(QLocale::German, QLocale::Germany) << u"gestern"_s;
    // The POSIX locale has no ICU data of its own and reads as English.
    QTest::newRow("POSIX") << qint64(86400) << QLocale::c() << u"yesterday"_s;
}

void RelativeAgeTest::ages()
{
    QFETCH(qint64, secondsAgo);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    const QDateTime now = QDateTime(QDate(2026, 6, 15), QTime(9, 0), Qt::LocalTime);
    QCOMPARE(formatRelativeAge(now.addSecs(-secondsAgo), now, locale), expected);
}

void RelativeAgeTest::invalidTimesGiveNothing()
{
    QVERIFY(formatRelativeAge(QDateTime(), QDateTime::currentDateTime()).isEmpty());
    QVERIFY(formatRelativeAge(QDateTime::currentDateTime(), QDateTime()).isEmpty());
}

QTEST_GUILESS_MAIN(RelativeAgeTest)
#include "RelativeAgeTest.moc"
