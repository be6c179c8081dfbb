#include "watcher/EventLineReader.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Chunks = QList<QByteArray>;
using Lines = QList<QByteArray>;

class EventLineReaderTest : public QObject
{
    Q_OBJECT
private slots:
    void framing_data()
    {
        QTest::addColumn<qsizetype>("maxLine");
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<qsizetype>("dropped");

        const qsizetype big = EventLineReader::defaultMaxLineBytes;
        // Which bytes are valid UTF-8 is Qt's to decide; here: a bad line costs only itself.
        auto row = [](const char* name, qsizetype maxLine, const Chunks& chunks, const Lines& lines,
                      qsizetype dropped) { QTest::newRow(name) << maxLine << chunks << lines << dropped; };
        row("bad byte costs only its line", big, Chunks{"good1\nbad\xff\ngood2\n"}, Lines{"good1", "good2"},
            1);
        row("bad byte in a line split over chunks", big, Chunks{"ok\nba", "\xc3(d\nok2\n"},
            Lines{"ok", "ok2"}, 1);
        row("truncated character at the end of the stream", big, Chunks{"ok\n\xe2\x9b"}, Lines{"ok"}, 1);
        row("NUL byte is valid text", big, Chunks{QByteArray("a\0b\n", 4)}, Lines{QByteArray("a\0b", 3)}, 0);

        // Bound of 8 bytes per line.
        row("line at the bound kept", 8, Chunks{"12345678\n"}, Lines{"12345678"}, 0);
        row("oversized line in one chunk dropped", 8, Chunks{"123456789\nok\n"}, Lines{"ok"}, 1);
        row("oversized line over chunks dropped up to its line feed", 8,
            Chunks{"12345", "6789", "abcdef", "gh\nok\n"}, Lines{"ok"}, 1);
        row("oversized line without end dropped at the end", 8, Chunks{"ok\n", "123456789012"}, Lines{"ok"},
            1);
    }

    void framing()
    {
        QFETCH(qsizetype, maxLine);
        QFETCH(Chunks, chunks);
        QFETCH(Lines, lines);
        QFETCH(qsizetype, dropped);

        EventLineReader reader(maxLine);
        Lines got;
        for (const QByteArray& chunk : chunks)
            got += reader.feed(chunk);
        got += reader.finish();
        QCOMPARE(got, lines);
        QCOMPARE(reader.droppedLines(), dropped);
        QCOMPARE(reader.pendingBytes(), qsizetype(0));
    }

    // Whatever the pipe does to the stream, the same lines come out.
    void everySplitPointGivesTheSameLines()
    {
        const QByteArray stream = "{\"a\":1}\n\xe2\x9b\x94 x\n\nlast \xe2\x9d\x97";
        const Lines expected{"{\"a\":1}", "\xe2\x9b\x94 x", "last \xe2\x9d\x97"};
        for (qsizetype first = 0; first <= stream.size(); ++first) {
            for (qsizetype second = first; second <= stream.size(); ++second) {
                EventLineReader reader;
                Lines got = reader.feed(stream.first(first));
                got += reader.feed(stream.sliced(first, second - first));
                got += reader.feed(stream.sliced(second));
                got += reader.finish();
                QVERIFY2(got == expected, qPrintable(u"split at %1, %2"_s.arg(first).arg(second)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(EventLineReaderTest)
#include "EventLineReaderTest.moc"
