// The watched-directories window over a real store and a stand-in watcher that records its standard
// input: adding through the folder chooser, removing, the exact configuration bytes each change
// sends, the notification permission row, the list of ignored rules, and starting at login over the
// real autostart entry in the fixture's private $XDG_CONFIG_HOME.

#include "AppFixture.h"

#include "desktop/XdgAutostart.h"
#include "directories/DirectoryView.h"
#include "directories/IgnoreListView.h"
#include "directories/StartAtLoginSwitch.h"
#include "directories/WrappedPathLabel.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QToolButton>
#include <unistd.h>

using namespace Qt::StringLiterals;

class DirectoryViewTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_app = std::make_unique<ScriptedAppFixture>(); }

    void cleanup() { m_app.reset(); }

    // Every change of the list goes to the watcher, once: the window's first showing does, showing it again
    // or cancelling the chooser does not, each add and each removal does.
    void eachChangeOfTheListIsSentOnce()
    {
        const QString folder = m_folders.filePath(u"project"_s);
        QVERIFY(QDir().mkpath(folder));
        const QByteArray line = folder.toUtf8() + '\n';
        startWatcher();
        DirectoryView view(m_app->container.get(), &m_app->notifier);
        view.show();
        // The launch's push, then the first showing's.
        QByteArray expected("\n\n\n\n");
        QTRY_COMPARE(m_app->script.recordedStdin(), expected);
        view.hide();
        view.show();
        QTest::mouseClick(view.addButton(), Qt::LeftButton);
        view.folderDialog()->reject();

        choose(view, folder);
        QTRY_COMPARE(view.listedPaths(), QStringList{folder});
        QVERIFY(!view.isEmptyStateShown());
        expected += line + '\n';
        QTRY_COMPARE(m_app->script.recordedStdin(), expected);

        // The same folder again is a second row, and listed twice.
        choose(view, folder);
        QTRY_COMPARE(view.listedPaths(), (QStringList{folder, folder}));
        expected += line + line + '\n';
        QTRY_COMPARE(m_app->script.recordedStdin(), expected);

        QTest::mouseClick(view.removeButton(0), Qt::LeftButton);
        QTRY_COMPARE(view.listedPaths(), QStringList{folder});
        expected += line + '\n';
        QTRY_COMPARE(m_app->script.recordedStdin(), expected);

        QTest::mouseClick(view.removeButton(0), Qt::LeftButton);
        QTRY_VERIFY(view.isEmptyStateShown());
        expected += "\n\n";
        QTRY_COMPARE(m_app->script.recordedStdin(), expected);
        // Saved by the main context on its own, without an explicit save (an add: EndToEndTest).
        QTRY_COMPARE(m_app->container->newContext()->countDirectories().value_or(-1), 0);
    }

    // A long path wraps onto as many lines as it needs. The watcher reads one path a line, so a folder
    // whose name holds a line feed is not sent (the supervisor's test checks the bytes): its row says so
    // instead of the folder silently going unwatched, its name on one line.
    void longAndUnwatchablePathsAreShownWhole()
    {
        QString path = u"/srv"_s;
        for (int i = 0; i < 12; ++i)
            path += u"/segment-without-spaces-%1"_s.arg(i);
        m_app->addDirectories({path, u"/srv/x\n/etc"_s});
        DirectoryView view(m_app->container.get(), &m_app->notifier);
        view.resize(420, 280);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_COMPARE(view.listedPaths().size(), 2);
        const QList<WrappedPathLabel*> labels = view.findChildren<WrappedPathLabel*>();
        WrappedPathLabel* label = labels.first();
        QCOMPARE(label->text(), path);
        QCOMPARE(labels.last()->text(), u"/srv/x\u27E8U+000A\u27E9/etc"_s);
        const QList<QLabel*> notes = view.findChildren<QLabel*>(u"unwatchableNote"_s);
        QCOMPARE(notes.size(), 1);
        QVERIFY(notes.first()->isVisible());

        QTRY_VERIFY(label->width() > 0);
        const int lines = label->lineCount(label->width());
        QVERIFY2(lines >= 3, qPrintable(QString::number(lines)));
        // Tall enough for every line: nothing is cut off.
        QVERIFY(label->height() >= lines * label->fontMetrics().lineSpacing() - 2);
        // Icon-only buttons still have names for assistive technology.
        QCOMPARE(view.removeButton(0)->accessibleName(), u"Remove "_s + path);
    }

    // The answer is printed, granted or refused with a reason.
    void allowNotificationsPrintsTheAnswer()
    {
        DirectoryView view(m_app->container.get(), &m_app->notifier);
        QVERIFY(!view.isPermissionRowShown());
        view.show();
        QTRY_VERIFY(view.isPermissionRowShown());
        const QString refusal = u"No notification service on the bus"_s;
        for (const bool grant : {true, false}) {
            m_app->notifier.grant = grant;
            m_app->notifier.error = grant ? QString() : refusal;
            // Standard output into a file while the button is pressed and the notifier answers.
            QTemporaryFile out;
            QVERIFY(out.open());
            std::fflush(stdout);
            const int saved = ::dup(STDOUT_FILENO);
            ::dup2(out.handle(), STDOUT_FILENO);
            QTest::mouseClick(view.allowNotificationsButton(), Qt::LeftButton);
            // The stub answers on a queued call; one asked later is answered after it.
            bool answered = false;
            m_app->notifier.checkAuthorization([&](bool) { answered = true; });
            const bool done = QTest::qWaitFor([&] { return answered; });
            std::fflush(stdout);
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
            QVERIFY(done);
            // Standard output shared the file's offset: read from the start.
            QVERIFY(out.seek(0));
            QCOMPARE(out.readAll(), grant ? QByteArray("notifications enabled\n") : refusal.toUtf8() + '\n');
        }

        // The row stays until the permission is checked anew, each time the window comes on screen.
        QVERIFY(view.isPermissionRowShown());
        m_app->notifier.authorized = true;
        view.hide();
        view.show();
        QTRY_VERIFY(!view.isPermissionRowShown());
    }

    void ignoresAreListedAndRemovable()
    {
        DirectoryView view(m_app->container.get(), &m_app->notifier);
        view.show();
        IgnoreListView* ignores = view.ignoreList();
        QVERIFY(ignores->isHidden());

        // Added elsewhere (the panel) and saved: the window follows the store.
        {
            auto context = m_app->container->newContext();
            QVERIFY(context->addIgnore(RuleIgnore(u"git_hook"_s, u"/w/a/pre-commit"_s, false)));
            QVERIFY(context->addIgnore(RuleIgnore(u"npm\u202Eevil"_s, u"/w/b"_s, true)));
        }
        QTRY_VERIFY(ignores->isVisible());
        QCOMPARE(ignores->listedTexts(), (QStringList{u"git_hook \u2014 /w/a/pre-commit"_s,
                                                      u"npm\u27E8U+202E\u27E9evil \u2014 /w/b/"_s}));
        QVERIFY(!ignores->removeButton(0)->accessibleName().isEmpty());

        QTest::mouseClick(ignores->removeButton(0), Qt::LeftButton);
        QTRY_COMPARE(ignores->listedTexts().size(), 1);
        const auto left = m_app->container->newContext()->fetchIgnores();
        QVERIFY(left && left->size() == 1);
        QCOMPARE(left->first().path(), u"/w/b"_s);

        QTest::mouseClick(ignores->removeButton(0), Qt::LeftButton);
        QTRY_VERIFY(ignores->isHidden());
        QVERIFY(m_app->container->newContext()->fetchIgnores()->isEmpty());
    }

    void firstDirectoryTurnsStartAtLoginOnUntilTheUserChooses()
    {
        const XdgAutostart autostart;
        QCOMPARE(autostart.entryPath(), m_app->configHome() + u"/autostart/tarnwick.desktop"_s);
        {
            DirectoryView view(m_app->container.get(), &m_app->notifier);
            view.show();
            StartAtLoginSwitch* toggle = view.startAtLoginSwitch();
            QVERIFY(!toggle->isOn());
            QVERIFY(!QFile::exists(autostart.entryPath()));

            choose(view, m_folders.path());
            QTRY_VERIFY(toggle->isOn());
            QFile entryFile(autostart.entryPath());
            QVERIFY(entryFile.open(QIODevice::ReadOnly));
            const QByteArray entry = entryFile.readAll();
            QVERIFY(entry.startsWith("[Desktop Entry]\n"));
            QVERIFY(entry.contains("\nExec=" + XdgAutostart::execValue(XdgAutostart::launcherFor()).toUtf8() +
                                   "\n"));

            // Removed by hand: the window says so the next time it shows.
            QVERIFY(QFile::remove(autostart.entryPath()));
            view.hide();
            view.show();
            QVERIFY(!toggle->isOn());

            QTest::mouseClick(toggle->checkBox(), Qt::LeftButton);
            QVERIFY(autostart.isEnabled());
            QTest::mouseClick(toggle->checkBox(), Qt::LeftButton);
            QVERIFY(!toggle->isOn());
            QVERIFY(!QFile::exists(autostart.entryPath()));
        }
        // The user's "off" holds for later directories, in a later run too.
        DirectoryView later(m_app->container.get(), &m_app->notifier);
        later.show();
        choose(later, m_folders.path());
        QTRY_COMPARE(later.listedPaths().size(), 2);
        QVERIFY(!later.startAtLoginSwitch()->isOn());
        QVERIFY(!QFile::exists(autostart.entryPath()));
    }

    void aFailedAutostartWriteIsNotRememberedAsAChoice()
    {
        QTemporaryDir config;
        XdgAutostart autostart(u"/usr/bin/tarnwick"_s, config.path());
        // A file where the autostart folder belongs: the entry cannot be written.
        QFile blocker(config.filePath(u"autostart"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!autostart.enableByDefault());
        QVERIFY(!autostart.setEnabled(true));
        QVERIFY(!autostart.isEnabled());

        StartAtLoginSwitch toggle(nullptr,
                                  std::make_unique<XdgAutostart>(u"/usr/bin/tarnwick"_s, config.path()));
        QTest::mouseClick(toggle.checkBox(), Qt::LeftButton);
        QVERIFY(!toggle.isOn());

        // Once it can be written, the default still applies, once.
        QVERIFY(blocker.remove());
        QVERIFY(autostart.enableByDefault());
        QVERIFY(autostart.isEnabled());
        QVERIFY(!autostart.enableByDefault());
    }

    // Hidden (however spaced) or switched off for GNOME is off; a key of another group says nothing.
    void autostartEntryEditedByHand()
    {
        const XdgAutostart autostart(u"/usr/bin/tarnwick"_s, m_app->configHome());
        QVERIFY(QDir().mkpath(QFileInfo(autostart.entryPath()).path()));
        const QByteArray head = "[Desktop Entry]\nType=Application\nExec=/usr/bin/tarnwick\n";
        const QList<std::pair<QByteArray, bool>> rows{{"Hidden = true \n", false},
                                                      {"X-GNOME-Autostart-enabled=false\n", false},
                                                      {"[Desktop Action x]\nHidden=true\n", true}};
        for (const auto& [tail, enabled] : rows) {
            QFile file(autostart.entryPath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(head + tail) > 0);
            file.close();
            QVERIFY2(autostart.isEnabled() == enabled, tail.constData());
        }
    }

    // Escaped for the command line, then the backslash again for the entry's string; a line break cannot
    // be written at all.
    void autostartExecValue()
    {
        const QList<std::pair<QString, QString>> rows{
            {u"/home/me/my apps/Tarnwick"_s, u"\"/home/me/my apps/Tarnwick\""_s},
            {u"/opt/a$b/Tarnwick"_s, u"\"/opt/a\\\\$b/Tarnwick\""_s},
            {u"/opt/a\"b/Tarnwick"_s, u"\"/opt/a\\\\\"b/Tarnwick\""_s},
            {u"/opt/a\\b/Tarnwick"_s, u"\"/opt/a\\\\\\\\b/Tarnwick\""_s},
            {u"/opt/100%/Tarnwick"_s, u"/opt/100%%/Tarnwick"_s},
            {u"/opt/a\nb/Tarnwick"_s, QString()}};
        for (const auto& [program, exec] : rows)
            QCOMPARE(XdgAutostart::execValue(program), exec);
    }

    void autostartLauncherIsTheInstalledOneOnlyWhenItLeadsToTheProgram()
    {
        const QString program = m_folders.filePath(u"lib/tarnwick/Tarnwick"_s);
        const QString launcher = m_folders.filePath(u"bin/tarnwick"_s);
        QVERIFY(QDir().mkpath(m_folders.filePath(u"lib/tarnwick"_s)));
        QVERIFY(QDir().mkpath(m_folders.filePath(u"bin"_s)));
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        // A launcher of another program.
        QVERIFY(QFile::link(u"/bin/true"_s, launcher));
        QCOMPARE(XdgAutostart::launcherFor(program), program);
        QVERIFY(QFile::remove(launcher));
        // The installed layout.
        QVERIFY(QFile::link(u"../lib/tarnwick/Tarnwick"_s, launcher));
        QCOMPARE(XdgAutostart::launcherFor(program), launcher);
    }

private:
    // Answers the open chooser with `folder`, as a user typing it and pressing Open would.
    static void choose(DirectoryView& view, const QString& folder)
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

    void startWatcher()
    {
        QSignalSpy launched(m_app->supervisor.get(), &WatcherSupervisor::launched);
        m_app->supervisor->launchWatcher();
        QVERIFY(launched.wait(10000));
    }

    std::unique_ptr<ScriptedAppFixture> m_app;
    QTemporaryDir m_folders;
};

QTEST_MAIN(DirectoryViewTest)
#include "DirectoryViewTest.moc"
