#pragma once

// Helpers for the store tests: a raw SQLite connection that works beside the store (to hold locks,
// tamper with files and check integrity), findings with chosen timestamps, and file snapshots.

#include "records/Finding.h"
#include "records/ModelContainer.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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
    // One column of every row, as text.
    QStringList column(const QString& sql, int index = 0);
    // First column of the first row; empty on failure or no row.
    QString scalar(const QString& sql) { return column(sql).value(0); }
    QString lastError() const { return m_error; }

private:
    sqlite3* m_db = nullptr;
    QString m_error;
};

QByteArray fileBytes(const QString& path);
// Creates or truncates the file at `path` and writes `bytes`; false when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes = {});

// A finding stamped with `msecs` after a fixed epoch, so ordering tests do not depend on the clock.
Finding findingAt(qint64 msecs, const QString& path = QStringLiteral("/p"),
                  const QString& rule = QStringLiteral("rule"),
                  const QString& severity = QStringLiteral("high"));

QString testProgram(const char* name);

// The store at `path`, or null with the reason logged.
std::unique_ptr<ModelContainer> openStore(const QString& path);

// Base of the store test classes: every test function, and every data row, gets a store file of its
// own, saved only when the test saves (or changes the autosave delay).
class StoreTestCase : public QObject
{
    Q_OBJECT

protected:
    ModelContainer& store() { return *m_store; }
    ModelContext& mainContext() { return m_store->mainContext(); }
    QString storePath() const { return m_tmp->filePath(QStringLiteral("store.sqlite")); }
    void closeStore() { m_store.reset(); }

private slots:
    void init();
    void cleanup();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<ModelContainer> m_store;
};
