// The queries. Each reads the file and then lays the context's pending changes over the result, so
// the main context's lists show its own inserts at once and drop its deletes at once, before any save.

#include "ModelContext.h"
#include "ModelContextImpl.h"
#include "StoreRows.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// Newest first; on equal timestamps the later insert first. Pending inserts are later than every stored
// row (they get the next row ids when saved), and among themselves later in list order.
QList<Finding> pendingNewestFirst(const QList<Finding>& inserted)
{
    QList<Finding> pending(inserted.crbegin(), inserted.crend());
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Finding& a, const Finding& b) { return a.timestamp() > b.timestamp(); });
    return pending;
}

// Merges stored rows (already newest first) with pending ones, leaving out pending deletes and stored
// rows that a re-insert made appear in both (their pending twin stands in for them). Enough stored rows
// were fetched when there are `limit` of them besides the pending deletes.
QList<Finding> mergeNewestFirst(const QList<Finding>& stored, const QList<Finding>& pending,
                                const QSet<PersistentIdentifier>& deleted, qsizetype limit)
{
    QSet<PersistentIdentifier> pendingIds;
    for (const Finding& f : pending)
        pendingIds.insert(f.id());
    QList<Finding> result;
    result.reserve(std::min<qsizetype>(limit, stored.size() + pending.size()));
    auto s = stored.cbegin();
    auto p = pending.cbegin();
    while (result.size() < limit && (s != stored.cend() || p != pending.cend())) {
        if (s != stored.cend() && (deleted.contains(s->id()) || pendingIds.contains(s->id()))) {
            ++s;
            continue;
        }
        const bool takePending =
            p != pending.cend() && (s == stored.cend() || p->timestamp() >= s->timestamp());
        result.append(takePending ? *p++ : *s++);
    }
    return result;
}

} // namespace

std::optional<int> ModelContext::countDirectories()
{
    if (!d->usable())
        return std::nullopt;
    // Pending changes need the rows to know which deletes still hit a stored record; directories are few.
    if (!d->insertedDirectories.isEmpty() || !d->deletedDirectories.isEmpty()) {
        const auto all = fetchDirectories();
        return all ? std::optional<int>(int(all->size())) : std::nullopt;
    }
    QSqlQuery q(d->connection.database());
    if (!q.exec(QStringLiteral("SELECT count(*) FROM directory")) || !q.next()) {
        d->fail(QStringLiteral("Counting directories"), q.lastError().text());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

std::optional<QList<Directory>> ModelContext::fetchDirectories()
{
    if (!d->usable())
        return std::nullopt;
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM directory ORDER BY id")
                    .arg(QLatin1String(StoreRows::DirectoryColumns)))) {
        d->fail(QStringLiteral("Fetching directories"), q.lastError().text());
        return std::nullopt;
    }
    QList<Directory> result;
    QSet<PersistentIdentifier> seen;
    while (q.next()) {
        Directory dir = StoreRows::readDirectory(q);
        if (d->deletedDirectories.contains(dir.id()))
            continue;
        seen.insert(dir.id());
        result.append(std::move(dir));
    }
    for (const Directory& dir : std::as_const(d->insertedDirectories.list)) {
        if (!seen.contains(dir.id()))
            result.append(dir);
    }
    return result;
}

std::optional<QList<Finding>> ModelContext::fetchNewestFindings(int limit, bool includeIgnored)
{
    if (!d->usable())
        return std::nullopt;
    if (limit <= 0)
        return QList<Finding>();
    QList<RuleIgnore> ignores;
    if (!includeIgnored && !d->insertedFindings.isEmpty()) {
        const auto stored = fetchIgnores();
        if (!stored)
            return std::nullopt;
        ignores = *stored;
    }
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    // Walks the timestamp index backwards and stops after `limit` rows (plus as many as pending deletes
    // might remove), however many findings are stored. The ignore test is RuleIgnore::covers in SQL;
    // the stored paths carry no trailing "/" but the root's.
    const QLatin1String notIgnored(
        " WHERE NOT EXISTS (SELECT 1 FROM ruleIgnore i WHERE i.ruleName = finding.ruleName AND"
        " (i.path = finding.path OR (i.isFolder AND (i.path = '/' OR"
        " substr(finding.path, 1, length(i.path) + 1) = i.path || '/'))))");
    if (!q.prepare(QStringLiteral("SELECT %1 FROM finding%2 ORDER BY timestamp DESC, id DESC LIMIT ?")
                       .arg(QLatin1String(StoreRows::FindingColumns),
                            includeIgnored ? QLatin1String() : notIgnored))) {
        d->fail(QStringLiteral("Fetching the newest findings"), q.lastError().text());
        return std::nullopt;
    }
    q.bindValue(0, qint64(limit) + d->deletedFindings.size());
    if (!q.exec()) {
        d->fail(QStringLiteral("Fetching the newest findings"), q.lastError().text());
        return std::nullopt;
    }
    QList<Finding> stored;
    while (q.next())
        stored.append(StoreRows::readFinding(q));
    QList<Finding> pending = d->insertedFindings.list;
    if (!ignores.isEmpty())
        pending.removeIf([&](const Finding& f) { return isIgnored(ignores, f); });
    return mergeNewestFirst(stored, pendingNewestFirst(pending), d->deletedFindings, limit);
}

std::optional<std::optional<Finding>> ModelContext::fetchNewestFinding(const QString& path,
                                                                       const QString& ruleName)
{
    if (!d->usable())
        return std::nullopt;
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM finding WHERE path = ? AND ruleName = ?"
                                  " ORDER BY timestamp DESC, id DESC LIMIT ?")
                       .arg(QLatin1String(StoreRows::FindingColumns)))) {
        d->fail(QStringLiteral("Looking up a finding"), q.lastError().text());
        return std::nullopt;
    }
    q.bindValue(0, path);
    q.bindValue(1, ruleName);
    q.bindValue(2, qint64(1) + d->deletedFindings.size());
    if (!q.exec()) {
        d->fail(QStringLiteral("Looking up a finding"), q.lastError().text());
        return std::nullopt;
    }
    QList<Finding> stored;
    while (q.next())
        stored.append(StoreRows::readFinding(q));
    QList<Finding> pending;
    for (const Finding& f : std::as_const(d->insertedFindings.list)) {
        if (f.path() == path && f.ruleName() == ruleName)
            pending.append(f);
    }
    const QList<Finding> newest =
        mergeNewestFirst(stored, pendingNewestFirst(pending), d->deletedFindings, 1);
    return newest.isEmpty() ? std::optional<Finding>() : std::optional<Finding>(newest.first());
}

std::optional<QList<Finding>> ModelContext::fetchAllFindings()
{
    if (!d->usable())
        return std::nullopt;
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM finding").arg(QLatin1String(StoreRows::FindingColumns)))) {
        d->fail(QStringLiteral("Fetching all findings"), q.lastError().text());
        return std::nullopt;
    }
    QList<Finding> result;
    QSet<PersistentIdentifier> seen;
    while (q.next()) {
        Finding f = StoreRows::readFinding(q);
        if (d->deletedFindings.contains(f.id()))
            continue;
        seen.insert(f.id());
        result.append(std::move(f));
    }
    for (const Finding& f : std::as_const(d->insertedFindings.list)) {
        if (!seen.contains(f.id()))
            result.append(f);
    }
    return result;
}
