// The whole file viewer headless, on real repositories: header texts, the loading order and the tab
// it picks, tab switching, reloading when shown again, the open button, and hostile repositories.

#include "viewer/FileViewerView.h"
#include "ui/ElidedLabel.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentLoader.h"
#include "viewer/FileContentView.h"
#include "viewer/GitDiffLoader.h"
#include "viewer/TextLines.h"
#include "viewer/ViewerLoading.h"
#include "watcher/Intake.h"
#include "watcher/WatcherStatus.h"

#include "records/Finding.h"
#include "records/ModelContainer.h"

#include "HostileRepos.h"
#include "TestRepo.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include <functional>

Q_DECLARE_METATYPE(ViewerTab)

namespace {

using RepoSetUp = std::function<QString(TestRepo&)>; // returns the path to open

// Receives what the open button hands to the desktop.
class UrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

bool waitLoaded(QSignalSpy& spy, int count = 1)
{
    return QTest::qWaitFor([&] { return spy.count() >= count; }, 20000);
}

} // namespace

class FileViewerViewTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { viewerThreadPool()->waitForDone(); }
    void headerTexts();
    void fileNameOfPath_data();
    void fileNameOfPath();
    void longPathIsElidedInTheMiddle();
    void loadingPicksTheTab_data();
    void loadingPicksTheTab();
    void aTabPickedWhileLoadingStaysWhenThereIsADiff();
    void tabButtonsSwitchTheContent();
    void showingAgainLoadsAgain();
    void deletingWhileLoadingIsSafe();
    void openButtonOpensTheFile();
    void invisibleCharactersAreMarkedInBothTabs();
    void hostileRepositoriesRunNothing();
    void longTextsShowTheirOpeningLinesFirst();
    void aLongLineNeverHoldsUpIntake_data();
    void aLongLineNeverHoldsUpIntake();
};

void FileViewerViewTest::headerTexts()
{
    const QString path = QStringLiteral("/home/dev/project/.git/hooks/pre-commit");
    FileViewerView view(path, QStringLiteral("git-hook-added"));
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("fileName"))->text(), QStringLiteral("pre-commit"));
    QCOMPARE(view.findChild<ElidedLabel*>(QStringLiteral("path"))->fullText(), path);
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("ruleBadge"))->text(), QStringLiteral("git-hook-added"));
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QCOMPARE(view.content(), QString());
    QCOMPARE(view.diff(), QString());
    QVERIFY(view.tabButton(ViewerTab::Diff)->isChecked());
    // Before anything loads, the Diff tab shows the empty-diff message.
    QVERIFY(view.diffView()->isShowingEmptyMessage());
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Left to right: title, selector (Diff, then File), rule badge, open button.
    const auto x = [&](QWidget* w) { return w->mapTo(&view, QPoint(0, 0)).x(); };
    QVERIFY(x(view.findChild<QLabel*>(QStringLiteral("fileName"))) < x(view.tabButton(ViewerTab::Diff)));
    QVERIFY(x(view.tabButton(ViewerTab::Diff)) < x(view.tabButton(ViewerTab::File)));
    QVERIFY(x(view.tabButton(ViewerTab::File)) < x(view.findChild<QLabel*>(QStringLiteral("ruleBadge"))));
    QVERIFY(x(view.findChild<QLabel*>(QStringLiteral("ruleBadge"))) < x(view.openButton()));
}

void FileViewerViewTest::fileNameOfPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("file") << "/a/b/c.txt"
                          << "c.txt";
    QTest::newRow("trailing slash") << "/a/b/"
                                    << "b";
    QTest::newRow("root") << "/"
                          << "/";
    QTest::newRow("bare name") << "name"
                               << "name";
    QTest::newRow("spaces") << "/a/with space.txt"
                            << "with space.txt";
    QTest::newRow("hidden file") << "/repo/.env"
                                 << ".env";
}

void FileViewerViewTest::fileNameOfPath()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(FileViewerView::fileNameOfPath(path), name);
}

void FileViewerViewTest::longPathIsElidedInTheMiddle()
{
    const QString path =
        QStringLiteral("/start/") + QString(300, QLatin1Char('m')) + QStringLiteral("/end.txt");
    FileViewerView view(path, QStringLiteral("rule"));
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto* label = view.findChild<ElidedLabel*>(QStringLiteral("path"));
    QVERIFY(label->text().contains(QStringLiteral("…")));
    QVERIFY(label->text().startsWith(QStringLiteral("/start/")));
    QVERIFY(label->text().endsWith(QStringLiteral("end.txt")));
    QVERIFY(!label->text().contains(QLatin1Char('\n')));
    // The tooltip shows the whole path as text, whatever markup a name could look like.
    QTextDocument tip;
    tip.setHtml(label->toolTip());
    QCOMPARE(tip.toPlainText(), path);
}

void FileViewerViewTest::loadingPicksTheTab_data()
{
    QTest::addColumn<RepoSetUp>("setUp");
    QTest::addColumn<ViewerTab>("tab");
    QTest::addColumn<bool>("readFails");

    QTest::newRow("tracked file with changes") << RepoSetUp([](TestRepo& r) {
        r.write(QStringLiteral("notes.txt"), "one\n2\nthree\n");
        return r.path(QStringLiteral("notes.txt"));
    }) << ViewerTab::Diff << false;
    QTest::newRow("unchanged") << RepoSetUp([](TestRepo& r) { return r.path(QStringLiteral("notes.txt")); })
                               << ViewerTab::File << false;
    QTest::newRow("deleted file") << RepoSetUp([](TestRepo& r) {
        r.remove(QStringLiteral("notes.txt"));
        return r.path(QStringLiteral("notes.txt"));
    }) << ViewerTab::Diff << true;
    QTest::newRow("not valid UTF-8") << RepoSetUp([](TestRepo& r) {
        return r.path(QStringLiteral("latin1.txt"));
    }) << ViewerTab::File << true;
    QTest::newRow("empty file") << RepoSetUp([](TestRepo& r) { return r.path(QStringLiteral("empty.txt")); })
                                << ViewerTab::File << false;
}

void FileViewerViewTest::loadingPicksTheTab()
{
    QFETCH(RepoSetUp, setUp);
    QFETCH(ViewerTab, tab);
    QFETCH(bool, readFails);
    TestRepo repo;
    repo.commitBase();
    const QString path = setUp(repo);

    FileViewerView view(path, QStringLiteral("rule"));
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    view.show();
    QVERIFY(view.isLoading());
    QVERIFY(waitLoaded(loaded));
    QVERIFY(!view.isLoading());

    QCOMPARE(view.selectedTab(), tab);
    QCOMPARE(view.content(), loadFileContent(path));
    QCOMPARE(view.content() == fileReadFailureText(), readFails);
    QCOMPARE(view.diff(), loadGitDiff(path));
    QCOMPARE(view.diff().isEmpty(), tab == ViewerTab::File);
    QCOMPARE(view.diffView()->isShowingEmptyMessage(), view.diff().isEmpty());
    // The File tab shows the content split at "\n", one numbered row per line.
    QCOMPARE(view.fileContentView()->lineCount(), view.content().count(QLatin1Char('\n')) + 1);
    if (readFails)
        QCOMPARE(view.fileContentView()->toPlainText(), fileReadFailureText());
}

void FileViewerViewTest::aTabPickedWhileLoadingStaysWhenThereIsADiff()
{
    TestRepo repo;
    repo.commitBase();
    repo.write(QStringLiteral("notes.txt"), "changed\n");
    FileViewerView view(repo.path(QStringLiteral("notes.txt")), QStringLiteral("rule"));
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    view.show();
    // Results arrive as queued calls, so this pick happens before any of them.
    view.tabButton(ViewerTab::File)->click();
    QCOMPARE(view.selectedTab(), ViewerTab::File);
    QVERIFY(waitLoaded(loaded));
    QVERIFY(!view.diff().isEmpty());
    QCOMPARE(view.selectedTab(), ViewerTab::File);
}

void FileViewerViewTest::tabButtonsSwitchTheContent()
{
    TestRepo repo;
    repo.commitBase();
    repo.write(QStringLiteral("notes.txt"), "changed\n");
    FileViewerView view(repo.path(QStringLiteral("notes.txt")), QStringLiteral("rule"));
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    QSignalSpy switched(&view, &FileViewerView::selectedTabChanged);
    view.show();
    QVERIFY(waitLoaded(loaded));
    QVERIFY(view.diffView()->isVisible());
    QVERIFY(!view.fileContentView()->isVisible());

    QTest::mouseClick(view.tabButton(ViewerTab::File), Qt::LeftButton);
    QCOMPARE(view.selectedTab(), ViewerTab::File);
    QVERIFY(view.fileContentView()->isVisible());
    QVERIFY(!view.diffView()->isVisible());
    QVERIFY(view.tabButton(ViewerTab::File)->isChecked());
    QVERIFY(!view.tabButton(ViewerTab::Diff)->isChecked());

    QTest::mouseClick(view.tabButton(ViewerTab::Diff), Qt::LeftButton);
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QVERIFY(view.diffView()->isVisible());
    QCOMPARE(switched.count(), 2);
    // Switching never loads anything.
    QCOMPARE(loaded.count(), 1);
}

void FileViewerViewTest::showingAgainLoadsAgain()
{
    TestRepo repo;
    repo.commitBase();
    const QString path = repo.path(QStringLiteral("notes.txt"));
    FileViewerView view(path, QStringLiteral("rule"));
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    view.show();
    QVERIFY(waitLoaded(loaded));
    QCOMPARE(view.selectedTab(), ViewerTab::File);

    repo.write(QStringLiteral("notes.txt"), "rewritten\n");
    view.hide();
    view.setSelectedTab(ViewerTab::Diff);
    view.show();
    QVERIFY(waitLoaded(loaded, 2));
    QCOMPARE(view.content(), QStringLiteral("rewritten\n"));
    QVERIFY(view.diff().contains(QStringLiteral("+rewritten")));
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
}

void FileViewerViewTest::deletingWhileLoadingIsSafe()
{
    TestRepo repo;
    repo.commitBase();
    repo.write(QStringLiteral("notes.txt"), "changed\n");
    for (int i = 0; i < 5; ++i) {
        auto* view = new FileViewerView(repo.path(QStringLiteral("notes.txt")), QStringLiteral("rule"));
        view->show();
        delete view;
    }
    // Whatever was still running finishes without delivering to a deleted view.
    QVERIFY(viewerThreadPool()->waitForDone(20000));
    QCoreApplication::processEvents();
}

void FileViewerViewTest::openButtonOpensTheFile()
{
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
    const QString path = QStringLiteral("/tmp/some dir/file #1.txt");
    FileViewerView view(path, QStringLiteral("rule"));
    view.openButton()->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(sink.urls.size(), 1);
    QCOMPARE(sink.urls.first(), QUrl::fromLocalFile(path));
    QCOMPARE(sink.urls.first().toLocalFile(), path);
}

void FileViewerViewTest::invisibleCharactersAreMarkedInBothTabs()
{
    TestRepo repo;
    repo.commitBase();
    const QByteArray hidden =
        "access = \"user\xE2\x80\xAE \xE2\x81\xA6// admin\xE2\x81\xA9\"\nok\xE2\x80\x8B\n";
    repo.write(QStringLiteral("notes.txt"), hidden);
    FileViewerView view(repo.path(QStringLiteral("notes.txt")), QStringLiteral("rule"));
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    view.show();
    QVERIFY(waitLoaded(loaded));

    // Stored as is, shown as tokens.
    QCOMPARE(view.content().toUtf8(), hidden);
    const QString shownFile = view.fileContentView()->toPlainText();
    QVERIFY(shownFile.contains(QStringLiteral("userU+202E U+2066// adminU+2069")));
    QVERIFY(shownFile.contains(QStringLiteral("okU+200B")));
    QVERIFY(!shownFile.contains(QChar(0x202E)));
    QCOMPARE(view.fileContentView()->marks().size(), 4u);

    const QString shownDiff = view.diffView()->textView()->toPlainText();
    QVERIFY(shownDiff.contains(QStringLiteral("+access = \"userU+202E U+2066// adminU+2069\"")));
    QVERIFY(!shownDiff.contains(QChar(0x2066)));
    QCOMPARE(view.diffView()->textView()->marks().size(), 4u);

    // File names can hide characters too.
    FileViewerView named(QStringLiteral("/tmp/invoice\u202Etxt.exe"), QStringLiteral("rule\u200B"));
    QCOMPARE(named.findChild<QLabel*>(QStringLiteral("fileName"))->text(),
             QStringLiteral("invoiceU+202Etxt.exe"));
    QCOMPARE(named.findChild<QLabel*>(QStringLiteral("ruleBadge"))->text(), QStringLiteral("ruleU+200B"));
}

void FileViewerViewTest::hostileRepositoriesRunNothing()
{
    for (const HostileCase& c : hostileCases()) {
        const HostileSetup setup = makeHostileRepo(c.kind);
        setup.clearMarker();
        FileViewerView view(setup.file, QStringLiteral("rule"));
        QSignalSpy loaded(&view, &FileViewerView::loaded);
        view.show();
        QVERIFY2(waitLoaded(loaded), c.name);
        QVERIFY2(!setup.markerExists(), c.name);
        QCOMPARE(view.diff().toUtf8(), setup.expectedDiff());
        // Proof that the planted program is live: plain git runs it.
        setup.plainDiffInHostile();
        QVERIFY2(setup.markerExists(), c.name);
    }
}

void FileViewerViewTest::longTextsShowTheirOpeningLinesFirst()
{
    TestRepo repo;
    repo.commitBase();
    QByteArray lines;
    for (int i = 1; i <= 3 * kOpeningLines; ++i)
        lines += "line " + QByteArray::number(i) + (i == 4000 ? " \xE2\x80\xAE" : "") + '\n';
    repo.write(QStringLiteral("long.txt"), lines);
    FileViewerView view(repo.path(QStringLiteral("long.txt")), QStringLiteral("rule"));
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    QSignalSpy whole(&view, &FileViewerView::fullyShown);
    view.show();
    QVERIFY(waitLoaded(loaded));
    // The stored content is always the whole text, and the gutter is as wide as the whole needs.
    QCOMPARE(view.content().toUtf8(), lines);
    QCOMPARE(view.fileContentView()->lineNumberWidth(), 4);
    if (view.isShowingOpeningLinesOnly()) {
        QVERIFY(view.truncationNote()->isVisible());
        QCOMPARE(view.fileContentView()->lineCount(), kOpeningLines);
    }
    QVERIFY(QTest::qWaitFor([&] { return whole.count() == 1; }, 20000));
    QVERIFY(!view.isShowingOpeningLinesOnly());
    QVERIFY(!view.truncationNote()->isVisible());
    QCOMPARE(view.fileContentView()->lineCount(), 3 * kOpeningLines + 1);
    QCOMPARE(view.fileContentView()->lineNumberText(0), QStringLiteral("   1"));
    QCOMPARE(view.fileContentView()->lineText(3999), QStringLiteral("line 4000 U+202E"));
    QCOMPARE(view.fileContentView()->marks().size(), 1u);
    QCOMPARE(view.fileContentView()->marks().front().line, 3999);
    QCOMPARE(loaded.count(), 1);
}

void FileViewerViewTest::aLongLineNeverHoldsUpIntake_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("16 MiB on one line") << QByteArray(16 << 20, 'x');
    QTest::newRow("8 MiB of NUL bytes") << QByteArray(8 << 20, '\0');
}

// The viewer and the intake share the GUI thread: a finding that arrives while the viewer shows a
// file made of one long line is stored at once, and the line is shown cut, with a note.
void FileViewerViewTest::aLongLineNeverHoldsUpIntake()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QString error;
    auto store = ModelContainer::open(dir.filePath(QStringLiteral("store.sqlite")), &error);
    QVERIFY2(store, qPrintable(error));
    WatcherStatus::shared().setModelContainer(store.get());
    const auto detach = qScopeGuard([] { WatcherStatus::shared().setModelContainer(nullptr); });
    Intake intake;
    const QString path = dir.filePath(QStringLiteral("one-line.js"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    FileViewerView view(path, QStringLiteral("rule"));
    view.resize(640, 480);
    QElapsedTimer clock;
    qint64 storedAfterMs = -1;
    // Queued behind whatever the whole text's arrival makes the GUI thread do.
    connect(&view, &FileViewerView::fullyShown, &view, [&] {
        clock.start();
        QTimer::singleShot(0, &view, [&] {
            intake.ingest({WatchEvent{QStringLiteral("/w/.git/hooks/pre-commit"),
                                      {QStringLiteral("created")},
                                      QStringLiteral("git_hook"),
                                      QStringLiteral("critical"),
                                      {}}});
            storedAfterMs = clock.elapsed();
        });
    });
    view.show();
    QVERIFY(QTest::qWaitFor([&] { return storedAfterMs >= 0; }, 600000));
    QVERIFY2(storedAfterMs < 1000, qPrintable(QStringLiteral("stored after %1 ms").arg(storedAfterMs)));
    QCOMPARE(store->newContext()->fetchNewestFindings(10).value_or(QList<Finding>{}).size(), 1);

    const QString shown = view.fileContentView()->lineText(0);
    // Cut after kMaxShownLineLength characters of the file, each drawn as a token of up to 8 units.
    QVERIFY(shown.size() <= 8 * kMaxShownLineLength + lineCutNote(view.content().size()).size());
    QVERIFY(shown.endsWith(lineCutNote(view.content().size())));
    QCOMPARE(view.content().size(), bytes.size());
}

QTEST_MAIN(FileViewerViewTest)
#include "FileViewerViewTest.moc"
