#pragma once

// The file viewer's background work: reading the file and running git each on a pool thread, and
// handing the results to the view on its own thread. A view that goes away (or starts a newer load)
// cancels the old work, and nothing is ever delivered to a deleted view.

#include "viewer/FileContentLoader.h"
#include "viewer/PreparedText.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class FileViewerView;
class QThreadPool;

struct ViewerLoadChannel
{
    std::mutex mutex;
    FileViewerView* view = nullptr; // cleared under the mutex when the view is done with this load
    std::atomic<bool> cancelled{false};

    void close();
};

struct ViewerContentResult
{
    FileContent content;
    PreparedText prepared;
};

struct ViewerDiffResult
{
    QString diff;
    PreparedText prepared;
};

// Pool for the viewer's work; a few threads, shared by all viewer windows.
QThreadPool* viewerThreadPool();

using ContentDelivery = std::function<void(FileViewerView*, const std::shared_ptr<ViewerContentResult>&)>;
using DiffDelivery = std::function<void(FileViewerView*, const std::shared_ptr<ViewerDiffResult>&)>;

// Starts both loads for `path`. The texts are prepared with the given fonts for the view's thread.
void startViewerLoad(const std::shared_ptr<ViewerLoadChannel>& channel, const QString& path,
                     const QFont& contentFont, const QFont& diffFont, ContentDelivery onContent,
                     DiffDelivery onDiff);
