#pragma once

#include "ModelContext.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

// The one store of the application: a single SQLite file holding the watched directories and the
// findings (StoreSchema). It is opened once at start-up and lives until the process ends.
class ModelContainer : public QObject
{
    Q_OBJECT

public:
    // Opens the store at `filePath`, creating it (and its missing folders, owner-only) when it does not
    // exist. An older store is upgraded in place after a copy of it is kept beside it
    // ("<file>.<old version>.bak"). On failure returns nullptr and sets *error to a description naming the
    // file and the reason; the file is then left exactly as it was.
    static std::unique_ptr<ModelContainer> open(const QString& filePath, QString* error);
    // The application data location + "/store.sqlite".
    static QString defaultStorePath();

    ~ModelContainer() override;

    QString filePath() const;

    // The same context on every call; main thread only.
    ModelContext& mainContext();
    // A fresh context for one operation, bound to the calling thread; it must not outlive the container.
    // Never null: when its connection cannot be opened, its operations fail with lastError() set.
    std::unique_ptr<ModelContext> newContext();

    // How long after a change the main context saves by itself (and retries after a failed save).
    void setAutosaveDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds autosaveDelay() const;

signals:
    // After any context's insert, delete or successful save. May be emitted from the thread of a
    // short-lived context; connections to main-thread objects are then queued.
    void storeChanged();

private:
    friend class ModelContext;
    struct Impl;
    explicit ModelContainer(std::unique_ptr<Impl> impl);

    // Called by contexts, on their own thread.
    void noteChange(const ModelContext& context);
    void noteSaved(const ModelContext& context);
    void autosave();
    std::unique_ptr<ModelContext> makeContext(bool isMain);

    std::unique_ptr<Impl> d;
};
