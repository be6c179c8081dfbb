#include "watcher/WatchEvent.h"

#include <QTest>

using namespace Qt::StringLiterals;

class WatchEventTest : public QObject
{
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void pathBytesGiveTheExactName_data();
    void pathBytesGiveTheExactName();
    void explanationKeys_data();
    void explanationKeys();
};

void WatchEventTest::decode_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("severity");

    const QStringList created{u"created"_s};
    auto ok = [&](const char* name, QByteArray line, QString path = u"/p"_s,
                  QStringList types = {u"created"_s}, QString rule = u"r"_s,
                  QString severity = u"critical"_s) {
        QTest::newRow(name) << line << true << path << types << rule << severity;
    };
    auto bad = [&](const char* name, QByteArray line) {
        QTest::newRow(name) << line << false << QString() << QStringList() << QString() << QString();
    };

    ok("plain", R"({"path":"/p","types":["created"],"rule":"r","severity":"critical"})");
    ok("white space everywhere, keys in another order",
       " \t{ \"severity\" : \"critical\" ,\n\"types\" : [ \"created\" ] , \"rule\":\"r\",\r\n\"path\" : "
       "\"/p\" } \t");
    ok("extra keys ignored",
       R"({"Path":"/q","path":"/p","types":["created"],"rule":"r","severity":"critical","x":null})");
    ok("empty types", R"({"path":"/p","types":[],"rule":"r","severity":"critical"})", u"/p"_s, {});
    ok("several types in order, unknown severity kept as is",
       R"({"path":"/p","types":["modified","created"],"rule":"r","severity":"Critical "})", u"/p"_s,
       {u"modified"_s, u"created"_s}, u"r"_s, u"Critical "_s);
    ok("escapes and non-ASCII",
       R"({"path":"/h\u00e9/\"q\"\n","types":["created"],"rule":"r\u26d4","severity":"critical"})",
       u"/h\u00e9/\"q\"\n"_s, created, u"r\u26D4"_s);

    bad("empty line", "");
    bad("not JSON", "hello");
    bad("array, not object", R"([{"path":"/p","types":[],"rule":"r","severity":"critical"}])");
    bad("raw carriage return inside a string",
        "{\"path\":\"/p\r\",\"types\":[],\"rule\":\"r\",\"severity\":\"c\"}");
    bad("control character between tokens",
        "{\"path\":\"/p\",\x01\"types\":[],\"rule\":\"r\",\"severity\":\"c\"}");
    ok("escaped quote and backslash at the end of strings",
       R"({"path":"/a\\","types":["created"],"rule":"r\"","severity":"critical"})", u"/a\\"_s, created,
       u"r\""_s);

    bad("path a number", R"({"path":1,"types":["created"],"rule":"r","severity":"critical"})");
    bad("types a string", R"({"path":"/p","types":"created","rule":"r","severity":"critical"})");
    bad("number inside types", R"({"path":"/p","types":["created",3],"rule":"r","severity":"critical"})");
    bad("rule a boolean", R"({"path":"/p","types":["created"],"rule":true,"severity":"critical"})");
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

void WatchEventTest::pathBytesGiveTheExactName_data()
{
    QTest::addColumn<QByteArray>("pathBytes");
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("not UTF-8") << QByteArray("L2NhZuk=") << QByteArray("/caf\xE9");
    QTest::newRow("same as the path") << QByteArray("L2NhZu+/vQ==") << QByteArray();
    QTest::newRow("not base64") << QByteArray("!!") << QByteArray();
    QTest::newRow("holds a NUL byte") << QByteArray("L2EAYg==") << QByteArray();
}

// The event stays whatever pathBytes holds; only sound exact bytes that say more than "path" are kept.
void WatchEventTest::pathBytesGiveTheExactName()
{
    QFETCH(QByteArray, pathBytes);
    QFETCH(QByteArray, kept);
    const std::optional<WatchEvent> event =
        decodeWatchEvent(R"({"path":"/caf\uFFFD","types":[],"rule":"r","severity":"critical","pathBytes":")" +
                         pathBytes + R"("})");
    QVERIFY(event);
    QCOMPARE(event->path, u"/caf\uFFFD"_s);
    QCOMPARE(event->pathBytes, kept);
}

void WatchEventTest::explanationKeys_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QList<int>>("lines");
    const QString runs = u"Runs a payload"_s;
    QTest::newRow("neither key") << QByteArray() << QString() << QList<int>{};
    QTest::newRow("both") << QByteArray(R"(,"description":"Runs a payload","lines":[3,7,40])") << runs
                          << QList<int>{3, 7, 40};
    QTest::newRow("sixteen lines") << QByteArray(R"(,"lines":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16])")
                                   << QString()
                                   << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    QTest::newRow("integral number written as 2.0")
        << QByteArray(R"(,"lines":[2.0])") << QString() << QList<int>{2};
    // Each malformed key is dropped alone; the other key and the event stay.
    QTest::newRow("description a number")
        << QByteArray(R"(,"description":5,"lines":[2])") << QString() << QList<int>{2};
    QTest::newRow("lines a string") << QByteArray(R"(,"description":"Runs a payload","lines":"3")") << runs
                                    << QList<int>{};
    QTest::newRow("lines hold a string") << QByteArray(R"(,"lines":[3,"7"])") << QString() << QList<int>{};
    QTest::newRow("line zero") << QByteArray(R"(,"lines":[0,4])") << QString() << QList<int>{};
    QTest::newRow("fraction") << QByteArray(R"(,"lines":[1.5])") << QString() << QList<int>{};
    QTest::newRow("beyond int") << QByteArray(R"(,"lines":[4294967297])") << QString() << QList<int>{};
    QTest::newRow("unsorted") << QByteArray(R"(,"lines":[7,3])") << QString() << QList<int>{};
    QTest::newRow("repeated") << QByteArray(R"(,"lines":[3,3])") << QString() << QList<int>{};
    QTest::newRow("seventeen lines") << QByteArray(R"(,"lines":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17])")
                                     << QString() << QList<int>{};
}

void WatchEventTest::explanationKeys()
{
    QFETCH(QByteArray, extra);
    QFETCH(QString, description);
    QFETCH(QList<int>, lines);
    const std::optional<WatchEvent> event = decodeWatchEvent(
        R"({"path":"/p","types":["created"],"rule":"r","severity":"critical")" + extra + "}");
    QVERIFY(event);
    QCOMPARE(event->path, u"/p"_s);
    QCOMPARE(event->rule, u"r"_s);
    QCOMPARE(event->description, description);
    QCOMPARE(event->lines, lines);
}

QTEST_GUILESS_MAIN(WatchEventTest)
#include "WatchEventTest.moc"
