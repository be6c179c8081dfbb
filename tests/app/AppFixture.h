#pragma once

// Shared set-up for the application's widget tests: a real store file in a temporary folder, handed
// to WatcherStatus like the application does, and findings with chosen times of intake. The config
// folder ($XDG_CONFIG_HOME) is private too, and never set back, so no test writes the developer's own
// autostart entry.

#include "StubNotifier.h"
#include "WatcherScript.h"

#include "records/Finding.h"
#include "records/ModelContainer.h"
#include "records/ModelContext.h"
#include "records/PersistentIdentifier.h"
#include "watcher/WatcherStatus.h"
#include "watcher/WatcherSupervisor.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class StoreFixture
{
public:
    StoreFixture()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        QString error;
        container = ModelContainer::open(dir.filePath(QStringLiteral("store.sqlite")), &error);
        if (!container)
            qFatal("cannot open the test store: %s", qPrintable(error));
        container->setAutosaveDelay(std::chrono::milliseconds(10));
        WatcherStatus::shared().setModelContainer(container.get());
    }
    ~StoreFixture()
    {
        if (WatcherStatus::shared().modelContainer() == container.get())
            WatcherStatus::shared().setModelContainer(nullptr);
    }

    QString configHome() const { return dir.filePath(QStringLiteral("config")); }

    // Saves the findings through a context of their own, as the intake's save would land.
    QList<Finding> addFindings(QList<Finding> findings)
    {
        auto context = container->newContext();
        for (Finding& finding : findings)
            context->insert(finding);
        if (!context->save())
            qFatal("cannot save test findings: %s", qPrintable(context->lastError()));
        return findings;
    }

    Finding addFinding(const QString& path, const QString& rule, const QString& severity)
    {
        return addFindings({Finding(path, rule, severity, {QStringLiteral("created")})}).first();
    }

    // Saves one directory row per path, in this order.
    void addDirectories(const QStringList& paths)
    {
        auto context = container->newContext();
        for (const QString& path : paths) {
            Directory directory(QUrl::fromLocalFile(path));
            context->insert(directory);
        }
        if (!context->save())
            qFatal("cannot save test directories: %s", qPrintable(context->lastError()));
    }

    qsizetype storedFindingCount()
    {
        const auto all = container->newContext()->fetchAllFindings();
        return all ? all->size() : -1;
    }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
};

// A finding recorded `secondsAgo` before now (order by age in the panel follows from it).
inline Finding findingAged(qint64 secondsAgo, const QString& severity,
                           const QString& rule = QStringLiteral("rule"),
                           const QString& path = QStringLiteral("/work/project/.git/hooks/pre-commit"))
{
    return Finding::materialize(PersistentIdentifier::create(), path, rule, severity,
                                {QStringLiteral("created")},
                                QDateTime::currentDateTimeUtc().addSecs(-secondsAgo));
}

// A store with the stand-in watcher (which `supervisor` runs when asked; `script` records its input) and
// the stand-in notifier: what the windows and the delegate stand on.
struct ScriptedAppFixture : StoreFixture
{
    ScriptedAppFixture() { script.runBy(*supervisor); }
    ~ScriptedAppFixture()
    {
        supervisor.reset();
        WatcherStatus::shared().setRunning(false);
    }
    tw::test::WatcherScript script{QStringList{}};
    std::unique_ptr<WatcherSupervisor> supervisor = std::make_unique<WatcherSupervisor>();
    StubNotifier notifier;
};
