// From the watcher's pipe to committed rows: a stand-in watcher writes 200,000 event lines as fast as
// it can; the real supervisor, reader, decoder, intake and store take them in on the main thread.
// Prints events per second, the longest main-thread stall, and the in-process ceiling (decode and
// insert with no pipe and no event loop) for comparison.
//
//   bench_watcher_pipeline [lines]

#include "watcher/Intake.h"
#include "watcher/Notifier.h"
#include "watcher/WatchEvent.h"
#include "watcher/WatcherStatus.h"
#include "watcher/WatcherSupervisor.h"

#include "records/ModelContainer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

class CountingNotifier : public Notifier
{
public:
    void notify(const Notification&) override { ++count; }
    void checkAuthorization(std::function<void(bool)> done) override { done(true); }
    void requestAuthorization(std::function<void(bool, const QString&)> done) override { done(true, {}); }
    int count = 0;
};

QByteArray line(long i)
{
    return QStringLiteral(R"({"path":"/home/dev/project/src/file%1.js","types":["created","modified"],)"
                          R"("rule":"rule-%2","severity":"%3"})")
        .arg(i)
        .arg(i % 50)
        .arg(i % 3 == 0 ? QStringLiteral("critical")
                        : (i % 3 == 1 ? QStringLiteral("high") : QStringLiteral("warning")))
        .toUtf8();
}

std::unique_ptr<ModelContainer> openStore(const QTemporaryDir& dir, const char* name)
{
    QString error;
    auto store = ModelContainer::open(dir.filePath(QLatin1String(name)), &error);
    if (!store) {
        std::fprintf(stderr, "cannot open store: %s\n", qPrintable(error));
        std::exit(1);
    }
    store->setAutosaveDelay(std::chrono::hours(1));
    return store;
}

// Ceiling: the same lines decoded and inserted in batches of `batch` (the pipe run's average read),
// saved after each batch, with no pipe and no event loop. Returns events per second.
double ceilingRate(const QTemporaryDir& dir, const char* name, long lines, long batch)
{
    auto store = openStore(dir, name);
    WatcherStatus::shared().setModelContainer(store.get());
    QList<QByteArray> input;
    input.reserve(lines);
    for (long i = 0; i < lines; ++i)
        input.append(line(i));
    CountingNotifier notifier;
    Intake intake(&notifier);
    QElapsedTimer clock;
    clock.start();
    for (long at = 0; at < lines; at += batch) {
        QList<WatchEvent> events;
        for (long i = at; i < qMin(lines, at + batch); ++i) {
            if (auto event = decodeWatchEvent(input[i]))
                events.append(std::move(*event));
        }
        intake.ingest(events);
    }
    const qint64 ms = qMax<qint64>(1, clock.elapsed());
    WatcherStatus::shared().setModelContainer(nullptr);
    return double(lines) * 1000.0 / double(ms);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const long lines = argc > 1 ? std::atol(argv[1]) : 200000;
    qputenv("TW_FLOOD_LINES", QByteArray::number(qlonglong(lines)));
    QTemporaryDir dir;

    // The ceiling is taken before and after the pipe run and averaged: the machine's load and the
    // disk's flushing drift over a run of this length. Its batch is what one read of a full pipe
    // (64 KiB) holds, which is what the pipe run's reads turn out to carry.
    const long expectedBatch = 65536 / (line(lines / 2).size() + 1);
    const double ceilingBefore = ceilingRate(dir, "ceiling-before.sqlite", lines, expectedBatch);

    // Pipe to rows.
    auto store = openStore(dir, "pipe.sqlite");
    WatcherStatus::shared().setModelContainer(store.get());
    CountingNotifier notifier;
    Intake intake(&notifier);
    WatcherSupervisor supervisor(&intake);
    supervisor.setExecutable(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_flood_writer"));

    long ingested = 0;
    long reads = 0;
    QElapsedTimer clock;
    qint64 doneMs = -1;
    QObject::connect(&supervisor, &WatcherSupervisor::eventsRead, &app, [&](const QList<WatchEvent>& events) {
        // Connected after the intake: by now these rows are inserted and saved.
        ingested += events.size();
        ++reads;
        if (ingested >= lines && doneMs < 0) {
            doneMs = clock.elapsed();
            app.quit();
        }
    });
    // A 1 ms ticker: the largest gap between ticks is the longest time the main thread was busy.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    qint64 lastTick = 0, longestStall = 0;
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick > 0)
            longestStall = qMax(longestStall, now - lastTick);
        lastTick = now;
    });
    QTimer::singleShot(600000, &app, [&] { app.quit(); });
    clock.start();
    ticker.start(1);
    supervisor.launchWatcher();
    app.exec();
    ticker.stop();

    auto check = store->newContext();
    const auto committed = check->fetchAllFindings();
    const long rows = committed ? long(committed->size()) : -1;
    const double pipeRate = doneMs > 0 ? double(ingested) * 1000.0 / double(doneMs) : 0;
    const long batch = reads > 0 ? qMax(1L, ingested / reads) : 1000;

    const double ceilingAfter = ceilingRate(dir, "ceiling-after.sqlite", lines, batch);
    const double ceiling = (ceilingBefore + ceilingAfter) / 2;

    std::printf("lines written                 %ld\n", lines);
    std::printf("rows committed (pipe)         %ld\n", rows);
    std::printf("reads                         %ld (average %ld events per read)\n", reads, batch);
    std::printf("pipe to committed rows        %.0f events/s (%lld ms)\n", pipeRate, qlonglong(doneMs));
    std::printf("longest main-thread stall     %.1f ms\n", double(longestStall) / 1e6);
    std::printf("in-process ceiling            %.0f events/s (before %.0f, after %.0f)\n", ceiling,
                ceilingBefore, ceilingAfter);
    std::printf("pipe / ceiling                %.2f\n", ceiling > 0 ? pipeRate / ceiling : 0);
    std::printf("notifications shown (pipe)    %d of %ld alerts\n", notifier.count, (lines * 2 + 2) / 3);
    WatcherStatus::shared().setModelContainer(nullptr);
    return rows == lines ? 0 : 1;
}
