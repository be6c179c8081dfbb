#include "StoreSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace StoreSchema {
namespace {

// One row per "ignore this rule here": `path` is a file, or with isFolder every path below it.
// The UNIQUE index also serves the look-up by rule.
const char* const IgnoreTable = "CREATE TABLE ruleIgnore ("
                                " id INTEGER PRIMARY KEY,"
                                " ruleName TEXT NOT NULL,"
                                " path TEXT NOT NULL,"
                                " isFolder INTEGER NOT NULL,"
                                " created INTEGER NOT NULL," // milliseconds since 1970-01-01 UTC
                                " UNIQUE (ruleName, path, isFolder))";

// Store order of directories is the order of insertion: `id` grows with every insert. `uid` is the
// record's persistent identifier. The panel reads findings newest first and the notification lookup
// by path and rule, newest first; each has its index so neither slows down as findings pile up.
const char* const CreateStatements[] = {
    "CREATE TABLE metadata (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL)",
    "CREATE TABLE directory ("
    " id INTEGER PRIMARY KEY,"
    " uid BLOB NOT NULL UNIQUE,"
    " url TEXT NOT NULL,"
    " watchNewFiles INTEGER NOT NULL,"
    " watchNewDirectories INTEGER NOT NULL,"
    " isRepository INTEGER NOT NULL,"
    " isPromptFolder INTEGER NOT NULL)",
    "CREATE TABLE finding ("
    " id INTEGER PRIMARY KEY,"
    " uid BLOB NOT NULL UNIQUE,"
    " path TEXT NOT NULL,"
    " ruleName TEXT NOT NULL,"
    " severity TEXT NOT NULL,"
    " eventTypes TEXT NOT NULL,"   // JSON array of strings
    " timestamp INTEGER NOT NULL," // milliseconds since 1970-01-01 UTC
    " pathBytes BLOB,"             // NULL unless the path is not UTF-8
    " description TEXT NOT NULL DEFAULT '',"
    " lines TEXT NOT NULL DEFAULT '[]')", // JSON array of ascending 1-based line numbers
    "CREATE INDEX finding_by_timestamp ON finding (timestamp)",
    "CREATE INDEX finding_by_path_rule ON finding (path, ruleName, timestamp)",
    IgnoreTable,
};

constexpr int Version100 = 10000;
constexpr int Version110 = 10100;

QString sqliteReason(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (text.contains(QLatin1String("not a database")))
        return QStringLiteral("is not an SQLite database (%1)").arg(text);
    return QStringLiteral("could not be read (%1)").arg(text);
}

} // namespace

QString versionText(int userVersion)
{
    return QStringLiteral("%1.%2.%3")
        .arg(userVersion / 10000)
        .arg(userVersion / 100 % 100)
        .arg(userVersion % 100);
}

QString describeOpenFailure(const QString& driverText)
{
    // The driver reads the header while opening, so a file that is not a database can fail right here.
    if (driverText.contains(QLatin1String("not a database")))
        return QStringLiteral("is not an SQLite database (file is not a database)");
    return QStringLiteral("could not be opened (%1)").arg(driverText);
}

namespace {

bool readInt(QSqlDatabase& db, const QString& sql, int* value, QString* reason)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next()) {
        *reason = sqliteReason(q.lastError());
        return false;
    }
    *value = q.value(0).toInt();
    return true;
}

} // namespace

Inspection inspect(QSqlDatabase& db)
{
    Inspection result;
    int applicationId = 0;
    int userVersion = 0;
    int objects = 0;
    // The first read is where SQLite notices a file that is not a database.
    if (!readInt(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), &objects, &result.reason) ||
        !readInt(db, QStringLiteral("PRAGMA application_id"), &applicationId, &result.reason) ||
        !readInt(db, QStringLiteral("PRAGMA user_version"), &userVersion, &result.reason))
        return result;

    if (objects == 0 && applicationId == 0 && userVersion == 0) {
        result.state = State::Empty;
        return result;
    }
    if (applicationId != ApplicationId) {
        result.reason = QStringLiteral("is an SQLite database of another application (no Tarnwick schema)");
        return result;
    }
    result.userVersion = userVersion;
    const bool older = userVersion == Version100 || userVersion == Version110;
    if (userVersion != UserVersion && !older) {
        result.reason = QStringLiteral("carries schema version %1, expected %2")
                            .arg(versionText(userVersion), QLatin1String(VersionText));
        return result;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT value FROM metadata WHERE key = 'schemaVersion'")) || !q.next()) {
        result.reason = QStringLiteral("has no schema version record (%1)").arg(q.lastError().text());
        return result;
    }
    const QString recorded = q.value(0).toString();
    if (recorded != versionText(userVersion)) {
        result.reason = QStringLiteral("carries schema version %1, expected %2")
                            .arg(recorded, QLatin1String(VersionText));
        return result;
    }
    // The version marks alone do not prove the tables are usable; every column the queries read must be
    // there, or the store would open and then fail every query.
    QStringList probes{QStringLiteral("SELECT uid, url, watchNewFiles, watchNewDirectories, isRepository,"
                                      " isPromptFolder, id FROM directory LIMIT 0")};
    if (userVersion == Version100)
        probes << QStringLiteral(
            "SELECT uid, path, ruleName, severity, eventTypes, timestamp, id FROM finding"
            " LIMIT 0");
    else if (userVersion == Version110)
        probes << QStringLiteral("SELECT uid, path, ruleName, severity, eventTypes, timestamp, pathBytes, id"
                                 " FROM finding LIMIT 0");
    else
        probes << QStringLiteral("SELECT uid, path, ruleName, severity, eventTypes, timestamp, pathBytes,"
                                 " description, lines, id FROM finding LIMIT 0")
               << QStringLiteral("SELECT id, ruleName, path, isFolder, created FROM ruleIgnore LIMIT 0");
    for (const QString& probe : std::as_const(probes)) {
        if (!q.exec(probe)) {
            result.reason = QStringLiteral("does not have the tables of schema version %1 (%2)")
                                .arg(versionText(userVersion), q.lastError().databaseText());
            return result;
        }
    }
    result.state = older ? State::Older : State::Current;
    return result;
}

namespace {

bool runInTransaction(QSqlDatabase& db, const QStringList& statements, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = q.lastError().text();
        return false;
    }
    for (const QString& statement : statements) {
        if (!q.exec(statement)) {
            *error = q.lastError().text();
            q.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        *error = q.lastError().text();
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

QStringList versionMarks(const char* metadataStatement)
{
    return {QString::fromLatin1(metadataStatement).arg(QLatin1String(VersionText)),
            QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId),
            QStringLiteral("PRAGMA user_version = %1").arg(UserVersion)};
}

} // namespace

bool upgrade(QSqlDatabase& db, int fromUserVersion, QString* error)
{
    // Adding a column rewrites no row: the existing findings keep every value, with pathBytes NULL, no
    // description and no lines.
    QStringList statements;
    if (fromUserVersion == Version100)
        statements << QStringLiteral("ALTER TABLE finding ADD COLUMN pathBytes BLOB");
    statements << QStringLiteral("ALTER TABLE finding ADD COLUMN description TEXT NOT NULL DEFAULT ''")
               << QStringLiteral("ALTER TABLE finding ADD COLUMN lines TEXT NOT NULL DEFAULT '[]'")
               << QString::fromLatin1(IgnoreTable);
    return runInTransaction(
        db, statements + versionMarks("UPDATE metadata SET value = '%1' WHERE key = 'schemaVersion'"), error);
}

bool create(QSqlDatabase& db, QString* error)
{
    QStringList statements;
    for (const char* statement : CreateStatements)
        statements << QString::fromLatin1(statement);
    return runInTransaction(
        db, statements + versionMarks("INSERT INTO metadata (key, value) VALUES ('schemaVersion', '%1')"),
        error);
}

} // namespace StoreSchema
