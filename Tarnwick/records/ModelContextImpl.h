#pragma once

#include "ModelContext.h"
#include "StoreConnection.h"

#include <QList>
#include <QSet>
#include <QSqlQuery>
#include <QThread>

#include <array>
#include <optional>

// Pending inserts in insertion order, with their identities for quick membership tests: a batch of
// thousands of findings must not cost a scan per insert.
template <typename Record>
struct PendingInserts
{
    QList<Record> list;
    QSet<PersistentIdentifier> ids;

    bool contains(const PersistentIdentifier& id) const { return ids.contains(id); }
    bool isEmpty() const { return list.isEmpty(); }
    qsizetype size() const { return list.size(); }
    void append(const Record& r)
    {
        list.append(r);
        ids.insert(r.id());
    }
    bool remove(const PersistentIdentifier& id)
    {
        if (!ids.remove(id))
            return false;
        list.removeIf([&](const Record& r) { return r.id() == id; });
        return true;
    }
    void clear()
    {
        list.clear();
        ids.clear();
    }
};

// What a context holds between its operations: its own connection and its pending changes.
struct ModelContext::Impl
{
    ModelContainer* container = nullptr;
    bool isMain = false;
    QThread* thread = nullptr; // the only thread allowed to use the connection
    QString filePath;
    StoreConnection connection;
    QString lastError;
    QString openError; // why the connection could not be opened, as the driver said

    // Pending inserts; pending deletes of records that are (or were) stored.
    PendingInserts<Directory> insertedDirectories;
    PendingInserts<Finding> insertedFindings;
    QSet<PersistentIdentifier> deletedDirectories;
    QSet<PersistentIdentifier> deletedFindings;

    bool hasChanges() const
    {
        return !insertedDirectories.isEmpty() || !insertedFindings.isEmpty() ||
               !deletedDirectories.isEmpty() || !deletedFindings.isEmpty();
    }

    // The writes' statements, prepared once per context (declared after the connection, so they go
    // before it does).
    enum Statement {
        Begin,
        Commit,
        Rollback,
        InsertDirectory,
        InsertFinding,
        DeleteDirectory,
        DeleteFinding,
        StatementCount
    };
    std::array<std::optional<QSqlQuery>, StatementCount> statements;
    // Null (and lastError set) when the statement cannot be prepared.
    QSqlQuery* statement(Statement which);

    // False (and lastError set) when called from a thread other than the creating one, or when the
    // connection could not be opened.
    bool usable();
    void fail(const QString& what, const QString& reason);
};
