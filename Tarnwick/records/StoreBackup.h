#pragma once

#include <QSqlDatabase>
#include <QString>

// The copy of an older store kept beside it before its upgrade, so that the user can go back to the
// release that wrote it. The copy holds every finding, so it is owner-only like the store.
namespace StoreBackup {

// Writes a consistent copy of the database open on `db` (committed write-ahead log included) to a new
// file "<storePath>.<version>.bak", or "<storePath>.<version>-<n>.bak" when that name is taken: an
// earlier backup is never overwritten. Returns the copy's path, or an empty string and `error`, leaving
// no partial copy behind. Must not run inside a transaction.
QString keepCopy(QSqlDatabase& db, const QString& storePath, const QString& version, QString* error);

} // namespace StoreBackup
