#include "viewer/ViewerLoading.h"

#include "viewer/FileViewerView.h"
#include "viewer/GitDiffLoader.h"
#include "viewer/TextLines.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Hands `result` to the view on its thread, if the view still wants it; otherwise it dies here.
template <typename Result, typename Delivery>
void deliver(const std::shared_ptr<ViewerLoadChannel>& channel, std::shared_ptr<Result> result,
             const Delivery& onResult)
{
    std::lock_guard lock(channel->mutex);
    FileViewerView* view = channel->view;
    if (!view || channel->cancelled.load())
        return;
    // Queued to the view: if the view is deleted before it runs, Qt drops the call with it. Calls
    // queued to one object run in the order they were queued.
    QMetaObject::invokeMethod(
        view, [view, result, onResult] { onResult(view, result); }, Qt::QueuedConnection);
}

// Delivers `text` prepared for display: its opening lines first when it is long, through `first`
// (which also carries the rest of the result), then the whole text through `whole`. `lineCount`: the
// lines of `text` when already known.
template <typename Result, typename First, typename Whole>
void deliverText(const std::shared_ptr<ViewerLoadChannel>& channel, std::shared_ptr<Result> result,
                 const QString& text, std::optional<qsizetype> lineCount, CrlfEnd crlf, const First& first,
                 const Whole& whole)
{
    const QString opening = openingLines(text, kOpeningLines);
    result->partial = opening.size() < text.size();
    result->prepared = prepareText(opening, crlf);
    if (result->partial)
        result->prepared.wholeLineCount = lineCount ? *lineCount : countLines(text);
    deliver(channel, std::move(result), first);
    if (opening.size() == text.size() || channel->cancelled.load())
        return;
    auto display = std::make_shared<ViewerDisplayResult>();
    display->prepared = prepareText(text, crlf);
    deliver(channel, std::move(display), whole);
}

} // namespace

void ViewerLoadChannel::close()
{
    std::lock_guard lock(mutex);
    view = nullptr;
    cancelled = true;
}

// Every load not yet finished, so that quitting can cancel them all.
struct OpenChannels
{
    std::mutex mutex;
    std::vector<std::weak_ptr<ViewerLoadChannel>> channels;

    void add(const std::shared_ptr<ViewerLoadChannel>& channel)
    {
        std::lock_guard lock(mutex);
        std::erase_if(channels, [](const auto& weak) { return weak.expired(); });
        channels.push_back(channel);
    }

    void cancelAll()
    {
        std::lock_guard lock(mutex);
        for (const auto& weak : channels) {
            if (const auto channel = weak.lock())
                channel->cancelled = true;
        }
    }
};

OpenChannels& openChannels()
{
    static OpenChannels* all = new OpenChannels;
    return *all;
}

QThreadPool* viewerThreadPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(kViewerThreads);
        p->setExpiryTimeout(10000);
        // Work still running when the application ends must not touch texts after the
        // application object is gone. Every load stops within a fraction of a second of its cancel
        // (reads, hashing and git all poll it), and quitting waits no longer than a bound for that.
        qAddPostRoutine([] {
            openChannels().cancelAll();
            viewerThreadPool()->waitForDone(static_cast<int>(kViewerQuitWait.count()));
        });
        return p;
    }();
    return pool;
}

void startViewerLoad(const std::shared_ptr<ViewerLoadChannel>& channel, const QByteArray& nativePath,
                     const ViewerDeliveries& deliveries)
{
    openChannels().add(channel);
    viewerThreadPool()->start([channel, nativePath, deliveries] {
        if (channel->cancelled.load())
            return;
        const ReadBounds bounds{std::chrono::steady_clock::now() + kViewerReadTimeout, &channel->cancelled};
        bool readAhead = false;
        const auto deliverOpening = [&](FileOpening opening) {
            auto result = std::make_shared<ViewerContentResult>();
            result->partial = true;
            QString lines = openingLines(opening.text, kOpeningLines);
            // Cut right before a line feed: a CR left at the end is a CRLF's, which a file does not show.
            if (lines.endsWith(QLatin1Char('\r')))
                lines.chop(1);
            result->prepared = prepareText(lines, CrlfEnd::Drop);
            result->prepared.wholeLineCount = std::max(opening.lineEstimate, result->prepared.lineCount());
            deliver(channel, std::move(result), deliveries.content);
            readAhead = true;
        };
        FileContent content = readFileContent(nativePath, kFileContentLimit, bounds, deliverOpening);
        if (channel->cancelled.load())
            return;
        if (readAhead) {
            auto display = std::make_shared<ViewerDisplayResult>();
            display->prepared = prepareText(content.text, CrlfEnd::Drop);
            display->content = std::move(content);
            deliver(channel, std::move(display), deliveries.contentDisplay);
            return;
        }
        auto result = std::make_shared<ViewerContentResult>();
        const QString text = content.text;
        const qsizetype lines = content.lineCount;
        result->content = std::move(content);
        deliverText(channel, std::move(result), text, lines, CrlfEnd::Drop, deliveries.content,
                    deliveries.contentDisplay);
    });
    viewerThreadPool()->start([channel, nativePath, deliveries] {
        if (channel->cancelled.load())
            return;
        auto result = std::make_shared<ViewerDiffResult>();
        GitDiffOptions options;
        options.cancelled = &channel->cancelled;
        // git takes names as arguments, which pass through QString: a name that is not UTF-8 would
        // reach it changed, naming another file. Such a file gets no diff rather than another's.
        const QString path = QFile::decodeName(nativePath);
        if (QFile::encodeName(path) == nativePath)
            result->diff = loadGitDiff(path, options);
        if (channel->cancelled.load())
            return;
        const QString text = result->diff;
        deliverText(channel, std::move(result), text, std::nullopt, CrlfEnd::Mark, deliveries.diff,
                    deliveries.diffDisplay);
    });
}
