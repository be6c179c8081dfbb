// The whole file viewer headless, on real repositories: header texts, the tab the load picks, tab
// switching, reloading when shown again, the finding banner and match marks, and the open button.
// Hostile repositories are the loader's test: the window runs the same loader.

#include "viewer/FileViewerView.h"
#include "ui/ElidedLabel.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentLoader.h"
#include "viewer/FileContentView.h"
#include "viewer/FindingBanner.h"
#include "viewer/GitDiffLoader.h"
#include "viewer/TextLines.h"
#include "viewer/ViewerLoading.h"

#include "TestRepo.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QThreadPool>
#include <QToolButton>

#include <functional>

Q_DECLARE_METATYPE(ViewerTab)

namespace {

using RepoSetUp = std::function<QString(TestRepo&)>; // returns the path to open

ViewerSubject subjectOf(const QString& path, const QString& rule = QStringLiteral("rule"))
{
    ViewerSubject subject;
    subject.path = path;
    subject.ruleName = rule;
    return subject;
}

bool waitLoaded(QSignalSpy& spy, int count = 1)
{
    return QTest::qWaitFor([&] { return spy.count() >= count; }, 20000);
}

bool elidedInTheMiddle(const ElidedLabel* label, const QString& full, const QString& start,
                       const QString& end)
{
    const QString shown = label->text();
    return label->fullText() == full && shown.contains(QStringLiteral("…")) && shown.startsWith(start) &&
           shown.endsWith(end) && !shown.contains(QLatin1Char('\n'));
}

} // namespace

class FileViewerViewTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { viewerThreadPool()->waitForDone(); }
    void headerTextsAndElision();
    void fileNameOfPath();
    void loadingPicksTheTab_data();
    void loadingPicksTheTab();
    void tabPicksSurviveLoadingAndReloading();
    void deletingWhileLoadingIsSafe();
    void bannerExplainsTheFinding_data();
    void bannerExplainsTheFinding();
    void matchedLinesAreMarkedAndStepped();
    void openButtonOpensAsTextOnly_data();
    void openButtonOpensAsTextOnly();
    void invisibleCharactersAreMarkedInBothTabs();
    void longTextsShowTheirOpeningLinesFirst_data();
    void longTextsShowTheirOpeningLinesFirst();
    void aLongLineIsShownCut_data();
    void aLongLineIsShownCut();
};

// A long path and a long rule name are cut in the middle, and the header keeps its order inside the window.
void FileViewerViewTest::headerTextsAndElision()
{
    const QString path =
        QStringLiteral("/start/") + QString(300, QLatin1Char('m')) + QStringLiteral("/.git/hooks/pre-commit");
    const QString rule =
        QStringLiteral("git_hook_runs_payload_") + QString(200, QLatin1Char('x')) + QStringLiteral("_end");
    FileViewerView view(subjectOf(path, rule));
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QCOMPARE(view.content(), QString());
    QCOMPARE(view.diff(), QString());
    QVERIFY(view.tabButton(ViewerTab::Diff)->isChecked());
    // Before anything loads, the Diff tab shows the empty-diff message.
    QVERIFY(view.diffView()->isShowingEmptyMessage());
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto* name = view.findChild<QLabel*>(QStringLiteral("fileName"));
    auto* pathLabel = view.findChild<ElidedLabel*>(QStringLiteral("path"));
    auto* badge = view.findChild<ElidedLabel*>(QStringLiteral("ruleBadge"));
    QCOMPARE(name->text(), QStringLiteral("pre-commit"));
    QVERIFY(elidedInTheMiddle(pathLabel, path, QStringLiteral("/start/"), QStringLiteral("pre-commit")));
    QVERIFY(elidedInTheMiddle(badge, rule, QStringLiteral("git_hook"), QStringLiteral("_end")));
    // The tooltip shows the whole path as text, whatever markup a name could look like.
    QTextDocument tip;
    tip.setHtml(pathLabel->toolTip());
    QCOMPARE(tip.toPlainText(), path);
    // Left to right: title, selector (Diff, then File), rule badge, open button, nothing pushed out.
    const auto x = [&](QWidget* w) { return w->mapTo(&view, QPoint(0, 0)).x(); };
    QVERIFY(x(name) < x(view.tabButton(ViewerTab::Diff)));
    QVERIFY(x(view.tabButton(ViewerTab::Diff)) < x(view.tabButton(ViewerTab::File)));
    QVERIFY(x(view.tabButton(ViewerTab::File)) < x(badge));
    QVERIFY(x(badge) < x(view.openButton()));
    QVERIFY(x(view.openButton()) + view.openButton()->width() <= view.width());
}

void FileViewerViewTest::fileNameOfPath()
{
    const std::pair<QString, QString> rows[] = {
        {QStringLiteral("/a/b/c.txt"), QStringLiteral("c.txt")},
        {QStringLiteral("/a/b/"), QStringLiteral("b")},
        {QStringLiteral("/"), QStringLiteral("/")},
        {QStringLiteral("name"), QStringLiteral("name")},
        {QStringLiteral("/a/with space.txt"), QStringLiteral("with space.txt")},
        {QStringLiteral("/repo/.env"), QStringLiteral(".env")},
    };
    for (const auto& [path, name] : rows)
        QCOMPARE(FileViewerView::fileNameOfPath(path), name);
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

    FileViewerView view(subjectOf(path));
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

// A pick made before the results arrive, or while hidden, survives the load; switching loads nothing.
void FileViewerViewTest::tabPicksSurviveLoadingAndReloading()
{
    TestRepo repo;
    repo.commitBase();
    repo.write(QStringLiteral("notes.txt"), "changed\n");
    FileViewerView view(subjectOf(repo.path(QStringLiteral("notes.txt"))));
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    QSignalSpy switched(&view, &FileViewerView::selectedTabChanged);
    view.show();
    // Results arrive as queued calls, so this pick happens before any of them.
    view.tabButton(ViewerTab::File)->click();
    QVERIFY(waitLoaded(loaded));
    QVERIFY(!view.diff().isEmpty());
    QCOMPARE(view.selectedTab(), ViewerTab::File);
    QVERIFY(view.fileContentView()->isVisible());
    QVERIFY(!view.diffView()->isVisible());
    QVERIFY(!view.tabButton(ViewerTab::Diff)->isChecked());

    QTest::mouseClick(view.tabButton(ViewerTab::Diff), Qt::LeftButton);
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QVERIFY(view.diffView()->isVisible());
    QVERIFY(!view.fileContentView()->isVisible());
    QVERIFY(!view.tabButton(ViewerTab::File)->isChecked());
    QCOMPARE(switched.count(), 2);
    QCOMPARE(loaded.count(), 1);

    view.hide();
    repo.write(QStringLiteral("notes.txt"), "rewritten\n");
    view.setSelectedTab(ViewerTab::File);
    view.show();
    QVERIFY(waitLoaded(loaded, 2));
    QCOMPARE(view.content(), QStringLiteral("rewritten\n"));
    QVERIFY(view.diff().contains(QStringLiteral("+rewritten")));
    QCOMPARE(view.selectedTab(), ViewerTab::File);
}

void FileViewerViewTest::deletingWhileLoadingIsSafe()
{
    TestRepo repo;
    repo.commitBase();
    repo.write(QStringLiteral("notes.txt"), "changed\n");
    for (int i = 0; i < 5; ++i) {
        auto* view = new FileViewerView(subjectOf(repo.path(QStringLiteral("notes.txt"))));
        view->show();
        delete view;
    }
    // Whatever was still running finishes without delivering to a deleted view.
    QVERIFY(viewerThreadPool()->waitForDone(20000));
    QCoreApplication::processEvents();
}

void FileViewerViewTest::bannerExplainsTheFinding_data()
{
    QTest::addColumn<QString>("severity");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("severityShown");
    QTest::addColumn<QString>("descriptionShown"); // "" when the description line is hidden
    QTest::newRow("critical") << QStringLiteral("critical") << QStringLiteral("A hook runs a payload.")
                              << QStringLiteral("⛔ Critical") << QStringLiteral("A hook runs a payload.");
    QTest::newRow("high, no description")
        << QStringLiteral("high") << QString() << QStringLiteral("❗ High") << QString();
    QTest::newRow("warning") << QStringLiteral("warning") << QStringLiteral("w")
                             << QStringLiteral("⚠️ Warning") << QStringLiteral("w");
    QTest::newRow("another word, hostile text")
        << QStringLiteral("<b>info</b>") << QStringLiteral("<img src=x>\u202E\nnext")
        << QStringLiteral("⚠️ <b>info</b>") << QStringLiteral("<img src=x>U+202EU+000Anext");
}

void FileViewerViewTest::bannerExplainsTheFinding()
{
    QFETCH(QString, severity);
    QFETCH(QString, description);
    QFETCH(QString, severityShown);
    QFETCH(QString, descriptionShown);
    ViewerSubject subject = subjectOf(QStringLiteral("/tmp/x"), QStringLiteral("<i>rule</i>"));
    subject.severity = severity;
    subject.description = description;
    FileViewerView view(subject);
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    FindingBanner* banner = view.banner();
    QCOMPARE(banner->severityLabel()->text(), severityShown);
    QCOMPARE(banner->ruleLabel()->fullText(), QStringLiteral("<i>rule</i>"));
    QCOMPARE(banner->descriptionLabel()->isVisible(), !descriptionShown.isEmpty());
    if (!descriptionShown.isEmpty())
        QCOMPARE(banner->descriptionLabel()->text(), descriptionShown);
    QCOMPARE(banner->accessibleDescription(), descriptionShown);
    // Rule and description text never becomes markup.
    for (QLabel* label :
         {banner->severityLabel(), static_cast<QLabel*>(banner->ruleLabel()), banner->descriptionLabel()})
        QCOMPARE(label->textFormat(), Qt::PlainText);
    // Under the header, above the tab content; no lines: nothing to step through.
    QVERIFY(banner->y() > view.openButton()->mapTo(&view, QPoint(0, 0)).y());
    QVERIFY(!banner->nextButton()->isVisible());
}

void FileViewerViewTest::matchedLinesAreMarkedAndStepped()
{
    TestRepo repo;
    repo.init();
    QByteArray lines;
    for (int i = 1; i <= 200; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    repo.write(QStringLiteral("hook.sh"), lines);
    repo.commitAll();
    lines.replace("line 120\n", "changed 120\n").replace("line 150\n", "changed 150\n");
    repo.write(QStringLiteral("hook.sh"), lines);

    ViewerSubject subject = subjectOf(repo.path(QStringLiteral("hook.sh")));
    subject.lines = {120, 150, 190}; // 190 is outside every hunk of the diff
    FileViewerView view(subject);
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    view.show();
    QVERIFY(waitLoaded(loaded));
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QVERIFY(view.banner()->nextButton()->isVisible());

    FileContentView* file = view.fileContentView();
    QCOMPARE(file->markedRows(), (std::vector<int>{119, 149, 189}));
    QCOMPARE(file->cursorLine(), 119);

    // The diff marks the new side's rows of the same lines.
    MarkedTextView* diff = view.diffView()->textView();
    std::vector<QString> marked;
    for (int row : diff->markedRows())
        marked.push_back(diff->lineText(row));
    QCOMPARE(marked, (std::vector<QString>{QStringLiteral("+changed 120"), QStringLiteral("+changed 150")}));

    // F3 / Shift+F3 step in the tab shown and stop at the ends.
    QCOMPARE(diff->cursorLine(), diff->markedRows().front());
    QTest::keyClick(diff, Qt::Key_F3);
    QCOMPARE(diff->cursorLine(), diff->markedRows().back());
    QVERIFY(!view.goToNextMatch());
    QTest::keyClick(diff, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(diff->cursorLine(), diff->markedRows().front());

    // The File tab, shown, has the first match about a third from the top.
    view.tabButton(ViewerTab::File)->click();
    QVERIFY(file->verticalScrollBar()->value() > 0);
    const QRect first = file->lineRect(file->cursorLine()).toRect();
    QVERIFY(first.top() > file->viewport()->height() / 6 && first.bottom() < file->viewport()->height() / 2);
    QTest::keyClick(file, Qt::Key_F3);
    QCOMPARE(file->cursorLine(), 149);
    view.banner()->nextButton()->click();
    QCOMPARE(file->cursorLine(), 189);
    QVERIFY(!view.goToNextMatch());
    view.banner()->previousButton()->click();
    QCOMPARE(file->cursorLine(), 149);
    QCOMPARE(diff->cursorLine(), diff->markedRows().front());
}

void FileViewerViewTest::openButtonOpensAsTextOnly_data()
{
    QTest::addColumn<bool>("textEditorSet");
    QTest::newRow("text editor set") << true;
    QTest::newRow("no text editor") << false;
}

// A flagged .desktop file would run its Exec if opened through its own type; the open button hands
// it to the text/plain handler as an argument instead, or to nothing.
void FileViewerViewTest::openButtonOpensAsTextOnly()
{
    QFETCH(bool, textEditorSet);
    QTemporaryDir home;
    const auto at = [&](const char* relative) { return home.filePath(QString::fromLatin1(relative)); };
    const QByteArray marker = QFile::encodeName(at("ran"));
    const QString record = at("editor-args");
    const QByteArray recordBytes = QFile::encodeName(record);
    const auto write = [&](const char* relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(at(relative)).path());
        QFile file(at(relative));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    };
    const QString hostile = at("files/evil launcher.desktop");
    write("files/evil launcher.desktop",
          "[Desktop Entry]\nType=Application\nName=Evil\nExec=sh -c 'echo ran > " + marker + "'\n");
    write("bin/editor", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + recordBytes + ".tmp'\nmv '" + recordBytes +
                            ".tmp' '" + recordBytes + "'\n");
    write("data/applications/fake-editor.desktop",
          "[Desktop Entry]\nType=Application\nName=Fake Editor\nExec=\"" +
              QFile::encodeName(at("bin/editor")) + "\" --new-window %f\n");
    write("config/mimeapps.list",
          textEditorSet ? "[Default Applications]\ntext/plain=missing.desktop;fake-editor.desktop;\n"
                        : "[Default Applications]\napplication/x-desktop=fake-editor.desktop\n");
    QDir().mkpath(at("none"));
    const std::pair<const char*, const char*> xdg[] = {{"XDG_DATA_HOME", "data"},
                                                       {"XDG_CONFIG_HOME", "config"},
                                                       {"XDG_DATA_DIRS", "none"},
                                                       {"XDG_CONFIG_DIRS", "none"}};
    QList<QByteArray> saved;
    for (const auto& [variable, folder] : xdg) {
        saved << qgetenv(variable);
        qputenv(variable, QFile::encodeName(at(folder)));
    }
    const auto restore = qScopeGuard([&] {
        for (qsizetype i = 0; i < saved.size(); ++i)
            qputenv(xdg[i].first, saved[i]);
    });

    FileViewerView view(subjectOf(hostile));
    view.show();
    view.openButton()->click();
    if (textEditorSet) {
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(record); }, 20000));
        QFile args(record);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll(), "--new-window\n" + QFile::encodeName(hostile) + '\n');
        QVERIFY(!view.openProblem()->isVisible());
    } else {
        QVERIFY(view.openProblem()->isVisible());
        QVERIFY(view.openProblem()->text().contains(
            QStringLiteral("no application is set up to open text files")));
        QVERIFY(!QFile::exists(record));
    }
    QVERIFY(!QFile::exists(at("ran")));
}

void FileViewerViewTest::invisibleCharactersAreMarkedInBothTabs()
{
    TestRepo repo;
    repo.commitBase();
    const QByteArray hidden =
        "access = \"user\xE2\x80\xAE \xE2\x81\xA6// admin\xE2\x81\xA9\"\nok\xE2\x80\x8B\nend\r\n";
    repo.write(QStringLiteral("notes.txt"), hidden);
    FileViewerView view(subjectOf(repo.path(QStringLiteral("notes.txt"))));
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
    // A CRLF line end is the file's own line end in the File tab; in a diff it can be the change.
    QVERIFY(shownFile.contains(QStringLiteral("\nend\n")));
    QVERIFY(shownDiff.contains(QStringLiteral("+endU+000D\n")));
    QCOMPARE(view.diffView()->textView()->marks().size(), 5u);

    // File names can hide characters too.
    FileViewerView named(
        subjectOf(QStringLiteral("/tmp/invoice\u202Etxt.exe"), QStringLiteral("rule\u200B")));
    QCOMPARE(named.findChild<QLabel*>(QStringLiteral("fileName"))->text(),
             QStringLiteral("invoiceU+202Etxt.exe"));
    QCOMPARE(named.findChild<QLabel*>(QStringLiteral("ruleBadge"))->text(), QStringLiteral("ruleU+200B"));
}

void FileViewerViewTest::longTextsShowTheirOpeningLinesFirst_data()
{
    QTest::addColumn<int>("padding");
    QTest::newRow("read whole, then shown in two steps") << 0;
    QTest::newRow("opening shown before the rest is read") << 100;
}

void FileViewerViewTest::longTextsShowTheirOpeningLinesFirst()
{
    QFETCH(int, padding);
    TestRepo repo;
    repo.commitBase();
    QByteArray lines;
    for (int i = 1; i <= 3 * kOpeningLines; ++i)
        lines += QByteArray(padding, '.') + "line " + QByteArray::number(i) +
                 (i == 4000 ? " \xE2\x80\xAE" : "") + '\n';
    QVERIFY((lines.size() > kFileOpeningBytes) == (padding > 0));
    repo.write(QStringLiteral("long.txt"), lines);
    ViewerSubject subject = subjectOf(repo.path(QStringLiteral("long.txt")));
    subject.lines = {4000}; // past the opening lines: reached once the whole text is shown
    FileViewerView view(subject);
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    QSignalSpy whole(&view, &FileViewerView::fullyShown);
    // At loaded() the opening lines are shown, with the note and a gutter as wide as the whole needs; a
    // file read ahead has no content yet.
    connect(&view, &FileViewerView::loaded, &view, [&] {
        QVERIFY(view.isShowingOpeningLinesOnly() && view.truncationNote()->isVisible());
        QCOMPARE(view.fileContentView()->lineCount(), kOpeningLines);
        QCOMPARE(view.fileContentView()->lineNumberWidth(), 4);
        QCOMPARE(view.content().toUtf8(), padding > 0 ? QByteArray() : lines);
    });
    view.show();
    QVERIFY(waitLoaded(loaded));
    QVERIFY(QTest::qWaitFor([&] { return whole.count() == 1; }, 20000));
    QVERIFY(!view.isShowingOpeningLinesOnly());
    QVERIFY(!view.truncationNote()->isVisible());
    QCOMPARE(view.content().toUtf8(), lines);
    QCOMPARE(view.fileContentView()->lineCount(), 3 * kOpeningLines + 1);
    QCOMPARE(view.fileContentView()->lineNumberText(0), QStringLiteral("   1"));
    QCOMPARE(view.fileContentView()->lineText(3999),
             QString(padding, QLatin1Char('.')) + QStringLiteral("line 4000 U+202E"));
    QCOMPARE(view.fileContentView()->marks().size(), 1u);
    QCOMPARE(view.fileContentView()->marks().front().line, 3999);
    QCOMPARE(view.fileContentView()->cursorLine(), 3999);
    QCOMPARE(loaded.count(), 1);
}

void FileViewerViewTest::aLongLineIsShownCut_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("16 MiB on one line") << QByteArray(16 << 20, 'x');
    QTest::newRow("8 MiB of NUL bytes") << QByteArray(8 << 20, '\0');
}

// A file made of one long line must not hold up the GUI thread, which the intake shares: the line is
// shown cut, with a note, whatever its length.
void FileViewerViewTest::aLongLineIsShownCut()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one-line.js"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    FileViewerView view(subjectOf(path));
    view.resize(640, 480);
    QSignalSpy whole(&view, &FileViewerView::fullyShown);
    view.show();
    QVERIFY(QTest::qWaitFor([&] { return whole.count() == 1; }, 600000));

    const QString shown = view.fileContentView()->lineText(0);
    // Cut after kMaxShownLineLength characters of the file, each drawn as a token of up to 8 units.
    QVERIFY(shown.size() <= 8 * kMaxShownLineLength + lineCutNote(view.content().size()).size());
    QVERIFY(shown.endsWith(lineCutNote(view.content().size())));
    QCOMPARE(view.content().size(), bytes.size());
}

QTEST_MAIN(FileViewerViewTest)
#include "FileViewerViewTest.moc"
