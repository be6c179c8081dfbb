#pragma once

// A raw SQLite connection beside the store (to hold locks, tamper, check), stamped findings, a fresh store.

#include "records/Finding.h"
#include "records/ModelContainer.h"

#include <QObject>
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

    bool exec(const QString& sql);
    // One column of every row, as text; empty on failure.
    QStringList column(const QString& sql, int index = 0);
    QString scalar(const QString& sql) { return column(sql).value(0); }
    QString queryPlan(const QString& sql)
    {
        return column(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, 3).join(u'|');
    }
    QString lastError() const { return m_error; }

private:
    sqlite3* m_db = nullptr;
    QString m_error;
};

QByteArray fileBytes(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes = {});
int modeOf(const QString& path);

// Stamped `msecs` after a fixed epoch, so ordering tests do not depend on the clock.
Finding findingAt(qint64 msecs, const QString& path = QStringLiteral("/p"),
                  const QString& rule = QStringLiteral("rule"));
// Every stored value of the record, quoted, so a comparison shows what differs.
QString fieldsOf(const Finding& f);

std::unique_ptr<ModelContainer> openStore(const QString& path);

// Every test function and data row gets a store file of its own; it saves only when the test saves.
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

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<ModelContainer> m_store;
};
