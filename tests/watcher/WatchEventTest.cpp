#include "watcher/WatchEvent.h"

#include <QTest>

class WatchEventTest : public QObject
{
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void pathBytesGiveTheExactName_data();
    void pathBytesGiveTheExactName();
};

void WatchEventTest::decode_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("severity");

    const QStringList created{QStringLiteral("created")};
    auto ok = [&](const char* name, QByteArray line, QString path = QStringLiteral("/p"),
                  QStringList types = {QStringLiteral("created")}, QString rule = QStringLiteral("r"),
                  QString severity = QStringLiteral("critical")) {
        QTest::newRow(name) << line << true << path << types << rule << severity;
    };
    auto bad = [&](const char* name, QByteArray line) {
        QTest::newRow(name) << line << false << QString() << QStringList() << QString() << QString();
    };

    ok("plain", R"({"path":"/p","types":["created"],"rule":"r","severity":"critical"})");
    ok("keys in another order", R"({"severity":"critical","rule":"r","types":["created"],"path":"/p"})");
    ok("white space everywhere", " \t{ \"path\" : \"/p\" ,\n\"types\" : [ \"created\" ] , \"rule\":\"r\",\r\n"
                                 "\"severity\" : \"critical\" } \t");
    ok("extra keys ignored",
       R"({"path":"/p","types":["created"],"rule":"r","severity":"critical","pid":7,"x":null})");
    ok("case-differing extra key ignored",
       R"({"Path":"/q","path":"/p","types":["created"],"rule":"r","severity":"critical"})");
    ok("empty types", R"({"path":"/p","types":[],"rule":"r","severity":"critical"})", QStringLiteral("/p"),
       {});
    ok("several types in order",
       R"({"path":"/p","types":["modified","created"],"rule":"r","severity":"high"})", QStringLiteral("/p"),
       {QStringLiteral("modified"), QStringLiteral("created")}, QStringLiteral("r"), QStringLiteral("high"));
    ok("unknown severity kept as is",
       R"({"path":"/p","types":["created"],"rule":"r","severity":"Critical "})", QStringLiteral("/p"),
       created, QStringLiteral("r"), QStringLiteral("Critical "));
    ok("escapes and non-ASCII",
       R"({"path":"/h\u00e9/\"q\"\n","types":["created"],"rule":"r\u26d4","severity":"critical"})",
       QStringLiteral("/h\u00e9/\"q\"\n"), created, QStringLiteral("r\u26D4"));
    ok("raw UTF-8",
       "{\"path\":\"/\xe2\x80\xae.sh\",\"types\":[\"created\"],\"rule\":\"r\",\"severity\":\"critical\"}",
       QStringLiteral("/\u202E.sh"));
    ok("empty strings", R"({"path":"","types":[""],"rule":"","severity":""})", QString(), {QString()},
       QString(), QString());

    bad("empty line", "");
    bad("not JSON", "hello");
    bad("array, not object", R"([{"path":"/p","types":[],"rule":"r","severity":"critical"}])");
    bad("truncated", R"({"path":"/p","types":["created"],"rule":"r","severity":"crit)");
    bad("two objects", R"({"path":"/p","types":[],"rule":"r","severity":"critical"}{})");
    bad("trailing garbage", R"({"path":"/p","types":[],"rule":"r","severity":"critical"} x)");
    bad("raw carriage return inside a string",
        "{\"path\":\"/p\r\",\"types\":[],\"rule\":\"r\",\"severity\":\"c\"}");
    bad("control character between tokens",
        "{\"path\":\"/p\",\x01\"types\":[],\"rule\":\"r\",\"severity\":\"c\"}");
    ok("escaped quote and backslash at the end of strings",
       R"({"path":"/a\\","types":["created"],"rule":"r\"","severity":"critical"})", QStringLiteral("/a\\"),
       created, QStringLiteral("r\""));

    bad("path missing", R"({"types":["created"],"rule":"r","severity":"critical"})");
    bad("types missing", R"({"path":"/p","rule":"r","severity":"critical"})");
    bad("rule missing", R"({"path":"/p","types":["created"],"severity":"critical"})");
    bad("severity missing", R"({"path":"/p","types":["created"],"rule":"r"})");

    bad("path null", R"({"path":null,"types":["created"],"rule":"r","severity":"critical"})");
    bad("types null", R"({"path":"/p","types":null,"rule":"r","severity":"critical"})");
    bad("rule null", R"({"path":"/p","types":["created"],"rule":null,"severity":"critical"})");
    bad("severity null", R"({"path":"/p","types":["created"],"rule":"r","severity":null})");
    bad("null inside types", R"({"path":"/p","types":["created",null],"rule":"r","severity":"critical"})");

    bad("path a number", R"({"path":1,"types":["created"],"rule":"r","severity":"critical"})");
    bad("types a string", R"({"path":"/p","types":"created","rule":"r","severity":"critical"})");
    bad("number inside types", R"({"path":"/p","types":["created",3],"rule":"r","severity":"critical"})");
    bad("rule a boolean", R"({"path":"/p","types":["created"],"rule":true,"severity":"critical"})");
    bad("severity an object", R"({"path":"/p","types":["created"],"rule":"r","severity":{}})");

    bad("Path in other case", R"({"Path":"/p","types":["created"],"rule":"r","severity":"critical"})");
    bad("key with white space", R"({"path ":"/p","types":["created"],"rule":"r","severity":"critical"})");
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
    QCOMPARE(event->path, QStringLiteral("/caf\uFFFD"));
    QCOMPARE(event->pathBytes, kept);
}

QTEST_GUILESS_MAIN(WatchEventTest)
#include "WatchEventTest.moc"
