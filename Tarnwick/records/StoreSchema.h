#pragma once

#include <QSqlDatabase>
#include <QString>

// The layout of the store file, version 1.2.0, the check that a file carries it, and the upgrade of an
// older store. 1.1.0 added finding.pathBytes: the exact bytes of a path that is not UTF-8. 1.2.0 adds
// finding.description and finding.lines (what the rule looks for, where it matched) and the ruleIgnore
// table: the rules the user ignores for a file or a folder.
namespace StoreSchema {

inline constexpr int Major = 1;
inline constexpr int Minor = 2;
inline constexpr int Patch = 0;
inline constexpr const char* VersionText = "1.2.0";
// PRAGMA application_id: "Trnw". Marks the file as ours, so a foreign database is told apart from an
// older or newer Tarnwick store.
inline constexpr int ApplicationId = 0x54726e77;
inline constexpr int UserVersion = Major * 10000 + Minor * 100 + Patch;

enum class State {
    Empty,   // a database with nothing in it (a new file): create the schema
    Current, // our schema, this version
    Older,   // our schema, version 1.0.0 or 1.1.0: upgrade() brings it to this version
    Invalid, // anything else; `reason` says what
};

struct Inspection
{
    State state = State::Invalid;
    QString reason;      // completes "The store file "<path>" ...", e.g. "is not an SQLite database (...)"
    int userVersion = 0; // the version the file carries, as PRAGMA user_version has it
};

// "1.1.0" for 10100.
QString versionText(int userVersion);

// Reads only; never writes to the file.
Inspection inspect(QSqlDatabase& db);

// Completes "The store file "<path>" ..." for a connection that could not even be opened.
QString describeOpenFailure(const QString& driverText);

// Creates the tables, indexes and version marks in one transaction. False and `error` on failure.
bool create(QSqlDatabase& db, QString* error);

// Brings a store of `fromUserVersion` (an Older one) to this version in one transaction, every row
// kept. False and `error` on failure, the file unchanged.
bool upgrade(QSqlDatabase& db, int fromUserVersion, QString* error);

} // namespace StoreSchema
