// The watched-directories window over a real store and a stand-in watcher that records its standard
// input: adding through the folder chooser, removing, the exact configuration bytes each change
// sends, the notification permission row, and the list of ignored rules.

#include "AppFixture.h"
#include "StubNotifier.h"
#include "WatcherScript.h"

#include "directories/DirectoryView.h"
#include "directories/IgnoreListView.h"
#include "directories/WrappedPathLabel.h"
#include "records/DirectoryListModel.h"
#include "watcher/WatcherSupervisor.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Captures what the process writes to its standard output while it lives.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        m_saved = ::dup(STDOUT_FILENO);
        const int fd = ::open(path().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
    ~StdoutCapture() { restore(); }
    QByteArray text()
    {
        std::fflush(stdout);
        QFile file(QString::fromLocal8Bit(path()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void restore()
    {
        if (m_saved >= 0) {
            std::fflush(stdout);
            ::dup2(m_saved, STDOUT_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
    }

private:
    QByteArray path() const { return m_dir.filePath(QStringLiteral("stdout")).toLocal8Bit(); }

    QTemporaryDir m_dir;
    int m_saved = -1;
};

} // namespace

class DirectoryViewTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptyWindowPushesAnEmptyListWhenFirstShown();
    void addThroughTheChooserThenRemoveSendsEachList();
    void cancelledChooserChangesNothing();
    void storedDirectoriesAreListedAndPushedInStoreOrder();
    void longPathWrapsAndKeepsTheButtonAtTheEnd();
    void aFolderNameWithALineFeedIsShownAsNotWatched();
    void permissionRow_data();
    void permissionRow();
    void allowNotificationsPrintsTheAnswer_data();
    void allowNotificationsPrintsTheAnswer();
    void ignoresAreListedAndRemovable();

private:
    // Answers the open chooser with `folder`, as a user typing it and pressing Open would.
    static void choose(DirectoryView& view, const QString& folder);
    void startWatcher();

    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<tw::test::WatcherScript> m_script;
    std::unique_ptr<WatcherSupervisor> m_supervisor;
    QTemporaryDir m_folders;
};

void DirectoryViewTest::init()
{
    m_store = std::make_unique<StoreFixture>();
    m_script = std::make_unique<tw::test::WatcherScript>(QStringList{});
    m_script->exportToEnvironment();
}

void DirectoryViewTest::cleanup()
{
    m_supervisor.reset();
    WatcherStatus::shared().setRunning(false);
    m_script.reset();
    m_store.reset();
}

void DirectoryViewTest::startWatcher()
{
    m_supervisor = std::make_unique<WatcherSupervisor>();
    m_supervisor->setExecutable(tw::test::scriptedWatcherPath());
    QSignalSpy launched(m_supervisor.get(), &WatcherSupervisor::launched);
    m_supervisor->launchWatcher();
    QVERIFY(launched.wait(10000));
    QVERIFY(WatcherStatus::shared().isRunning());
}

void DirectoryViewTest::choose(DirectoryView& view, const QString& folder)
{
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    QFileDialog* dialog = view.folderDialog();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());
    // The chooser does not block: the window keeps working while it is open.
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    dialog->selectFile(folder);
    // Open, as the button does (QFileDialog checks the typed folder first).
    static_cast<QDialog*>(dialog)->accept();
}

void DirectoryViewTest::emptyWindowPushesAnEmptyListWhenFirstShown()
{
    startWatcher();
    // The launch itself sends the stored (empty) configuration.
    QTRY_COMPARE(m_script->recordedStdin(), QByteArray("\n\n"));
    StubNotifier notifier;
    DirectoryView view(m_store->container.get(), &notifier);
    QSignalSpy pushed(&view, &DirectoryView::configurationPushed);
    view.show();
    QCOMPARE(pushed.size(), 1);
    QTRY_COMPARE(m_script->recordedStdin(), QByteArray("\n\n\n\n"));
    QVERIFY(view.isEmptyStateShown());
    // Showing it again is not a change of the list.
    view.hide();
    view.show();
    QTest::qWait(50);
    QCOMPARE(pushed.size(), 1);
}

void DirectoryViewTest::addThroughTheChooserThenRemoveSendsEachList()
{
    const QString folder = m_folders.filePath(QStringLiteral("project"));
    QVERIFY(QDir().mkpath(folder));
    startWatcher();
    StubNotifier notifier;
    DirectoryView view(m_store->container.get(), &notifier);
    view.show();
    QByteArray expected("\n\n\n\n");
    QTRY_COMPARE(m_script->recordedStdin(), expected);

    choose(view, folder);
    QTRY_COMPARE(view.listedPaths(), QStringList{folder});
    QVERIFY(!view.isEmptyStateShown());
    expected += folder.toUtf8() + "\n\n";
    QTRY_COMPARE(m_script->recordedStdin(), expected);

    // The same folder again is a second row, and listed twice.
    choose(view, folder);
    QTRY_COMPARE(view.listedPaths(), (QStringList{folder, folder}));
    expected += folder.toUtf8() + "\n" + folder.toUtf8() + "\n\n";
    QTRY_COMPARE(m_script->recordedStdin(), expected);

    // Saved by the main context on its own, without an explicit save.
    QTRY_COMPARE(m_store->container->newContext()->countDirectories().value_or(-1), 2);

    QTest::mouseClick(view.removeButton(0), Qt::LeftButton);
    QTRY_COMPARE(view.listedPaths(), QStringList{folder});
    expected += folder.toUtf8() + "\n\n";
    QTRY_COMPARE(m_script->recordedStdin(), expected);

    QTest::mouseClick(view.removeButton(0), Qt::LeftButton);
    QTRY_VERIFY(view.isEmptyStateShown());
    expected += "\n\n";
    QTRY_COMPARE(m_script->recordedStdin(), expected);
    QTRY_COMPARE(m_store->container->newContext()->countDirectories().value_or(-1), 0);
}

void DirectoryViewTest::cancelledChooserChangesNothing()
{
    StubNotifier notifier;
    DirectoryView view(m_store->container.get(), &notifier);
    QSignalSpy pushed(&view, &DirectoryView::configurationPushed);
    view.show();
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    QFileDialog* dialog = view.folderDialog();
    QVERIFY(dialog);
    dialog->selectFile(m_folders.path());
    dialog->reject();
    QTest::qWait(50);
    QVERIFY(view.listedPaths().isEmpty());
    QCOMPARE(pushed.size(), 1); // the first showing only
    QCOMPARE(m_store->container->mainContext().countDirectories().value_or(-1), 0);
}

void DirectoryViewTest::storedDirectoriesAreListedAndPushedInStoreOrder()
{
    const QStringList paths{QStringLiteral("/srv/b"), QStringLiteral("/srv/a"),
                            QStringLiteral("/srv/with space")};
    m_store->addDirectories(paths);
    startWatcher();
    const QByteArray message("/srv/b\n/srv/a\n/srv/with space\n\n");
    QTRY_COMPARE(m_script->recordedStdin(), message);
    StubNotifier notifier;
    DirectoryView view(m_store->container.get(), &notifier);
    view.show();
    QTRY_COMPARE(view.listedPaths(), paths);
    QTRY_COMPARE(m_script->recordedStdin(), message + message);
}

// The watcher reads one path a line: such a folder cannot be sent, and its row says so instead of the
// folder silently going unwatched. Its name shows the line feed as a token, on one line.
void DirectoryViewTest::aFolderNameWithALineFeedIsShownAsNotWatched()
{
    m_store->addDirectories({QStringLiteral("/srv/a"), QStringLiteral("/srv/x\n/etc")});
    startWatcher();
    QTRY_COMPARE(m_script->recordedStdin(), QByteArray("/srv/a\n\n"));
    StubNotifier notifier;
    DirectoryView view(m_store->container.get(), &notifier);
    view.show();
    QTRY_COMPARE(view.listedPaths().size(), 2);
    const QList<QLabel*> notes = view.findChildren<QLabel*>(QStringLiteral("unwatchableNote"));
    QCOMPARE(notes.size(), 1);
    QVERIFY(notes.first()->isVisible());
    QStringList shown;
    for (const WrappedPathLabel* label : view.findChildren<WrappedPathLabel*>())
        shown << label->text();
    QVERIFY(shown.contains(QStringLiteral("/srv/x\u27E8U+000A\u27E9/etc")));
}

void DirectoryViewTest::longPathWrapsAndKeepsTheButtonAtTheEnd()
{
    QString path = QStringLiteral("/srv");
    for (int i = 0; i < 12; ++i) {
        path += QStringLiteral("/segment-without-spaces-%1").arg(i);
    }
    m_store->addDirectories({path});

    StubNotifier notifier;
    notifier.authorized = true;
    DirectoryView view(m_store->container.get(), &notifier);
    view.resize(420, 280);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_COMPARE(view.listedPaths(), QStringList{path});
    auto* label = view.findChild<WrappedPathLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), path);
    QTRY_VERIFY(label->width() > 0);
    const int lines = label->lineCount(label->width());
    QVERIFY2(lines >= 3, qPrintable(QString::number(lines)));
    // Tall enough for every line: nothing is cut off.
    QVERIFY(label->height() >= lines * label->fontMetrics().lineSpacing() - 2);
    QToolButton* remove = view.removeButton(0);
    QVERIFY(remove);
    // Icon-only buttons still have names for assistive technology.
    QCOMPARE(remove->accessibleName(), QStringLiteral("Remove ") + path);
    QVERIFY(!view.addButton()->accessibleName().isEmpty());
    const QPoint buttonRight = remove->mapTo(&view, QPoint(remove->width(), 0));
    QVERIFY2(buttonRight.x() > view.width() - 30, qPrintable(QString::number(buttonRight.x())));
    QVERIFY(label->mapTo(&view, QPoint(label->width(), 0)).x() <= remove->mapTo(&view, QPoint(0, 0)).x());
}

void DirectoryViewTest::permissionRow_data()
{
    QTest::addColumn<bool>("authorized");
    QTest::newRow("not authorized") << false;
    QTest::newRow("authorized") << true;
}

void DirectoryViewTest::permissionRow()
{
    QFETCH(bool, authorized);
    StubNotifier notifier;
    notifier.authorized = authorized;
    DirectoryView view(m_store->container.get(), &notifier);
    QVERIFY(!view.isPermissionRowShown());
    view.show();
    QTRY_COMPARE(notifier.checks, 1);
    QTRY_COMPARE(view.isPermissionRowShown(), !authorized);
    // Checked anew each time the window comes on screen.
    notifier.authorized = !authorized;
    view.hide();
    view.show();
    QTRY_COMPARE(notifier.checks, 2);
    QTRY_COMPARE(view.isPermissionRowShown(), authorized);
}

void DirectoryViewTest::allowNotificationsPrintsTheAnswer_data()
{
    QTest::addColumn<bool>("grant");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QByteArray>("printed");
    QTest::newRow("granted") << true << QString() << QByteArray("notifications enabled\n");
    QTest::newRow("refused with a reason") << false << QStringLiteral("No notification service on the bus")
                                           << QByteArray("No notification service on the bus\n");
    QTest::newRow("refused silently") << false << QString() << QByteArray();
}

void DirectoryViewTest::allowNotificationsPrintsTheAnswer()
{
    QFETCH(bool, grant);
    QFETCH(QString, error);
    QFETCH(QByteArray, printed);
    StubNotifier notifier;
    notifier.grant = grant;
    notifier.error = error;
    DirectoryView view(m_store->container.get(), &notifier);
    view.show();
    QTRY_VERIFY(view.isPermissionRowShown());
    StdoutCapture capture;
    QTest::mouseClick(view.allowNotificationsButton(), Qt::LeftButton);
    QTest::qWait(50);
    if (!printed.isEmpty()) {
        QTRY_COMPARE(capture.text(), printed);
    }
    const QByteArray text = capture.text();
    capture.restore();
    QCOMPARE(text, printed);
    // The row stays until the window is shown again.
    QVERIFY(view.isPermissionRowShown());
}

void DirectoryViewTest::ignoresAreListedAndRemovable()
{
    StubNotifier notifier;
    DirectoryView view(m_store->container.get(), &notifier);
    view.show();
    IgnoreListView* ignores = view.ignoreList();
    QVERIFY(ignores->isHidden());

    // Added elsewhere (the panel) and saved: the window follows the store.
    {
        auto context = m_store->container->newContext();
        QVERIFY(context->addIgnore(
            RuleIgnore(QStringLiteral("git_hook"), QStringLiteral("/w/a/pre-commit"), false)));
        QVERIFY(
            context->addIgnore(RuleIgnore(QStringLiteral("npm\u202Eevil"), QStringLiteral("/w/b"), true)));
    }
    QTRY_VERIFY(ignores->isVisible());
    QCOMPARE(ignores->listedTexts(), (QStringList{QStringLiteral("git_hook \u2014 /w/a/pre-commit"),
                                                  QStringLiteral("npm\u27E8U+202E\u27E9evil \u2014 /w/b/")}));
    QVERIFY(!ignores->removeButton(0)->accessibleName().isEmpty());

    QTest::mouseClick(ignores->removeButton(0), Qt::LeftButton);
    QTRY_COMPARE(ignores->listedTexts().size(), 1);
    const auto left = m_store->container->newContext()->fetchIgnores();
    QVERIFY(left && left->size() == 1);
    QCOMPARE(left->first().path(), QStringLiteral("/w/b"));

    QTest::mouseClick(ignores->removeButton(0), Qt::LeftButton);
    QTRY_VERIFY(ignores->isHidden());
    QVERIFY(m_store->container->newContext()->fetchIgnores()->isEmpty());
}

QTEST_MAIN(DirectoryViewTest)
#include "DirectoryViewTest.moc"
