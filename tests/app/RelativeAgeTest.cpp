// The age of a finding as ICU writes it in English: named forms where the language has them ("now",
// "yesterday"), abbreviated units otherwise, counted from the right calendar day.

#include "panel/RelativeAge.h"

#include <QTest>

class RelativeAgeTest : public QObject
{
    Q_OBJECT
private slots:
    void ages_data();
    void ages();
    void namedDayFollowsTheCalendar();
    void invalidTimesGiveNothing();
    void otherLocalesAreTranslated();
};

void RelativeAgeTest::ages_data()
{
    QTest::addColumn<qint64>("secondsAgo");
    QTest::addColumn<QString>("expected");
    QTest::newRow("just now") << qint64(0) << QStringLiteral("now");
    QTest::newRow("under a minute") << qint64(59) << QStringLiteral("now");
    QTest::newRow("one minute") << qint64(60) << QStringLiteral("1 min. ago");
    QTest::newRow("five minutes") << qint64(5 * 60 + 20) << QStringLiteral("5 min. ago");
    QTest::newRow("three hours") << qint64(3 * 3600 + 5) << QStringLiteral("3 hr. ago");
    QTest::newRow("a minute ahead (clock skew)") << qint64(-90) << QStringLiteral("in 1 min.");
    QTest::newRow("five weeks") << qint64(40 * 86400) << QStringLiteral("last mo.");
    QTest::newRow("two years") << qint64(800 * 86400) << QStringLiteral("2 yr. ago");
}

void RelativeAgeTest::ages()
{
    QFETCH(qint64, secondsAgo);
    QFETCH(QString, expected);
    const QDateTime now = QDateTime(QDate(2026, 6, 15), QTime(12, 0), Qt::LocalTime);
    QCOMPARE(
        formatRelativeAge(now.addSecs(-secondsAgo), now, QLocale(QLocale::English, QLocale::UnitedStates)),
        expected);
}

void RelativeAgeTest::namedDayFollowsTheCalendar()
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime now = QDateTime(QDate(2026, 6, 15), QTime(9, 0), Qt::LocalTime);
    // 25 hours back is the day before: a named day rather than "1 day ago".
    QCOMPARE(formatRelativeAge(now.addSecs(-25 * 3600), now, english), QStringLiteral("yesterday"));
    // 30 hours back from 9:00 is still the day before; 34 hours back is 23:00 two days before.
    QCOMPARE(formatRelativeAge(now.addSecs(-30 * 3600), now, english), QStringLiteral("yesterday"));
    QCOMPARE(formatRelativeAge(now.addSecs(-34 * 3600), now, english), QStringLiteral("2 days ago"));
    QCOMPARE(formatRelativeAge(now.addDays(-3), now, english), QStringLiteral("3 days ago"));
    QCOMPARE(formatRelativeAge(now.addDays(-8), now, english), QStringLiteral("last wk."));
}

void RelativeAgeTest::invalidTimesGiveNothing()
{
    QVERIFY(formatRelativeAge(QDateTime(), QDateTime::currentDateTime()).isEmpty());
    QVERIFY(formatRelativeAge(QDateTime::currentDateTime(), QDateTime()).isEmpty());
}

void RelativeAgeTest::otherLocalesAreTranslated()
{
    const QDateTime now = QDateTime(QDate(2026, 6, 15), QTime(9, 0), Qt::LocalTime);
    QCOMPARE(formatRelativeAge(now.addDays(-1), now, QLocale(QLocale::German, QLocale::Germany)),
             QStringLiteral("gestern"));
    // The POSIX locale has no ICU data of its own and reads as English.
    QCOMPARE(formatRelativeAge(now.addDays(-1), now, QLocale::c()), QStringLiteral("yesterday"));
}

QTEST_GUILESS_MAIN(RelativeAgeTest)
#include "RelativeAgeTest.moc"
