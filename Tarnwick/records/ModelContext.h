#pragma once

#include "Directory.h"
#include "Finding.h"
#include "RuleIgnore.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class ModelContainer;

// A unit of work on the store: pending inserts and deletes, written by save() in one transaction, and
// the program's queries, and the ignores. Exactly these operations exist; there is no general query or
// update.
//
// The main context (ModelContainer::mainContext()) is used on the main thread only. Its queries include
// its own pending inserts and leave out its pending deletes, and it saves by itself shortly after a
// change. A short-lived context (ModelContainer::newContext()) sees only what has been saved; it must be
// used and destroyed on the thread that created it, for one operation.
//
// A failed save changes nothing in the file and keeps every pending change, so the next successful save
// writes them: no record is lost because one save failed.
class ModelContext
{
public:
    ~ModelContext();
    ModelContext(const ModelContext&) = delete;
    ModelContext& operator=(const ModelContext&) = delete;

    // Writes. Inserting a record that is already pending or stored (same identity) changes nothing;
    // removing a record that is pending cancels its insert.
    void insert(Directory& directory);
    void insert(Finding& finding);
    void remove(const Directory& directory);
    void remove(const Finding& finding);
    // Writes the pending changes in one transaction. False on failure, with the changes still pending.
    bool save();
    bool hasChanges() const;

    // The queries. std::nullopt means the query failed (lastError() says why).

    // Launch directory count.
    std::optional<int> countDirectories();
    // Configuration fetch and directory window list: every directory in store order (order of insertion).
    std::optional<QList<Directory>> fetchDirectories();
    // Findings panel list: newest first by timestamp; equal timestamps list the later insert first.
    // Without `includeIgnored`, findings that an ignore covers are left out and do not count to `limit`.
    std::optional<QList<Finding>> fetchNewestFindings(int limit = 100, bool includeIgnored = true);
    // Notification lookup: the newest finding whose path and ruleName equal the arguments exactly.
    // Outer nullopt: the query failed. Inner nullopt: no such finding.
    std::optional<std::optional<Finding>> fetchNewestFinding(const QString& path, const QString& ruleName);
    // Clear-all fetch: every finding, in no particular order.
    std::optional<QList<Finding>> fetchAllFindings();

    // The ignores, oldest first. Unlike records they are written at once, each by one statement, and
    // every context sees them then.
    std::optional<QList<RuleIgnore>> fetchIgnores();
    // True when the ignore is stored afterwards, also when an equal one already was.
    bool addIgnore(const RuleIgnore& ignore);
    // True when no equal ignore is stored afterwards.
    bool removeIgnore(const RuleIgnore& ignore);

    bool isMainContext() const;
    // Description of the last failed query or save, naming the store file.
    QString lastError() const;

private:
    friend class ModelContainer;
    struct Impl;
    explicit ModelContext(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> d;
};
