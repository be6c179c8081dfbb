#include "ModelContext.h"

#include "ModelContainer.h"
#include "ModelContextImpl.h"
#include "StoreRows.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

template <typename Record>
bool containsRecord(const QList<Record>& list, const PersistentIdentifier& id)
{
    return std::any_of(list.cbegin(), list.cend(), [&](const Record& r) { return r.id() == id; });
}

template <typename Record>
bool removeRecord(QList<Record>& list, const PersistentIdentifier& id)
{
    return list.removeIf([&](const Record& r) { return r.id() == id; }) > 0;
}

// Insert after remove of a stored record undoes the remove; inserting a record twice is one insert.
template <typename Record>
bool stageInsert(QList<Record>& inserted, QSet<PersistentIdentifier>& deleted, const Record& record)
{
    if (!record.id().isValid())
        return false;
    if (deleted.remove(record.id()))
        return true;
    if (containsRecord(inserted, record.id()))
        return false;
    inserted.append(record);
    return true;
}

// Remove of a pending insert cancels it; otherwise the stored row is deleted at the next save.
template <typename Record>
bool stageRemove(QList<Record>& inserted, QSet<PersistentIdentifier>& deleted, const Record& record)
{
    if (!record.id().isValid())
        return false;
    if (removeRecord(inserted, record.id()))
        return true;
    if (deleted.contains(record.id()))
        return false;
    deleted.insert(record.id());
    return true;
}

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

bool ModelContext::save()
{
    if (!d->usable())
        return false;
    if (!d->hasChanges())
        return true;

    QSqlQuery q(d->connection.database());
    // IMMEDIATE takes the write lock up front, so a busy store fails here, before any row is written.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        d->fail(QStringLiteral("Saving"), q.lastError().text());
        return false;
    }
    auto abort = [&](const QSqlQuery& failed) {
        d->fail(QStringLiteral("Saving"), failed.lastError().text());
        QSqlQuery rollback(d->connection.database());
        rollback.exec(QStringLiteral("ROLLBACK"));
        return false;
    };

    // A record inserted again under its kept identity is already there; that must not turn every later
    // save into a failure. Only that conflict is passed over: any other refusal fails the whole save.
    if (!d->insertedDirectories.isEmpty()) {
        QSqlQuery ins(d->connection.database());
        if (!ins.prepare(
                QStringLiteral(
                    "INSERT INTO directory (%1) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (uid) DO NOTHING")
                    .arg(QLatin1String(StoreRows::DirectoryColumns))))
            return abort(ins);
        for (const Directory& dir : std::as_const(d->insertedDirectories)) {
            StoreRows::bind(ins, dir);
            if (!ins.exec())
                return abort(ins);
        }
    }
    if (!d->insertedFindings.isEmpty()) {
        QSqlQuery ins(d->connection.database());
        if (!ins.prepare(
                QStringLiteral(
                    "INSERT INTO finding (%1) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (uid) DO NOTHING")
                    .arg(QLatin1String(StoreRows::FindingColumns))))
            return abort(ins);
        for (const Finding& f : std::as_const(d->insertedFindings)) {
            StoreRows::bind(ins, f);
            if (!ins.exec())
                return abort(ins);
        }
    }
    const std::pair<const QSet<PersistentIdentifier>*, const char*> deletions[] = {
        {&d->deletedDirectories, "DELETE FROM directory WHERE uid = ?"},
        {&d->deletedFindings, "DELETE FROM finding WHERE uid = ?"},
    };
    for (const auto& [ids, sql] : deletions) {
        if (ids->isEmpty())
            continue;
        QSqlQuery del(d->connection.database());
        if (!del.prepare(QString::fromLatin1(sql)))
            return abort(del);
        for (const PersistentIdentifier& id : *ids) {
            del.bindValue(0, id.toBytes());
            if (!del.exec())
                return abort(del);
        }
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return abort(q);

    // Only now, with the transaction durable in the file, are the changes no longer pending.
    d->insertedDirectories.clear();
    d->insertedFindings.clear();
    d->deletedDirectories.clear();
    d->deletedFindings.clear();
    d->lastError.clear();
    d->container->noteSaved(*this);
    return true;
}
