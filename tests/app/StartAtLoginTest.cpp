// Starting at login: the switch of the Watched Directories window over the real autostart entry in a
// private $XDG_CONFIG_HOME, what counts as on when the entry was edited by hand, the entry's command
// line for awkward paths, and which launcher the entry names.

#include "AppFixture.h"
#include "StubNotifier.h"

#include "desktop/XdgAutostart.h"
#include "directories/DirectoryView.h"
#include "directories/StartAtLoginSwitch.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QSignalSpy>
#include <QToolButton>

using namespace Qt::StringLiterals;

class StartAtLoginTest : public QObject
{
    Q_OBJECT
private slots:
    void firstDirectoryTurnsItOnUntilTheUserChooses();
    void aFailedWriteIsNotRememberedAsAChoice();
    void entryEditedByHand_data();
    void entryEditedByHand();
    void execValue_data();
    void execValue();
    void launcherIsTheInstalledOneOnlyWhenItLeadsToTheProgram();

private:
    static void addThroughTheChooser(DirectoryView& view, const QString& folder);

    QTemporaryDir m_folders;
};

void StartAtLoginTest::addThroughTheChooser(DirectoryView& view, const QString& folder)
{
    const int before = int(view.listedPaths().size());
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    QFileDialog* dialog = view.folderDialog();
    QVERIFY(dialog);
    dialog->selectFile(folder);
    static_cast<QDialog*>(dialog)->accept();
    QTRY_COMPARE(int(view.listedPaths().size()), before + 1);
}

void StartAtLoginTest::firstDirectoryTurnsItOnUntilTheUserChooses()
{
    StoreFixture store;
    const XdgAutostart autostart;
    QCOMPARE(autostart.entryPath(), store.configHome() + u"/autostart/tarnwick.desktop"_s);
    const QString folder = m_folders.path();
    StubNotifier notifier;
    {
        DirectoryView view(store.container.get(), &notifier);
        view.show();
        StartAtLoginSwitch* toggle = view.startAtLoginSwitch();
        QVERIFY(!toggle->isOn());
        QVERIFY(!QFile::exists(autostart.entryPath()));

        addThroughTheChooser(view, folder);
        QVERIFY(toggle->isOn());
        QFile entryFile(autostart.entryPath());
        QVERIFY(entryFile.open(QIODevice::ReadOnly));
        const QByteArray entry = entryFile.readAll();
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(
            entry.contains("\nExec=" + XdgAutostart::execValue(XdgAutostart::launcherFor()).toUtf8() + "\n"));
        QVERIFY(entry.contains("\nX-GNOME-Autostart-enabled=true\n"));

        // Removed by hand: the window says so the next time it shows.
        QVERIFY(QFile::remove(autostart.entryPath()));
        view.hide();
        view.show();
        QVERIFY(!toggle->isOn());

        QTest::mouseClick(toggle->checkBox(), Qt::LeftButton);
        QVERIFY(toggle->isOn());
        QVERIFY(autostart.isEnabled());
        QTest::mouseClick(toggle->checkBox(), Qt::LeftButton);
        QVERIFY(!toggle->isOn());
        QVERIFY(!QFile::exists(autostart.entryPath()));
    }
    // The user's "off" holds for later directories, in a later run too.
    DirectoryView later(store.container.get(), &notifier);
    later.show();
    addThroughTheChooser(later, folder);
    QVERIFY(!later.startAtLoginSwitch()->isOn());
    QVERIFY(!QFile::exists(autostart.entryPath()));
}

void StartAtLoginTest::aFailedWriteIsNotRememberedAsAChoice()
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

    StartAtLoginSwitch toggle(nullptr, std::make_unique<XdgAutostart>(u"/usr/bin/tarnwick"_s, config.path()));
    QTest::mouseClick(toggle.checkBox(), Qt::LeftButton);
    QVERIFY(!toggle.isOn());

    // Once it can be written, the default still applies.
    QVERIFY(blocker.remove());
    QVERIFY(autostart.enableByDefault());
    QVERIFY(autostart.isEnabled());
    QVERIFY(!autostart.enableByDefault());
}

void StartAtLoginTest::entryEditedByHand_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("enabled");
    const QByteArray head = "[Desktop Entry]\nType=Application\nExec=/usr/bin/tarnwick\n";
    QTest::newRow("as written") << head + "X-GNOME-Autostart-enabled=true\n" << true;
    QTest::newRow("hidden") << head + "Hidden=true\n" << false;
    QTest::newRow("hidden, spaced") << head + "Hidden = true \n" << false;
    QTest::newRow("hidden false") << head + "Hidden=false\n" << true;
    QTest::newRow("GNOME switch off") << head + "X-GNOME-Autostart-enabled=false\n" << false;
    QTest::newRow("hidden in another group") << head + "[Desktop Action x]\nHidden=true\n" << true;
    QTest::newRow("empty file") << QByteArray() << true;
}

void StartAtLoginTest::entryEditedByHand()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, enabled);
    QTemporaryDir config;
    const XdgAutostart autostart(u"/usr/bin/tarnwick"_s, config.path());
    QVERIFY(QDir().mkpath(config.filePath(u"autostart"_s)));
    QFile file(autostart.entryPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QCOMPARE(autostart.isEnabled(), enabled);
}

void StartAtLoginTest::execValue_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/tarnwick"
                           << "/usr/bin/tarnwick";
    QTest::newRow("space") << "/home/me/my apps/Tarnwick"
                           << "\"/home/me/my apps/Tarnwick\"";
    // Escaped for the command line, then the backslash again for the entry's string.
    QTest::newRow("dollar") << "/opt/a$b/Tarnwick"
                            << "\"/opt/a\\\\$b/Tarnwick\"";
    QTest::newRow("quote") << "/opt/a\"b/Tarnwick"
                           << "\"/opt/a\\\\\"b/Tarnwick\"";
    QTest::newRow("backslash") << "/opt/a\\b/Tarnwick"
                               << "\"/opt/a\\\\\\\\b/Tarnwick\"";
    QTest::newRow("percent") << "/opt/100%/Tarnwick"
                             << "/opt/100%%/Tarnwick";
    QTest::newRow("line break") << "/opt/a\nb/Tarnwick"
                                << "";
}

void StartAtLoginTest::execValue()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QCOMPARE(XdgAutostart::execValue(program), exec);
}

void StartAtLoginTest::launcherIsTheInstalledOneOnlyWhenItLeadsToTheProgram()
{
    QTemporaryDir prefix;
    const QString program = prefix.filePath(u"lib/tarnwick/Tarnwick"_s);
    const QString launcher = prefix.filePath(u"bin/tarnwick"_s);
    QVERIFY(QDir().mkpath(prefix.filePath(u"lib/tarnwick"_s)));
    QVERIFY(QDir().mkpath(prefix.filePath(u"bin"_s)));
    QFile file(program);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // A build tree: no launcher.
    QCOMPARE(XdgAutostart::launcherFor(program), program);
    // A launcher of another program.
    QVERIFY(QFile::link(u"/bin/true"_s, launcher));
    QCOMPARE(XdgAutostart::launcherFor(program), program);
    QVERIFY(QFile::remove(launcher));
    // The installed layout.
    QVERIFY(QFile::link(u"../lib/tarnwick/Tarnwick"_s, launcher));
    QCOMPARE(XdgAutostart::launcherFor(program), launcher);
}

QTEST_MAIN(StartAtLoginTest)
#include "StartAtLoginTest.moc"
