#include "StoreBackup.h"

#include "StoreFiles.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <unistd.h>

namespace StoreBackup {
namespace {

// Past this many backups of one version something else is wrong; better to stop than to litter.
constexpr int MaxCandidates = 100;

} // namespace

QString keepCopy(QSqlDatabase& db, const QString& storePath, const QString& version, QString* error)
{
    for (int n = 1; n <= MaxCandidates; ++n) {
        const QString candidate = n == 1 ? QStringLiteral("%1.%2.bak").arg(storePath, version)
                                         : QStringLiteral("%1.%2-%3.bak").arg(storePath, version).arg(n);
        // Created empty and owner-only first (O_EXCL: an existing file or link is never reused); SQLite
        // writes into an empty file and keeps its mode.
        QString reason;
        if (!StoreFiles::createFile(candidate, &reason)) {
            if (errno == EEXIST)
                continue;
            *error = QStringLiteral("the backup \"%1\" could not be created (%2)").arg(candidate, reason);
            return {};
        }
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("VACUUM INTO ?"))) {
            *error = q.lastError().text();
        } else {
            q.bindValue(0, candidate);
            if (q.exec())
                return candidate;
            *error = QStringLiteral("the backup \"%1\" could not be written (%2)")
                         .arg(candidate, q.lastError().text());
        }
        q = QSqlQuery();
        StoreFiles::removeCreated(candidate);
        return {};
    }
    *error = QStringLiteral("there are already %1 backups beside it").arg(MaxCandidates);
    return {};
}

} // namespace StoreBackup
