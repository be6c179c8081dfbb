#include "ModelContainer.h"

#include "ModelContextImpl.h"
#include "StoreBackup.h"
#include "StoreFiles.h"
#include "StoreSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds DefaultAutosaveDelay{500};
// After failed saves the main context tries again with growing pauses, up to this one.
constexpr std::chrono::milliseconds LongestAutosaveRetry{30000};

} // namespace

struct ModelContainer::Impl
{
    QString filePath;
    std::unique_ptr<ModelContext> main;
    QTimer autosaveTimer;
    std::chrono::milliseconds autosaveDelay = DefaultAutosaveDelay;
    int failedAutosaves = 0;
};

ModelContainer::ModelContainer(std::unique_ptr<Impl> impl)
    : d(std::move(impl))
{
    d->autosaveTimer.setSingleShot(true);
    connect(&d->autosaveTimer, &QTimer::timeout, this, &ModelContainer::autosave);
}

ModelContainer::~ModelContainer()
{
    d->autosaveTimer.stop();
    // Pending changes of the main context would be lost with it; one last attempt keeps them.
    if (d->main && d->main->hasChanges())
        d->main->save();
    d->main.reset();
}

QString ModelContainer::defaultStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/store.sqlite");
}

std::unique_ptr<ModelContainer> ModelContainer::open(const QString& filePath, QString* error)
{
    const QString path = QFileInfo(filePath).absoluteFilePath();
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("The store file \"%1\" %2.").arg(path, reason);
        return std::unique_ptr<ModelContainer>();
    };
    if (filePath.isEmpty())
        return fail(QStringLiteral("has no name"));

    const QFileInfo info(path);
    bool created = false;
    QString reason;
    if (info.exists()) {
        reason = StoreFiles::unusableReason(path);
        if (!reason.isEmpty())
            return fail(reason);
    } else {
        if (!StoreFiles::ensureFolder(info.absolutePath(), &reason))
            return fail(QStringLiteral("could not be created: %1").arg(reason));
        if (!StoreFiles::createFile(path, &reason))
            return fail(QStringLiteral("could not be created (%1)").arg(reason));
        created = true;
    }
    // From here on, a failure must leave no trace of a file this call created.
    auto failCreated = [&](const QString& why) {
        if (created)
            StoreFiles::removeCreated(path);
        return fail(why);
    };

    auto impl = std::make_unique<Impl>();
    impl->filePath = path;
    std::unique_ptr<ModelContainer> container(new ModelContainer(std::move(impl)));
    container->d->main = container->makeContext(true);
    ModelContext::Impl& main = *container->d->main->d;
    if (!main.connection.isOpen()) {
        const QString why = StoreSchema::describeOpenFailure(main.openError);
        container.reset();
        return failCreated(why);
    }

    // Only reads until the file is known to be ours (or empty): a foreign file stays untouched.
    QSqlDatabase& db = main.connection.database();
    const StoreSchema::Inspection inspection = StoreSchema::inspect(db);
    if (inspection.state == StoreSchema::State::Invalid) {
        container.reset();
        return failCreated(inspection.reason);
    }
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.next() ||
            q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
            const QString why = q.lastError().text();
            q = QSqlQuery();
            container.reset();
            return failCreated(QStringLiteral("could not be switched to write-ahead logging (%1)").arg(why));
        }
    }
    if (inspection.state == StoreSchema::State::Empty && !StoreSchema::create(db, &reason)) {
        container.reset();
        return failCreated(QStringLiteral("could not be initialised (%1)").arg(reason));
    }
    if (inspection.state == StoreSchema::State::Older) {
        // The copy comes first: an upgrade that cannot keep one does not happen.
        if (StoreBackup::keepCopy(db, path, StoreSchema::versionText(inspection.userVersion), &reason)
                .isEmpty() ||
            !StoreSchema::upgrade(db, inspection.userVersion, &reason)) {
            container.reset();
            return failCreated(QStringLiteral("could not be upgraded to schema version %1 (%2)")
                                   .arg(QLatin1String(StoreSchema::VersionText), reason));
        }
    }

    StoreFiles::restrictFile(path);
    if (QDir(info.absolutePath()) == QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)))
        StoreFiles::restrictFolder(info.absolutePath());
    return container;
}

QString ModelContainer::filePath() const
{
    return d->filePath;
}

std::unique_ptr<ModelContext> ModelContainer::makeContext(bool isMain)
{
    auto impl = std::make_unique<ModelContext::Impl>();
    impl->container = this;
    impl->isMain = isMain;
    impl->thread = QThread::currentThread();
    impl->filePath = d->filePath;
    if (!impl->connection.open(d->filePath, &impl->openError))
        impl->lastError =
            QStringLiteral("The store file \"%1\" could not be opened: %2").arg(d->filePath, impl->openError);
    return std::unique_ptr<ModelContext>(new ModelContext(std::move(impl)));
}

ModelContext& ModelContainer::mainContext()
{
    return *d->main;
}

std::unique_ptr<ModelContext> ModelContainer::newContext()
{
    return makeContext(false);
}

void ModelContainer::setAutosaveDelay(std::chrono::milliseconds delay)
{
    d->autosaveDelay = std::max(delay, std::chrono::milliseconds(0));
    if (d->autosaveTimer.isActive())
        d->autosaveTimer.start(d->autosaveDelay);
}

std::chrono::milliseconds ModelContainer::autosaveDelay() const
{
    return d->autosaveDelay;
}

void ModelContainer::noteChange(const ModelContext& context)
{
    if (context.isMainContext() && !d->autosaveTimer.isActive())
        d->autosaveTimer.start(d->autosaveDelay);
    emit storeChanged();
}

void ModelContainer::noteSaved(const ModelContext& context)
{
    if (context.isMainContext())
        d->failedAutosaves = 0;
    emit storeChanged();
}

void ModelContainer::autosave()
{
    ModelContext& main = *d->main;
    if (!main.hasChanges() || main.save())
        return;
    // Kept pending; try again later so the changes reach the file even if nothing else happens.
    d->failedAutosaves = std::min(d->failedAutosaves + 1, 16);
    const std::chrono::milliseconds pause = std::min(
        LongestAutosaveRetry, std::chrono::milliseconds(d->autosaveDelay.count() << d->failedAutosaves));
    d->autosaveTimer.start(std::max(pause, std::chrono::milliseconds(100)));
}
