#include "StoreTestSupport.h"

#include <QDebug>
#include <QFile>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace std::chrono_literals;

RawDatabase::RawDatabase(const QString& path)
{
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_busy_timeout(m_db, 5000);
}

RawDatabase::~RawDatabase()
{
    sqlite3_close(m_db);
}

bool RawDatabase::exec(const QString& sql)
{
    char* message = nullptr;
    const bool ok = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok)
        m_error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    return ok;
}

QStringList RawDatabase::column(const QString& sql, int index)
{
    sqlite3_stmt* stmt = nullptr;
    QStringList result;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
        result << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, index)));
    sqlite3_finalize(stmt);
    return result;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int modeOf(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

Finding findingAt(qint64 msecs, const QString& path, const QString& rule)
{
    static const qint64 epoch = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    return Finding::materialize(PersistentIdentifier::create(), path, rule, QStringLiteral("high"),
                                {QStringLiteral("created")},
                                QDateTime::fromMSecsSinceEpoch(epoch + msecs, Qt::UTC));
}

QString fieldsOf(const Finding& f)
{
    QString text;
    QDebug(&text) << f.id().toBytes().toHex() << f.path() << f.nativePath() << f.ruleName() << f.severity()
                  << f.eventTypes() << f.timestamp().toMSecsSinceEpoch() << f.description() << f.lines();
    return text;
}

std::unique_ptr<ModelContainer> openStore(const QString& path)
{
    QString error;
    auto container = ModelContainer::open(path, &error);
    if (!container)
        qWarning("%s", qPrintable(error));
    return container;
}

void StoreTestCase::init()
{
    m_store.reset();
    m_tmp = std::make_unique<QTemporaryDir>();
    m_store = openStore(storePath());
    QVERIFY(m_store);
    m_store->setAutosaveDelay(24h);
}
