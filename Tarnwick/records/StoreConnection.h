#pragma once

#include <QSqlDatabase>
#include <QString>

// One Qt SQL connection to the store file. Qt SQL connections may only be used on the thread that made
// them, so every context gets its own, under a name no other connection in the process uses; the
// connection is removed when its owner goes.
class StoreConnection
{
public:
    StoreConnection() = default;
    ~StoreConnection();
    StoreConnection(const StoreConnection&) = delete;
    StoreConnection& operator=(const StoreConnection&) = delete;

    // Opens `filePath` (which must exist) read-write. False and `error` on failure.
    bool open(const QString& filePath, QString* error);
    void close();

    bool isOpen() const { return m_db.isOpen(); }
    QSqlDatabase& database() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};
