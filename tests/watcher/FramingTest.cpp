#include "WatcherScript.h"
#include "watcher/EventStream.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tw::test;
using EventLists = QList<QStringList>; // the paths of each delivered list

class FramingTest : public QObject
{
    Q_OBJECT
private slots:
    void realChildProcess_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<EventLists>("lists");

        const QByteArray a = eventLine(u"/a"_s);
        const QByteArray b = eventLine(u"/b"_s);
        const QByteArray c = eventLine(u"/c"_s);
        auto write = [](const QByteArray& bytes) { return u"write "_s + QString::fromUtf8(bytes); };
        // The test answers each read of the output with a byte: a write after "await n" comes in a read of
        // its own once n reads have happened.
        const QString read1 = u"await 1"_s;

        QTest::newRow("line split in the middle")
            << QStringList{write(a.first(20)), read1, write(a.sliced(20) + "\\n")} << EventLists{{"/a"}};
        QTest::newRow("many lines in one write arrive as one list")
            << QStringList{write(a + "\\n" + b + "\\n" + c + "\\n")} << EventLists{{"/a", "/b", "/c"}};
        // Which lines are bad is EventLineReaderTest's and WatchEventTest's; here: they cost only themselves.
        QTest::newRow("empty, undecodable and not UTF-8 lines skipped, the rest kept")
            << QStringList{write("\\n\\n{}\\nnot json\\n" + a + "\\n" + eventLine(u"/bad\\xff"_s) + "\\n" +
                                 b + "\\n")}
            << EventLists{{"/a", "/b"}};
        QTest::newRow("huge line dropped, the next one kept")
            << QStringList{write(a + "\\n"), read1, write(QByteArray(1500000, 'x') + "\\n"), u"await 2"_s,
                           write(b + "\\n")}
            << EventLists{{"/a"}, {"/b"}};
        QTest::newRow("final line without line feed delivered at the end")
            << QStringList{write(a + "\\n"), read1, write(b)} << EventLists{{"/a"}, {"/b"}};
        QTest::newRow("final line without line feed, watcher crashes")
            << QStringList{write(a), u"exit 9"_s} << EventLists{{"/a"}};
    }

    void realChildProcess()
    {
        QFETCH(QStringList, script);
        QFETCH(EventLists, lists);

        WatcherScript watcherScript(script + QStringList{u"exit 0"_s});
        QProcess process;
        watcherScript.exportToEnvironment(); // inherited by the child
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setProgram(scriptedWatcherPath());

        EventStream stream(&process);
        EventLists got;
        connect(&stream, &EventStream::eventsRead, this, [&](const QList<WatchEvent>& events) {
            QStringList paths;
            for (const WatchEvent& event : events)
                paths.append(event.path);
            got.append(paths);
        });
        connect(&process, &QProcess::readyReadStandardOutput, this, [&] { process.write("."); });
        process.start();
        QVERIFY(process.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 20000);
        QCOMPARE(got, lists);
    }
};

QTEST_GUILESS_MAIN(FramingTest)
#include "FramingTest.moc"
