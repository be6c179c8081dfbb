#include "watcher/WatchEvent.h"

#include <QTest>

using namespace Qt::StringLiterals;

class WatchEventTest : public QObject
{
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void optionalKeys_data();
    void optionalKeys();
};

void WatchEventTest::decode_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("severity");

    auto ok = [&](const char* name, QByteArray line, QString path = u"/p"_s,
                  QStringList types = {u"created"_s}, QString rule = u"r"_s,
                  QString severity = u"critical"_s) {
        QTest::newRow(name) << line << true << path << types << rule << severity;
    };
    auto bad = [&](const char* name, QByteArray line) {
        QTest::newRow(name) << line << false << QString() << QStringList() << QString() << QString();
    };

    ok("white space everywhere, keys in another order",
       " \t{ \"severity\" : \"critical\" ,\n\"types\" : [ \"created\" ] , \"rule\":\"r\",\r\n\"path\" : "
       "\"/p\" } \t");
    ok("extra keys ignored",
       R"({"Path":"/q","path":"/p","types":["created"],"rule":"r","severity":"critical","x":null})");
    ok("empty types", R"({"path":"/p","types":[],"rule":"r","severity":"critical"})", u"/p"_s, {});
    ok("several types in order, unknown severity kept as is",
       R"({"path":"/p","types":["modified","created"],"rule":"r","severity":"Critical "})", u"/p"_s,
       {u"modified"_s, u"created"_s}, u"r"_s, u"Critical "_s);
    bad("not JSON", "hello");
    bad("control character between tokens",
        "{\"path\":\"/p\",\x01\"types\":[],\"rule\":\"r\",\"severity\":\"c\"}");
    bad("raw carriage return inside a string",
        "{\"path\":\"/p\r\",\"types\":[],\"rule\":\"r\",\"severity\":\"c\"}");
    ok("escaped quote and backslash at the end of strings",
       R"({"path":"/a\\","types":["created"],"rule":"r\"","severity":"critical"})", u"/a\\"_s, {u"created"_s},
       u"r\""_s);

    bad("path a number", R"({"path":1,"types":["created"],"rule":"r","severity":"critical"})");
    bad("types a string", R"({"path":"/p","types":"created","rule":"r","severity":"critical"})");
    bad("number inside types", R"({"path":"/p","types":["created",3],"rule":"r","severity":"critical"})");
    bad("severity missing", R"({"path":"/p","types":["created"],"rule":"r"})");
}

void WatchEventTest::decode()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);

    const std::optional<WatchEvent> event = decodeWatchEvent(line);
    QCOMPARE(event.has_value(), valid);
    if (!valid)
        return;
    QFETCH(QString, path);
    QFETCH(QStringList, types);
    QFETCH(QString, rule);
    QFETCH(QString, severity);
    QCOMPARE(event->path, path);
    QCOMPARE(event->types, types);
    QCOMPARE(event->rule, rule);
    QCOMPARE(event->severity, severity);
}

void WatchEventTest::optionalKeys_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QByteArray>("pathBytes");
    auto row = [](const char* name, const char* extra, const QString& description = {},
                  const QList<int>& lines = {}, const QByteArray& pathBytes = {}) {
        QTest::newRow(name) << QByteArray(extra) << description << lines << pathBytes;
    };
    const QString runs = u"Runs a payload"_s;
    row("none", "");
    row("both", R"(,"description":"Runs a payload","lines":[3,7,40])", runs, {3, 7, 40});
    row("integral number written as 2.0", R"(,"lines":[2.0])", {}, {2});
    // Each malformed key is dropped alone; the other keys and the event stay.
    row("description a number", R"(,"description":5,"lines":[2])", {}, {2});
    row("lines hold a string", R"(,"description":"Runs a payload","lines":[3,"7"])", runs);
    row("line zero", R"(,"lines":[0,4])");
    row("beyond int", R"(,"lines":[4294967297])");
    row("fraction", R"(,"lines":[1.5])");
    row("repeated, so not ascending", R"(,"lines":[3,3])");
    row("seventeen lines", R"(,"lines":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17])");
    // Only sound exact bytes that say more than "path" are kept.
    row("name bytes not UTF-8", R"(,"pathBytes":"L2NhZuk=")", {}, {}, "/caf\xE9");
    row("name bytes same as the path", R"(,"pathBytes":"L3A=")");
    row("name bytes hold a NUL byte", R"(,"pathBytes":"L2EAYg==","lines":[2])", {}, {2});
}

void WatchEventTest::optionalKeys()
{
    QFETCH(QByteArray, extra);
    QFETCH(QString, description);
    QFETCH(QList<int>, lines);
    QFETCH(QByteArray, pathBytes);
    const std::optional<WatchEvent> event = decodeWatchEvent(
        R"({"path":"/p","types":["created"],"rule":"r","severity":"critical")" + extra + "}");
    QVERIFY(event);
    QCOMPARE(event->path, u"/p"_s);
    QCOMPARE(event->description, description);
    QCOMPARE(event->lines, lines);
    QCOMPARE(event->pathBytes, pathBytes);
}

QTEST_GUILESS_MAIN(WatchEventTest)
#include "WatchEventTest.moc"
