// The real Tarnwick executable, headless: a store that cannot be opened ends it with the fatal message,
// a second start hands over to the first and never starts a second watcher, the watcher goes when the
// application goes, and another user's socket is never taken for the running instance.

#include "AppProcesses.h"
#include "DesktopSession.h"
#include "desktop/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

static const QString Tarnwick = QStringLiteral(TW_BIN_DIR "/Tarnwick");

class InstanceTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_environment = appHomeEnvironment(m_dir->path(), QProcessEnvironment::systemEnvironment());
        m_environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        // No session bus: the application falls back to the tray's balloons and starts all the same.
        m_environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent/bus"_s);
        m_environment.remove(u"DISPLAY"_s);
        m_dataHome = m_dir->filePath(u"data"_s);
        m_storePath = m_dataHome + u"/Tarnwick/Tarnwick/store.sqlite"_s;
    }

    void cleanup()
    {
        // Everything this test started goes, by pid, TERM first.
        for (const auto& process : m_started)
            tw::test::DesktopSession::stop(*process, 5000);
        m_started.clear();
        for (qint64 pid : watchersFor(m_dataHome))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        m_dir.reset();
    }

    void unopenableStoreIsFatal()
    {
        // The data folder is a file: the store's folder cannot be made.
        QVERIFY(QDir(m_dataHome).removeRecursively());
        QFile blocker(m_dataHome);
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("not a folder") == 12);
        blocker.close();
        QProcess& app = *start();
        QVERIFY(app.waitForFinished(30000));
        QVERIFY(app.exitStatus() == QProcess::NormalExit && app.exitCode() != 0);
        const QByteArray err = app.readAllStandardError();
        QVERIFY2(err.contains("Could not create ModelContainer: "), err.constData());
        QVERIFY(watchersFor(m_dataHome).isEmpty());
        QVERIFY(blocker.open(QIODevice::ReadOnly));
        QCOMPARE(blocker.readAll(), QByteArray("not a folder"));
    }

    // The watcher sees its input end with its parent, killed even, and stops on its own; a start after
    // that becomes the instance itself. (A second start beside a running one: the hand-over test below.)
    void watcherGoesWithACrashedInstanceWhichCanStartAgain()
    {
        for (int run = 0; run < 2; ++run) {
            QProcess& app = *start();
            QTRY_COMPARE_WITH_TIMEOUT(watchersFor(m_dataHome).size(), 1, 20000);
            app.kill();
            QVERIFY(app.waitForFinished(10000));
            QTRY_VERIFY_WITH_TIMEOUT(watchersFor(m_dataHome).isEmpty(), 20000);
        }
    }

    void handOverReachesTheRunningInstanceWhichDropsStrangers()
    {
        // This test process plays the running instance for the store the child would use.
        qputenv("XDG_RUNTIME_DIR", m_dir->filePath(u"run"_s).toLocal8Bit());
        SingleInstance running(m_storePath);
        QCOMPARE(running.claim(), SingleInstance::Role::Primary);
        QSignalSpy requests(&running, &SingleInstance::requestReceived);

        QProcess& second = *start();
        // The hand-over needs our event loop to answer, so wait on it rather than block.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().first().toString(), u"activate"_s);
        // It handed over before touching the store and started no watcher.
        QVERIFY(!QFile::exists(m_storePath));
        QVERIFY(watchersFor(m_dataHome).isEmpty());

        // A stranger sending endless bytes without a line feed is cut off, and the instance keeps serving.
        QLocalSocket stranger;
        stranger.connectToServer(running.socketPath());
        QVERIFY(stranger.waitForConnected(5000));
        stranger.write(QByteArray(64 * 1024, 'x'));
        QTRY_COMPARE_WITH_TIMEOUT(stranger.state(), QLocalSocket::UnconnectedState, 10000);
        QLocalSocket friendly;
        friendly.connectToServer(running.socketPath());
        QVERIFY(friendly.waitForConnected(5000));
        friendly.write("directories\n");
        QTRY_COMPARE(requests.size(), 2);
        QCOMPARE(requests.last().first().toString(), u"directories"_s);
        QTRY_VERIFY(friendly.canReadLine());
        QCOMPARE(friendly.readLine(), QByteArray("ok\n"));
    }

    void anotherUsersSquatterIsNeverHandedTo_data()
    {
        QTest::addColumn<bool>("inPrivateFolder");
        // Without XDG_RUNTIME_DIR: the names a shared temporary folder would give, taken first.
        QTest::newRow("shared temporary folder") << false;
        // Root can put another user's socket even in the private folder: the peer's uid still tells.
        QTest::newRow("inside the private folder") << true;
    }

    // Another user pre-creates the lock and a listening socket. Tarnwick must not take that for itself
    // running: it either becomes the instance or refuses, never hands over and exits 0 without a watcher.
    void anotherUsersSquatterIsNeverHandedTo()
    {
        QFETCH(bool, inPrivateFolder);
        if (::geteuid() != 0)
            QSKIP("running the squatter as another user needs root");
        constexpr uid_t nobody = 65534;
        const QString tmp = m_dir->filePath(u"tmp"_s);
        const QString home = m_dir->filePath(u"home"_s);
        QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(home));
        // The squatter reaches tmp/.
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0711) == 0);
        QVERIFY(::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);
        // The runtime folder Qt would make in the temporary folder is the squatter's, so Qt gives none.
        QVERIFY(QDir().mkpath(tmp + u"/runtime-root"_s));
        QVERIFY(::chown(QFile::encodeName(tmp + u"/runtime-root"_s).constData(), nobody, nobody) == 0);

        QString socketPath =
            tmp + u"/tarnwick-0-"_s +
            QString::fromLatin1(
                QCryptographicHash::hash(m_storePath.toUtf8(), QCryptographicHash::Sha256).toHex().left(16)) +
            u".sock"_s;
        if (inPrivateFolder) {
            qunsetenv("XDG_RUNTIME_DIR");
            qputenv("HOME", QFile::encodeName(home));
            qputenv("XDG_CACHE_HOME", QFile::encodeName(home + u"/.cache"_s));
            socketPath = SingleInstance(m_storePath).socketPath();
            QVERIFY(QDir().mkpath(QFileInfo(socketPath).path()));
            QVERIFY(::chmod(QFile::encodeName(QFileInfo(socketPath).path()).constData(), 0700) == 0);
        }

        // Any listener of another user will do (a bus daemon here): the instance must refuse it before it
        // would send or read a word. Kept with the started processes, so that it is ended with them.
        QProcess& squatter = *m_started.emplace_back(std::make_unique<QProcess>());
        const QString bound = tmp + u"/squat.sock"_s;
        squatter.start(u"setpriv"_s, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                      u"dbus-daemon"_s, u"--nofork"_s, u"--print-address"_s,
                                      u"--config-file=" TW_SOURCE_DIR "/tests/desktop/session-bus.conf"_s,
                                      u"--address=unix:path="_s + bound});
        // It prints its address once it listens.
        QVERIFY(squatter.waitForReadyRead(10000));
        QVERIFY(QFile::rename(bound, socketPath));
        QFile lock(QString(socketPath).replace(u".sock"_s, u".lock"_s));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(squatter.processId()) + "\ndbus-daemon\n" +
                   QSysInfo::machineHostName().toUtf8() + '\n');
        lock.close();

        QProcessEnvironment env = m_environment;
        env.remove(u"XDG_RUNTIME_DIR"_s);
        env.remove(u"XDG_CACHE_HOME"_s);
        env.insert(u"HOME"_s, home);
        env.insert(u"TMPDIR"_s, tmp);
        QProcess& victim = *start(env);
        QVERIFY(QTest::qWaitFor(
            [&] { return victim.state() == QProcess::NotRunning || !watchersFor(m_dataHome).isEmpty(); },
            20000));
        if (inPrivateFolder) {
            // Refused with a message, not a silent success.
            QTRY_COMPARE_WITH_TIMEOUT(victim.state(), QProcess::NotRunning, 20000);
            QCOMPARE(victim.exitCode(), 1);
            QVERIFY(victim.readAllStandardError().contains("not handing over"));
        } else {
            QCOMPARE(victim.state(), QProcess::Running);
            QCOMPARE(watchersFor(m_dataHome).size(), 1);
        }
    }

private:
    // Starts Tarnwick (in m_environment when `env` is empty); the process is kept (and ended) by the test.
    QProcess* start(const QProcessEnvironment& env = {})
    {
        auto* process = m_started.emplace_back(std::make_unique<QProcess>()).get();
        process->setProcessEnvironment(env.isEmpty() ? m_environment : env);
        process->start(Tarnwick, {});
        if (!process->waitForStarted(10000))
            qWarning("cannot start Tarnwick: %s", qPrintable(process->errorString()));
        return process;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_environment; // the application's, in its home in m_dir
    QString m_dataHome;
    QString m_storePath;
    std::vector<std::unique_ptr<QProcess>> m_started;
};

QTEST_GUILESS_MAIN(InstanceTest)
#include "InstanceTest.moc"
