#include "WatcherStatus.h"
#include "WatcherSupervisor.h"

#include "records/Directory.h"
#include "records/ModelContainer.h"

bool isSendablePath(const QString& path)
{
    return !path.contains(QLatin1Char('\n'));
}

QStringList selectedDirectoryPaths(const QList<Directory>& directories)
{
    QStringList paths;
    for (const Directory& directory : directories) {
        // The watcher reads one path a line: a line feed in a name cannot be sent (the directories
        // window says so on the folder's row).
        if ((directory.watchNewFiles() || directory.watchNewDirectories()) &&
            isSendablePath(directory.path()))
            paths.append(directory.path());
    }
    return paths;
}

void sendDirectoryConfiguration()
{
    WatcherStatus& status = WatcherStatus::shared();
    ModelContainer* container = status.modelContainer();
    if (!container)
        return;
    // A context of its own: it reads what has been saved, not the main context's pending work.
    const std::unique_ptr<ModelContext> context = container->newContext();
    const std::optional<QList<Directory>> directories = context->fetchDirectories();
    if (!directories)
        return;
    status.sendDirectories(selectedDirectoryPaths(*directories));
}
