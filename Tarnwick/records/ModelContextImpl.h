#pragma once

#include "ModelContext.h"
#include "StoreConnection.h"

#include <QList>
#include <QSet>
#include <QThread>

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

    // Pending inserts in insertion order; pending deletes of records that are (or were) stored.
    QList<Directory> insertedDirectories;
    QList<Finding> insertedFindings;
    QSet<PersistentIdentifier> deletedDirectories;
    QSet<PersistentIdentifier> deletedFindings;

    bool hasChanges() const
    {
        return !insertedDirectories.isEmpty() || !insertedFindings.isEmpty() ||
               !deletedDirectories.isEmpty() || !deletedFindings.isEmpty();
    }

    // False (and lastError set) when called from a thread other than the creating one, or when the
    // connection could not be opened.
    bool usable();
    void fail(const QString& what, const QString& reason);
};
