#pragma once

// Helpers for the store tests: a raw SQLite connection that works beside the store (to hold locks,
// tamper with files and check integrity), findings with chosen timestamps, and file snapshots.

#include "records/Finding.h"
#include "records/ModelContainer.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

struct sqlite3;

class RawDatabase
{
public:
    explicit RawDatabase(const QString& path);
    ~RawDatabase();
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    bool isOpen() const { return m_db != nullptr; }
    // Runs `sql` (one or more statements); false and lastError() on failure.
    bool exec(const QString& sql);
    // First column of the first row, as text; empty on failure or no row.
    QString scalar(const QString& sql);
    // One column of every row, as text.
    QStringList column(const QString& sql, int index);
    QString lastError() const { return m_error; }

private:
    sqlite3* m_db = nullptr;
    QString m_error;
};

QByteArray fileBytes(const QString& path);
QStringList folderEntries(const QString& folder);

// A finding stamped with `msecs` after a fixed epoch, so ordering tests do not depend on the clock.
Finding findingAt(qint64 msecs, const QString& path = QStringLiteral("/p"),
                  const QString& rule = QStringLiteral("rule"),
                  const QString& severity = QStringLiteral("high"));

QString testProgram(const char* name);

// The store at `path`, or null with the reason logged.
std::unique_ptr<ModelContainer> openStore(const QString& path);
