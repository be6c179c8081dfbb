// The whole file viewer headless, on real repositories (hostile ones are the loader's test): header and
// banner, the tab the load picks and keeps across reloading, match marks, the open button, long texts.

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
#include <QLabel>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QThreadPool>
#include <QToolButton>

#include <sys/stat.h>

namespace {

bool waitFor(QSignalSpy& spy, int count = 1)
{
    return QTest::qWaitFor([&] { return spy.count() >= count; }, 20000);
}

bool elidedInTheMiddle(const ElidedLabel* label, const QString& full, const QString& start,
                       const QString& end)
{
    const QString shown = label->text();
    return label->fullText() == full && shown.contains("…") && shown.startsWith(start) &&
           shown.endsWith(end) && !shown.contains('\n');
}

} // namespace

class FileViewerViewTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { viewerThreadPool()->waitForDone(); }
    void headerAndBannerShowPlainText();
    void loadingPicksTheTabAndPicksSurviveReloading();
    void matchedLinesAreMarkedAndStepped();
    void openButtonOpensAsTextOnly_data();
    void openButtonOpensAsTextOnly();
    void longTextsShowTheirOpeningLinesFirst_data();
    void longTextsShowTheirOpeningLinesFirst();
    void aLongLineIsShownCut();
};

// Long texts are cut in the middle so that the open button stays inside the window; names, rule and
// description never become markup, hidden characters in them are tokens.
void FileViewerViewTest::headerAndBannerShowPlainText()
{
    const QString path = "/start/" + QString(300, 'm') + "/.git/hooks/pre-commit";
    const QString rule = "git_hook_<i>payload</i>_" + QString(200, 'x') + "_end";
    FileViewerView view({.path = path,
                         .ruleName = rule,
                         .severity = "<b>info</b>",
                         .description = "<img src=x>\u202E\nnext"});
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto* pathLabel = view.findChild<ElidedLabel*>("path");
    auto* badge = view.findChild<ElidedLabel*>("ruleBadge");
    QCOMPARE(view.findChild<QLabel*>("fileName")->text(), QString("pre-commit"));
    QVERIFY(elidedInTheMiddle(pathLabel, path, "/start/", "pre-commit"));
    QVERIFY(elidedInTheMiddle(badge, rule, "git_hook", "_end"));
    QTextDocument tip;
    tip.setHtml(pathLabel->toolTip());
    QCOMPARE(tip.toPlainText(), path);
    QVERIFY(view.openButton()->mapTo(&view, QPoint(view.openButton()->width(), 0)).x() <= view.width());

    FindingBanner* banner = view.banner();
    QCOMPARE(banner->severityLabel()->text(), QString("⚠️ <b>info</b>"));
    QCOMPARE(banner->ruleLabel()->fullText(), rule);
    QCOMPARE(banner->descriptionLabel()->text(), QString("<img src=x>U+202EU+000Anext"));
    QCOMPARE(banner->accessibleDescription(), banner->descriptionLabel()->text());
    for (QLabel* label :
         {banner->severityLabel(), static_cast<QLabel*>(banner->ruleLabel()), banner->descriptionLabel()})
        QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(!banner->nextButton()->isVisible()); // no lines, nothing to step through

    FileViewerView named({.path = "/tmp/invoice\u202Etxt.exe", .ruleName = "rule\u200B"});
    named.show();
    QCOMPARE(named.findChild<QLabel*>("fileName")->text(), QString("invoiceU+202Etxt.exe"));
    QCOMPARE(named.findChild<QLabel*>("ruleBadge")->text(), QString("ruleU+200B"));
    QVERIFY(!named.banner()->descriptionLabel()->isVisible());
}

// Diff when git has changes, else File; each tab holds what its loader gives. A pick made before the
// results arrive, or while hidden, survives the load; switching loads nothing. A CRLF line end is the
// file's own line end in the File tab; in a diff it can be the change.
void FileViewerViewTest::loadingPicksTheTabAndPicksSurviveReloading()
{
    TestRepo repo;
    repo.commitBase();
    repo.write("notes.txt", "one\r\nok\xE2\x80\x8B\r\n");
    repo.remove("gone.txt");
    const struct
    {
        const char* file;
        ViewerTab tab;
        bool readFails;
    } rows[] = {
        {"notes.txt", ViewerTab::Diff, false},
        {"gone.txt", ViewerTab::Diff, true},
        {"empty.txt", ViewerTab::File, false},
    };
    for (const auto& row : rows) {
        const auto trace = qScopeGuard([&] {
            if (QTest::currentTestFailed())
                qWarning("in %s", row.file);
        });
        const QString path = repo.path(row.file);
        FileViewerView view({.path = path});
        view.resize(640, 480);
        QSignalSpy loaded(&view, &FileViewerView::loaded);
        view.show();
        QVERIFY(view.isLoading());
        QVERIFY(waitFor(loaded));
        QVERIFY(!view.isLoading());
        QCOMPARE(view.selectedTab(), row.tab);
        QCOMPARE(view.content(), loadFileContent(path));
        QCOMPARE(view.diff(), loadGitDiff(path));
        QCOMPARE(view.diffView()->isShowingEmptyMessage(), view.diff().isEmpty());
        QCOMPARE(view.fileContentView()->toPlainText() == fileReadFailureText(), row.readFails);
        QCOMPARE(view.fileContentView()->lineCount(), view.content().count('\n') + 1);
    }

    FileViewerView view({.path = repo.path("notes.txt")});
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    QSignalSpy switched(&view, &FileViewerView::selectedTabChanged);
    view.show();
    // Results arrive as queued calls, so this pick happens before any of them.
    view.tabButton(ViewerTab::File)->click();
    QVERIFY(waitFor(loaded));
    QCOMPARE(view.selectedTab(), ViewerTab::File);
    QVERIFY(view.fileContentView()->isVisible());
    QVERIFY(!view.diffView()->isVisible());
    QCOMPARE(view.fileContentView()->toPlainText(), QString("one\nokU+200B\n"));
    QVERIFY(view.diffView()->textView()->toPlainText().contains("\n+okU+200BU+000D\n"));

    view.tabButton(ViewerTab::Diff)->click();
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QVERIFY(view.diffView()->isVisible());
    QVERIFY(!view.fileContentView()->isVisible());
    QVERIFY(!view.tabButton(ViewerTab::File)->isChecked());
    QCOMPARE(switched.count(), 2);
    QCOMPARE(loaded.count(), 1);

    view.hide();
    repo.write("notes.txt", "rewritten\n");
    view.setSelectedTab(ViewerTab::File);
    view.show();
    QVERIFY(waitFor(loaded, 2));
    QCOMPARE(view.content(), QString("rewritten\n"));
    QVERIFY(view.diff().contains("+rewritten"));
    QCOMPARE(view.selectedTab(), ViewerTab::File);

    // Deleted while loading: what still runs must not deliver to them.
    for (int i = 0; i < 5; ++i) {
        auto* deleted = new FileViewerView({.path = repo.path("notes.txt")});
        deleted->show();
        delete deleted;
    }
    QVERIFY(viewerThreadPool()->waitForDone(20000));
    QCoreApplication::processEvents();
}

void FileViewerViewTest::matchedLinesAreMarkedAndStepped()
{
    TestRepo repo;
    repo.init();
    QByteArray lines;
    for (int i = 1; i <= 200; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    repo.write("hook.sh", lines);
    repo.commitAll();
    repo.write("hook.sh",
               lines.replace("line 120\n", "changed 120\n").replace("line 150\n", "changed 150\n"));
    // 190 is outside every hunk of the diff.
    FileViewerView view({.path = repo.path("hook.sh"), .lines = {120, 150, 190}});
    view.resize(640, 480);
    QSignalSpy loaded(&view, &FileViewerView::loaded);
    view.show();
    QVERIFY(waitFor(loaded));
    QCOMPARE(view.selectedTab(), ViewerTab::Diff);
    QVERIFY(view.banner()->nextButton()->isVisible());
    FileContentView* file = view.fileContentView();
    QCOMPARE(file->markedRows(), (std::vector<int>{119, 149, 189}));
    QCOMPARE(file->cursorLine(), 119);
    MarkedTextView* diff = view.diffView()->textView();
    QCOMPARE(diff->markedRows().size(), 2u);
    QCOMPARE(diff->lineText(diff->markedRows().back()), QString("+changed 150"));

    // F3 / Shift+F3 step in the tab shown and stop at the ends.
    QCOMPARE(diff->cursorLine(), diff->markedRows().front());
    QTest::keyClick(diff, Qt::Key_F3);
    QCOMPARE(diff->cursorLine(), diff->markedRows().back());
    QVERIFY(!view.goToNextMatch());
    QTest::keyClick(diff, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(diff->cursorLine(), diff->markedRows().front());

    // The File tab, shown, has the first match about a third from the top.
    view.tabButton(ViewerTab::File)->click();
    const QRect first = file->lineRect(file->cursorLine()).toRect();
    QVERIFY(first.top() > file->viewport()->height() / 6 && first.bottom() < file->viewport()->height() / 2);
    view.banner()->nextButton()->click();
    view.banner()->nextButton()->click();
    QCOMPARE(file->cursorLine(), 189);
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
    TestRepo home; // a plain folder: the file, a fake editor and the desktop's configuration
    const auto at = [&](const char* relative) { return home.path(relative); };
    const QByteArray record = QFile::encodeName(at("editor-args"));
    const QString launcher =
        home.writeProgram("files/evil launcher.desktop",
                          "[Desktop Entry]\nType=Application\nName=Evil\nExec=sh -c 'echo ran > " +
                              QFile::encodeName(at("ran")) + "'\n");
    home.writeProgram("bin/editor", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".tmp'\nmv '" + record +
                                        ".tmp' '" + record + "'\n");
    home.write("data/applications/fake-editor.desktop",
               "[Desktop Entry]\nType=Application\nName=Fake Editor\nExec=\"" +
                   QFile::encodeName(at("bin/editor")) + "\" --new-window %f\n");
    home.write("config/mimeapps.list",
               textEditorSet ? "[Default Applications]\ntext/plain=missing.desktop;fake-editor.desktop;\n"
                             : "[Default Applications]\napplication/x-desktop=fake-editor.desktop\n");
    // Read when nothing before it names an editor: a FIFO there must not stall the window.
    QCOMPARE(::mkfifo(QFile::encodeName(at("data/applications/mimeapps.list")).constData(), 0600), 0);
    const std::pair<const char*, const char*> xdg[] = {{"XDG_DATA_HOME", "data"},
                                                       {"XDG_CONFIG_HOME", "config"},
                                                       {"XDG_DATA_DIRS", "none"},
                                                       {"XDG_CONFIG_DIRS", "none"}};
    const QProcessEnvironment before = QProcessEnvironment::systemEnvironment();
    const auto restore = qScopeGuard([&] {
        for (const auto& [variable, folder] : xdg)
            qputenv(variable, before.value(variable).toLocal8Bit());
    });
    for (const auto& [variable, folder] : xdg)
        qputenv(variable, QFile::encodeName(at(folder)));

    FileViewerView view({.path = launcher});
    view.show();
    view.openButton()->click();
    if (textEditorSet) {
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(record); }, 20000));
        QFile args(record);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll(), "--new-window\n" + QFile::encodeName(launcher) + '\n');
    } else {
        QVERIFY(view.openProblem()->text().contains("no application is set up to open text files"));
        QVERIFY(!QFile::exists(record));
    }
    QCOMPARE(view.openProblem()->isVisible(), !textEditorSet);
    QVERIFY(!QFile::exists(at("ran")));
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
    TestRepo dir; // a plain folder
    QByteArray lines;
    for (int i = 1; i <= 3 * kOpeningLines; ++i)
        lines += QByteArray(padding, '.') + "line " + QByteArray::number(i) +
                 (i == 4000 ? " \xE2\x80\xAE" : "") + '\n';
    QVERIFY((lines.size() > kFileOpeningBytes) == (padding > 0));
    // Line 4000 is past the opening lines: reached once the whole text is shown.
    FileViewerView view({.path = dir.write("long.txt", lines), .lines = {4000}});
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
    QVERIFY(waitFor(whole));
    QVERIFY(!view.isShowingOpeningLinesOnly() && !view.truncationNote()->isVisible());
    QCOMPARE(view.content().toUtf8(), lines);
    FileContentView* file = view.fileContentView();
    QCOMPARE(file->lineCount(), 3 * kOpeningLines + 1);
    QCOMPARE(file->lineText(3999), QString(padding, '.') + "line 4000 U+202E");
    QCOMPARE(file->marks().size(), 1u);
    QCOMPARE(file->marks().front().line, 3999);
    QCOMPARE(file->cursorLine(), 3999);
    QCOMPARE(loaded.count(), 1);
}

// A file of one long line must not hold up the GUI thread, which the intake shares: the line is shown
// cut, with a note. NUL bytes are the worst case: each is drawn as a token.
void FileViewerViewTest::aLongLineIsShownCut()
{
    TestRepo dir; // a plain folder
    const QByteArray bytes(8 << 20, '\0');
    FileViewerView view({.path = dir.write("one-line.js", bytes)});
    view.resize(640, 480);
    QSignalSpy whole(&view, &FileViewerView::fullyShown);
    view.show();
    QVERIFY(QTest::qWaitFor([&] { return whole.count() == 1; }, 600000));
    const QString shown = view.fileContentView()->lineText(0);
    QCOMPARE(view.content().size(), bytes.size());
    QVERIFY(shown.size() <= 8 * kMaxShownLineLength + lineCutNote(bytes.size()).size());
    QVERIFY(shown.endsWith(lineCutNote(bytes.size())));
}

QTEST_MAIN(FileViewerViewTest)
#include "FileViewerViewTest.moc"
