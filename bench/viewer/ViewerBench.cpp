// How the file viewer copes with big inputs, headless (offscreen), against plain baselines run side by
// side on the same files:
//   1. a 500,000-line, ~50 MB file: time until the window paints its first lines (decoded from the
//      file's first bytes while the rest is read), peak memory and the longest stall of the UI thread
//      while loading, against the time to read the file into memory;
//   2. a diff of 20,000 changed lines (40,000 diff lines): time until the Diff tab paints it, against
//      plain `git diff HEAD`, and until the whole diff is in place and its last line on screen.
// Prints figures and, beside them, the targets they are held to; nothing is asserted.

#include "viewer/DiffView.h"
#include "viewer/FileContentLoader.h"
#include "viewer/FileContentView.h"
#include "viewer/FileViewerView.h"
#include "viewer/GitDiffLoader.h"
#include "viewer/TextLines.h"
#include "viewer/ViewerLoading.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

namespace {

long peakRssKiB()
{
    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Records paint events of a widget.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;
    std::function<void()> onPaint; // before the widget paints

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (onPaint)
                onPaint();
        }
        return false;
    }
};

// Measures the longest gap between ticks of a 5 ms timer: how long the UI thread was unresponsive.
class StallMeter
{
public:
    StallMeter()
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(5);
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

bool spinUntil(const std::function<bool()>& done, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

const char* verdict(bool met)
{
    return met ? "met" : "NOT MET";
}

// Ctrl+End in `view`, then waits until its last line is painted: the text is navigable to its end.
double jumpToEndMs(MarkedTextView* view, PaintWatch& paints)
{
    QElapsedTimer jump;
    jump.start();
    const int before = paints.paints;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(view, &press);
    spinUntil([&] { return paints.paints > before && !view->lineRect(view->lineCount() - 1).isEmpty(); });
    return static_cast<double>(jump.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void writeBigFile(const QString& path, int lines)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray chunk;
    for (int i = 1; i <= lines; ++i) {
        QByteArray line = "line " + QByteArray::number(i).rightJustified(7, '0') + " ";
        line += QByteArray(99 - line.size(), static_cast<char>('a' + i % 26));
        chunk += line + '\n';
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
}

int runGit(const QString& dir, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess git;
    git.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    env.insert(QStringLiteral("GIT_CONFIG_GLOBAL"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("GIT_AUTHOR_NAME"), QStringLiteral("Bench"));
    env.insert(QStringLiteral("GIT_AUTHOR_EMAIL"), QStringLiteral("bench@example.invalid"));
    env.insert(QStringLiteral("GIT_COMMITTER_NAME"), QStringLiteral("Bench"));
    env.insert(QStringLiteral("GIT_COMMITTER_EMAIL"), QStringLiteral("bench@example.invalid"));
    git.setProcessEnvironment(env);
    git.start(QStringLiteral("/usr/bin/git"), args);
    git.waitForFinished(120000);
    if (out)
        *out = git.readAllStandardOutput();
    return git.exitCode();
}

struct BigFileOpen
{
    bool shown = false;
    double firstLinesMs = -1;
    double wholeMs = -1;
    double jumpMs = -1;
    bool wholeAtFirstPaint = false;
    qint64 longestStallMs = 0;
    int lines = 0;
};

// Opens a viewer window on `path` and times it until its first lines and then its whole text are
// painted.
BigFileOpen openBigFile(const QString& path)
{
    BigFileOpen open;
    FileViewerView view(ViewerSubject{path, {}, QStringLiteral("bench"), {}, {}, {}});
    view.resize(640, 480);
    PaintWatch paints(view.fileContentView()->viewport());
    StallMeter stalls;
    bool whole = false;
    QObject::connect(&view, &FileViewerView::fullyShown, [&whole] { whole = true; });
    QElapsedTimer timer;
    // Timed at the paint itself: it may come in the same pass of the event loop as loaded(), and then a
    // loop waiting for a paint after it would wait for the next one, when the whole text arrives.
    bool loaded = false;
    QObject::connect(&view, &FileViewerView::loaded, [&loaded] { loaded = true; });
    paints.onPaint = [&] {
        if (loaded && open.firstLinesMs < 0) {
            open.firstLinesMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            open.wholeAtFirstPaint = whole;
        }
    };
    timer.start();
    view.show();
    open.shown = spinUntil([&] { return open.firstLinesMs >= 0; }) && view.selectedTab() == ViewerTab::File;
    // Waiting for a paint after the whole arrived would wait forever when it arrived before the first
    // paint: the whole is in place once its last line can be reached and painted.
    spinUntil([&] { return whole; });
    open.jumpMs = jumpToEndMs(view.fileContentView(), paints);
    open.wholeMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    open.longestStallMs = stalls.longestMs();
    open.lines = view.fileContentView()->lineCount();
    return open;
}

void benchBigFile(const QString& dir)
{
    const QString path = dir + QStringLiteral("/big.txt");
    const int lines = 500000;
    writeBigFile(path, lines);
    const qint64 size = QFileInfo(path).size();

    std::vector<double> reads;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        reads.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (bytes.size() != size)
            std::printf("short read\n");
    }
    const double readMs = median(reads);

    // Where the time goes, each stage alone on this thread.
    {
        QElapsedTimer stage;
        stage.start();
        double openingReadMs = -1;
        const FileContent content =
            readFileContent(QFile::encodeName(path), kFileContentLimit, {}, [&](const FileOpening&) {
                openingReadMs = static_cast<double>(stage.nsecsElapsed()) / 1e6;
            });
        const double readDecodeMs = static_cast<double>(stage.nsecsElapsed()) / 1e6;
        stage.restart();
        const PreparedText opening = prepareText(openingLines(content.text, kOpeningLines));
        const double openingMs = static_cast<double>(stage.nsecsElapsed()) / 1e6;
        stage.restart();
        const PreparedText whole = prepareText(content.text);
        const double wholeMs = static_cast<double>(stage.nsecsElapsed()) / 1e6;
        stage.restart();
        const qsizetype counted = countLines(content.text);
        const double countMs = static_cast<double>(stage.nsecsElapsed()) / 1e6;
        stage.restart();
        loadGitDiff(path);
        const double gitMs = static_cast<double>(stage.nsecsElapsed()) / 1e6;
        std::printf("big file stages: read+decode %.1f ms (its first %lld KiB decoded after %.1f ms), "
                    "prepare opening %d lines %.1f ms, prepare all %lld lines %.1f ms, count lines %.1f ms, "
                    "git diff (outside a repository) %.1f ms\n",
                    readDecodeMs, static_cast<long long>(kFileOpeningBytes / 1024), openingReadMs,
                    static_cast<int>(opening.lineCount()), openingMs,
                    static_cast<long long>(whole.lineCount()), wholeMs, countMs, gitMs);
        if (counted != whole.lineCount() || counted != content.lineCount)
            std::printf("line counts differ\n");
    }

    const long rssBefore = currentRssKiB();
    std::vector<BigFileOpen> opens;
    for (int i = 0; i < 3; ++i)
        opens.push_back(openBigFile(path));
    const long rssAfter = currentRssKiB();
    const double fileMiB = static_cast<double>(size) / (1024.0 * 1024.0);
    const double aboveIdleMiB = static_cast<double>(peakRssKiB() - rssBefore) / 1024.0;
    const auto medianOf = [&opens](double BigFileOpen::*figure) {
        std::vector<double> values;
        for (const BigFileOpen& open : opens)
            values.push_back(open.*figure);
        return median(values);
    };
    const double firstLinesMs = medianOf(&BigFileOpen::firstLinesMs);
    const double wholeMs = medianOf(&BigFileOpen::wholeMs);
    const bool shown = std::all_of(opens.begin(), opens.end(), [](const BigFileOpen& o) { return o.shown; });
    const bool wholeAtFirstPaint =
        std::any_of(opens.begin(), opens.end(), [](const BigFileOpen& o) { return o.wholeAtFirstPaint; });
    qint64 longestStall = 0;
    for (const BigFileOpen& open : opens)
        longestStall = std::max(longestStall, open.longestStallMs);

    std::printf("big file: %d lines, %.1f MB%s\n", opens.front().lines, static_cast<double>(size) / 1e6,
                shown ? "" : " (NOT SHOWN in time)");
    std::printf("  read into memory (QFile::readAll, median of 5): %8.1f ms\n", readMs);
    std::printf(
        "  viewer, show() to first lines painted (median of 3): %6.1f ms  (ratio %.1fx; target <= 2.0x: "
        "%s)\n",
        firstLinesMs, firstLinesMs / readMs, verdict(firstLinesMs <= 2 * readMs));
    std::printf("  whole file in place, last line painted (median of 3): %5.1f ms%s\n", wholeMs,
                wholeAtFirstPaint ? " (shown whole at once)" : "");
    std::printf("  longest UI-thread stall while loading:          %8lld ms  (target <= 50 ms: %s)\n",
                static_cast<long long>(longestStall), verdict(longestStall <= 50));
    std::printf("  of which the jump to the last line and paint (median of 3): %.1f ms\n",
                medianOf(&BigFileOpen::jumpMs));
    std::printf("  resident memory: before %ld MiB, after %ld MiB, peak %ld MiB (file %.0f MiB)\n",
                rssBefore / 1024, rssAfter / 1024, peakRssKiB() / 1024, fileMiB);
    std::printf("  peak above the idle app: %.0f MiB = %.1fx the file (target <= 3.0x: %s)\n", aboveIdleMiB,
                aboveIdleMiB / fileMiB, verdict(aboveIdleMiB <= 3 * fileMiB));
}

void benchBigDiff(const QString& dir)
{
    const QString repo = dir + QStringLiteral("/repo");
    QDir().mkpath(repo);
    runGit(repo, {QStringLiteral("init"), QStringLiteral("-q")});
    const int lines = 20000;
    QByteArray before, after;
    for (int i = 0; i < lines; ++i) {
        before += "original line " + QByteArray::number(i) + " of the committed version\n";
        after += "changed line " + QByteArray::number(i) + " of the working copy\n";
    }
    QFile file(repo + QStringLiteral("/changed.txt"));
    file.open(QIODevice::WriteOnly);
    file.write(before);
    file.close();
    runGit(repo, {QStringLiteral("add"), QStringLiteral(".")});
    runGit(repo, {QStringLiteral("commit"), QStringLiteral("-qm"), QStringLiteral("base")});
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(after);
    file.close();

    std::vector<double> plain;
    QByteArray plainOut;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        runGit(repo,
               {QStringLiteral("diff"), QStringLiteral("HEAD"), QStringLiteral("--"),
                QStringLiteral("changed.txt")},
               &plainOut);
        plain.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    const double plainMs = median(plain);

    std::vector<double> shownTimes;
    std::vector<double> wholeTimes;
    qint64 longestStall = 0;
    int diffLines = 0;
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        FileViewerView view(
            ViewerSubject{repo + QStringLiteral("/changed.txt"), {}, QStringLiteral("bench"), {}, {}, {}});
        view.resize(640, 480);
        PaintWatch paints(view.diffView()->textView()->viewport());
        StallMeter stalls;
        QElapsedTimer timer;
        timer.start();
        view.show();
        bool whole = false;
        QObject::connect(&view, &FileViewerView::fullyShown, [&whole] { whole = true; });
        spinUntil([&] { return !view.isLoading(); });
        spinUntil([&] { return paints.paints > 0; });
        shownTimes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        spinUntil([&] { return whole; });
        // In place and navigable: the reader can jump to its last line.
        jumpToEndMs(view.diffView()->textView(), paints);
        wholeTimes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        longestStall = std::max(longestStall, stalls.longestMs());
        diffLines = view.diffView()->textView()->lineCount();
        same = same && view.diff().toUtf8() == plainOut;
    }
    const double shownMs = median(shownTimes);
    std::printf("diff: %d changed lines, %d diff lines, %.1f MB of diff text, identical to plain git: %s\n",
                2 * lines, diffLines, static_cast<double>(plainOut.size()) / 1e6, same ? "yes" : "NO");
    std::printf("  plain `git diff HEAD -- changed.txt` (median of 5): %8.1f ms\n", plainMs);
    std::printf("  viewer, show() to diff painted (median of 3):     %8.1f ms  (ratio %.1fx)\n", shownMs,
                shownMs / plainMs);
    const double wholeMs = median(wholeTimes);
    std::printf("  whole diff in place, last line painted (median of 3): %5.1f ms  (target <= 2000 ms: %s)\n",
                wholeMs, verdict(wholeMs <= 2000));
    std::printf("  longest UI-thread stall while loading:            %8lld ms  (target <= 50 ms: %s)\n",
                static_cast<long long>(longestStall), verdict(longestStall <= 50));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // Figures move with the machine's load: compare runs at a similar load, and take the best of several.
    std::printf("load average at start: %s\n", qPrintable(loadAverage()));
    benchBigDiff(dir.path());
    benchBigFile(dir.path());
    std::printf("load average at end: %s\n", qPrintable(loadAverage()));
    viewerThreadPool()->waitForDone();
    return 0;
}
