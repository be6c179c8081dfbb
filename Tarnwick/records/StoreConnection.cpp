#include "StoreConnection.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

// Long enough to ride out another context's save (each is one short transaction), short enough not to
// freeze the main thread when something else holds the file: the save then fails and is retried later.
constexpr int BusyTimeoutMs = 1000;

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("tarnwick-store-%1").arg(counter.fetch_add(1) + 1);
}

} // namespace

StoreConnection::~StoreConnection()
{
    close();
}

bool StoreConnection::open(const QString& filePath, QString* error)
{
    close();
    m_name = nextConnectionName();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(filePath);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!m_db.open()) {
        *error = m_db.lastError().text();
        close();
        return false;
    }
    // WAL survives a crash of the process intact; NORMAL syncs at checkpoints rather than on every save,
    // which keeps saves on the main thread quick, and loses nothing when the process is killed.
    // A larger page cache than SQLite's 2 MB default keeps the indexes' hot pages in memory while
    // findings pile up; it is only allocated as pages are used.
    QSqlQuery q(m_db);
    for (const char* pragma : {"PRAGMA synchronous = NORMAL", "PRAGMA cache_size = -8192"}) {
        if (!q.exec(QString::fromLatin1(pragma))) {
            *error = q.lastError().text();
            q = QSqlQuery();
            close();
            return false;
        }
    }
    return true;
}

void StoreConnection::close()
{
    if (m_name.isEmpty())
        return;
    // removeDatabase() wants no QSqlDatabase copy left alive, so drop ours first.
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}
