// The ignores: few rows, read whole and written at once (no pending state to lay over them).

#include "ModelContainer.h"
#include "ModelContext.h"
#include "ModelContextImpl.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

std::optional<QList<RuleIgnore>> ModelContext::fetchIgnores()
{
    if (!d->usable())
        return std::nullopt;
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ruleName, path, isFolder, created FROM ruleIgnore ORDER BY id"))) {
        d->fail(QStringLiteral("Fetching the ignores"), q.lastError().text());
        return std::nullopt;
    }
    QList<RuleIgnore> result;
    while (q.next())
        result.append(RuleIgnore(q.value(0).toString(), q.value(1).toString(), q.value(2).toInt() != 0,
                                 QDateTime::fromMSecsSinceEpoch(q.value(3).toLongLong(), Qt::UTC)));
    return result;
}

bool ModelContext::addIgnore(const RuleIgnore& ignore)
{
    if (!d->usable())
        return false;
    QSqlQuery q(d->connection.database());
    if (!q.prepare(QStringLiteral("INSERT INTO ruleIgnore (ruleName, path, isFolder, created)"
                                  " VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"))) {
        d->fail(QStringLiteral("Adding an ignore"), q.lastError().text());
        return false;
    }
    // A null QString would be bound as NULL, which the NOT NULL columns refuse.
    q.bindValue(0, ignore.ruleName().isNull() ? QStringLiteral("") : ignore.ruleName());
    q.bindValue(1, ignore.path().isNull() ? QStringLiteral("") : ignore.path());
    q.bindValue(2, ignore.isFolder() ? 1 : 0);
    q.bindValue(3, ignore.created().toMSecsSinceEpoch());
    if (!q.exec()) {
        d->fail(QStringLiteral("Adding an ignore"), q.lastError().text());
        return false;
    }
    emit d->container->storeChanged();
    return true;
}

bool ModelContext::removeIgnore(const RuleIgnore& ignore)
{
    if (!d->usable())
        return false;
    QSqlQuery q(d->connection.database());
    if (!q.prepare(
            QStringLiteral("DELETE FROM ruleIgnore WHERE ruleName = ? AND path = ? AND isFolder = ?"))) {
        d->fail(QStringLiteral("Removing an ignore"), q.lastError().text());
        return false;
    }
    q.bindValue(0, ignore.ruleName());
    q.bindValue(1, ignore.path());
    q.bindValue(2, ignore.isFolder() ? 1 : 0);
    if (!q.exec()) {
        d->fail(QStringLiteral("Removing an ignore"), q.lastError().text());
        return false;
    }
    emit d->container->storeChanged();
    return true;
}
