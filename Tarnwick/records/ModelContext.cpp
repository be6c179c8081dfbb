#include "ModelContext.h"

#include "ModelContainer.h"
#include "ModelContextImpl.h"
#include "StoreRows.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

// Insert after remove of a stored record undoes the remove; inserting a record twice is one insert.
template <typename Record>
bool stageInsert(PendingInserts<Record>& inserted, QSet<PersistentIdentifier>& deleted, const Record& record)
{
    if (!record.id().isValid())
        return false;
    if (deleted.remove(record.id()))
        return true;
    if (inserted.contains(record.id()))
        return false;
    inserted.append(record);
    return true;
}

// Remove of a pending insert cancels it; otherwise the stored row is deleted at the next save.
template <typename Record>
bool stageRemove(PendingInserts<Record>& inserted, QSet<PersistentIdentifier>& deleted, const Record& record)
{
    if (!record.id().isValid())
        return false;
    if (inserted.remove(record.id()))
        return true;
    if (deleted.contains(record.id()))
        return false;
    deleted.insert(record.id());
    return true;
}

// A record inserted again under its kept identity is already there; that must not turn every later
// save into a failure. Only that conflict is passed over: any other refusal fails the whole save.
const char* const StatementSql[] = {
    // IMMEDIATE takes the write lock up front, so a busy store fails here, before any row is written.
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "INSERT INTO directory (uid, url, watchNewFiles, watchNewDirectories, isRepository, isPromptFolder)"
    " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (uid) DO NOTHING",
    "INSERT INTO finding (uid, path, ruleName, severity, eventTypes, timestamp, pathBytes, description, "
    "lines)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (uid) DO NOTHING",
    "DELETE FROM directory WHERE uid = ?",
    "DELETE FROM finding WHERE uid = ?",
};

} // namespace

bool ModelContext::Impl::usable()
{
    if (QThread::currentThread() != thread) {
        lastError = QStringLiteral("The store context for \"%1\" was used on a thread other than its own")
                        .arg(filePath);
        return false;
    }
    if (!connection.isOpen()) {
        if (lastError.isEmpty())
            lastError = QStringLiteral("The store file \"%1\" is not open").arg(filePath);
        return false;
    }
    return true;
}

void ModelContext::Impl::fail(const QString& what, const QString& reason)
{
    lastError = QStringLiteral("%1 in the store file \"%2\" failed: %3").arg(what, filePath, reason);
}

ModelContext::ModelContext(std::unique_ptr<Impl> impl)
    : d(std::move(impl))
{
}

ModelContext::~ModelContext() = default;

bool ModelContext::isMainContext() const
{
    return d->isMain;
}

QString ModelContext::lastError() const
{
    return d->lastError;
}

bool ModelContext::hasChanges() const
{
    return d->hasChanges();
}

void ModelContext::insert(Directory& directory)
{
    if (QThread::currentThread() == d->thread &&
        stageInsert(d->insertedDirectories, d->deletedDirectories, directory))
        d->container->noteChange(*this);
}

void ModelContext::insert(Finding& finding)
{
    if (QThread::currentThread() == d->thread &&
        stageInsert(d->insertedFindings, d->deletedFindings, finding))
        d->container->noteChange(*this);
}

void ModelContext::remove(const Directory& directory)
{
    if (QThread::currentThread() == d->thread &&
        stageRemove(d->insertedDirectories, d->deletedDirectories, directory))
        d->container->noteChange(*this);
}

void ModelContext::remove(const Finding& finding)
{
    if (QThread::currentThread() == d->thread &&
        stageRemove(d->insertedFindings, d->deletedFindings, finding))
        d->container->noteChange(*this);
}

QSqlQuery* ModelContext::Impl::statement(Statement which)
{
    std::optional<QSqlQuery>& slot = statements[which];
    if (!slot) {
        QSqlQuery q(connection.database());
        if (!q.prepare(QString::fromLatin1(StatementSql[which]))) {
            fail(QStringLiteral("Preparing a write"), q.lastError().text());
            return nullptr;
        }
        slot.emplace(std::move(q));
    }
    return &*slot;
}

bool ModelContext::save()
{
    if (!d->usable())
        return false;
    if (!d->hasChanges())
        return true;

    auto run = [&](Impl::Statement which) {
        QSqlQuery* stmt = d->statement(which);
        if (!stmt)
            return false;
        if (!stmt->exec()) {
            d->fail(QStringLiteral("Saving"), stmt->lastError().text());
            return false;
        }
        return true;
    };
    if (!run(Impl::Begin))
        return false;
    auto abort = [&] {
        const QString reason = d->lastError; // the rollback's own outcome says nothing new
        run(Impl::Rollback);
        d->lastError = reason;
        return false;
    };
    auto write = [&](Impl::Statement which, const auto& records) {
        if (records.isEmpty())
            return true;
        QSqlQuery* stmt = d->statement(which);
        if (!stmt)
            return false;
        for (const auto& record : records) {
            StoreRows::bind(*stmt, record);
            if (!stmt->exec()) {
                d->fail(QStringLiteral("Saving"), stmt->lastError().text());
                return false;
            }
        }
        return true;
    };
    auto erase = [&](Impl::Statement which, const QSet<PersistentIdentifier>& ids) {
        if (ids.isEmpty())
            return true;
        QSqlQuery* stmt = d->statement(which);
        if (!stmt)
            return false;
        for (const PersistentIdentifier& id : ids) {
            stmt->bindValue(0, id.toBytes());
            if (!stmt->exec()) {
                d->fail(QStringLiteral("Saving"), stmt->lastError().text());
                return false;
            }
        }
        return true;
    };
    if (!write(Impl::InsertDirectory, d->insertedDirectories.list) ||
        !write(Impl::InsertFinding, d->insertedFindings.list) ||
        !erase(Impl::DeleteDirectory, d->deletedDirectories) ||
        !erase(Impl::DeleteFinding, d->deletedFindings) || !run(Impl::Commit))
        return abort();

    // Only now, with the transaction in the file, are the changes no longer pending.
    d->insertedDirectories.clear();
    d->insertedFindings.clear();
    d->deletedDirectories.clear();
    d->deletedFindings.clear();
    d->lastError.clear();
    d->container->noteSaved(*this);
    return true;
}
