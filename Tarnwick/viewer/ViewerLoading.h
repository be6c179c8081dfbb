#pragma once

// The file viewer's background work: reading the file and running git each on a pool thread, and
// handing the results to the view on its own thread. A view that goes away (or starts a newer load)
// cancels the old work, and nothing is ever delivered to a deleted view.
//
// Preparing a long text (tokens, cut lines, the offset of every line) is a pass over all of it, so a
// long text is delivered twice: first its opening lines ready to show, then the whole text prepared.
// A long file's opening lines are decoded from its first bytes and delivered before the rest is read;
// its content comes with the whole text. Otherwise the content comes with the opening lines.

#include "viewer/FileContentLoader.h"
#include "viewer/PreparedText.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class FileViewerView;
class QThreadPool;

struct ViewerLoadChannel
{
    std::mutex mutex;
    FileViewerView* view = nullptr; // cleared under the mutex when the view is done with this load
    std::atomic<bool> cancelled{false};

    void close();
};

// Lines shown before the whole document of a long text is ready.
inline constexpr qsizetype kOpeningLines = 2000;

struct ViewerContentResult
{
    std::optional<FileContent> content; // none when read ahead: it comes with the ViewerDisplayResult
    PreparedText prepared;
    bool partial = false; // `prepared` holds only the opening lines; a ViewerDisplayResult follows
};

struct ViewerDiffResult
{
    QString diff;
    PreparedText prepared;
    bool partial = false;
};

// The whole of a text first delivered partially.
struct ViewerDisplayResult
{
    PreparedText prepared;
    std::optional<FileContent> content; // the file's, when its opening lines were read ahead of it
};

// Pool for the viewer's work, shared by all viewer windows. Every task ends by its deadline, so a
// hostile file holds a thread for seconds at most.
inline constexpr int kViewerThreads = 8;
inline constexpr std::chrono::milliseconds kViewerReadTimeout{15000};
// Quitting cancels every load and waits this long at most for the pool's threads.
inline constexpr std::chrono::milliseconds kViewerQuitWait{2000};
QThreadPool* viewerThreadPool();

struct ViewerDeliveries
{
    std::function<void(FileViewerView*, const std::shared_ptr<ViewerContentResult>&)> content;
    std::function<void(FileViewerView*, const std::shared_ptr<ViewerDisplayResult>&)> contentDisplay;
    std::function<void(FileViewerView*, const std::shared_ptr<ViewerDiffResult>&)> diff;
    std::function<void(FileViewerView*, const std::shared_ptr<ViewerDisplayResult>&)> diffDisplay;
};

// Starts both loads for the file at `nativePath` (its exact bytes).
void startViewerLoad(const std::shared_ptr<ViewerLoadChannel>& channel, const QByteArray& nativePath,
                     const ViewerDeliveries& deliveries);
