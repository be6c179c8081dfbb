#include "StubNotifier.h"
#include "WatcherScript.h"
#include "watcher/RestartBackoff.h"
#include "watcher/WatcherStatus.h"
#include "watcher/WatcherSupervisor.h"

#include "records/ModelContainer.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <signal.h>

using namespace Qt::StringLiterals;

using namespace tw::test;

struct StoredDirectory
{
    QString url;
    bool files;
    bool directories;
};
using StoredDirectories = QList<StoredDirectory>;
using Millis = QList<qint64>;
using Indices = QList<int>;

// Supervision of a scripted stand-in watcher that records its standard input.
class SupervisorTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        WatcherStatus& status = WatcherStatus::shared();
        status.setRunning(false);
        status.setFailing(false);
        status.setInputPipe(nullptr);
    }

    void cleanup()
    {
        m_supervisor.reset();
        m_script.reset();
        WatcherStatus::shared().setModelContainer(nullptr);
        m_store.reset();
    }

    // Watched when either flag is on (new files, new directories), in store order, unescaped, without a
    // trailing slash. A line feed cannot be written in this format: that directory alone is left out.
    void configurationBytes()
    {
        supervise({}, {{"file:///a", true, false},
                       {"file:///b", false, false},
                       {"file:///x%0Ay", true, false},
                       {"file:///d", false, true},
                       {"file:///home/u/my%20code/", true, false},
                       {"file:///h%C3%A9", true, false}})
            .launchWatcher();
        QTRY_VERIFY(WatcherStatus::shared().isRunning());
        QTRY_COMPARE(m_script->recordedStdin(), QByteArray("/a\n/d\n/home/u/my code\n/h\xc3\xa9\n\n"));
    }

    // Missing, then executable but exec fails (the launch fails while the flag is already false).
    void noExecutableChangesNothing()
    {
        for (const bool executable : {false, true}) {
            QSignalSpy running(&WatcherStatus::shared(), &WatcherStatus::isRunningChanged);
            QSignalSpy pipe(&WatcherStatus::shared(), &WatcherStatus::inputPipeChanged);
            WatcherSupervisor supervisor;
            supervisor.setExecutable(executable ? writeBrokenProgram() : m_dir->filePath(u"twwatch"_s));
            for (int i = 0; i < 3; ++i) {
                // Every check tries again; a failed launch leaves no process behind.
                supervisor.launchUnlessRunning();
                QCOMPARE(!supervisor.findChildren<QProcess*>().isEmpty(), executable);
                QTRY_VERIFY(supervisor.findChildren<QProcess*>().isEmpty());
            }
            QVERIFY(!supervisor.process());
            QVERIFY(!WatcherStatus::shared().isRunning());
            QCOMPARE(running.size(), 0);
            QCOMPARE(pipe.size(), 0);
        }
    }

    void runningWatcherIsNotLaunchedAgainButReplacedWhenForcedOrKilled()
    {
        WatcherSupervisor& supervisor = supervise({}, {{"file:///w", true, false}});
        QSignalSpy launched(&supervisor, &WatcherSupervisor::launched);
        supervisor.launchUnlessRunning();
        supervisor.launchUnlessRunning(); // while the first is still starting
        QCOMPARE(supervisor.findChildren<QProcess*>().size(), 1);
        QTRY_COMPARE(launched.size(), 1);
        QPointer<QProcess> old = supervisor.process();
        supervisor.launchUnlessRunning();
        QCOMPARE(supervisor.findChildren<QProcess*>().size(), 1);
        QCOMPARE(supervisor.process(), old);
        // The configuration goes out after the launch, not after the checks.
        QTRY_COMPARE(m_script->recordedStdin(), QByteArray("/w\n\n"));
        QCOMPARE(launched.size(), 1);

        // A forced launch replaces the watcher, which then ends on its own: its end is reported after
        // the new watcher runs and must not touch the new one's state.
        QSignalSpy running(&WatcherStatus::shared(), &WatcherStatus::isRunningChanged);
        supervisor.launchWatcher();
        QTRY_COMPARE(launched.size(), 2);
        QVERIFY(supervisor.process() != old);
        QTRY_VERIFY(!old); // the old watcher's end has been handled
        QVERIFY(WatcherStatus::shared().isRunning());
        QCOMPARE(running.size(), 0);

        // Killed, it is replaced and configured again; one crash is not yet a failure to tell.
        QCOMPARE(::kill(pid_t(supervisor.process()->processId()), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(launched.size(), 3, 2000);
        QTRY_COMPARE(m_script->recordedStdin(), QByteArray("/w\n\n/w\n\n/w\n\n"));
        QVERIFY(WatcherStatus::shared().isRunning());
        QVERIFY(!WatcherStatus::shared().isFailing());
        QCOMPARE(WatcherStatus::shared().inputPipe(), supervisor.process());
    }

    // A bad or oversized line costs only itself (which: EventLineReaderTest, WatchEventTest), the last line
    // without a line feed still counts, and its end is a quit, not a failure.
    void quitIsNotRestartedAndGetsNoMoreInput()
    {
        WatcherSupervisor& supervisor =
            supervise({writeEvent(u"/a"_s, "\\n{}\\nnot json\\n"), writeEvent(u"/bad\\xff"_s, "\\n"),
                       u"write "_s + QString(1500000, u'x') + u"\\n"_s, writeEvent(u"/b"_s, "\\n"),
                       writeEvent(u"/c"_s), u"await 2"_s, u"exit 0"_s});
        const QStringList& paths = collectPaths(supervisor);
        supervisor.launchWatcher();
        QTRY_COMPARE(paths, (QStringList{u"/a"_s, u"/b"_s, u"/c"_s}));
        QTRY_VERIFY(!WatcherStatus::shared().isRunning());
        QVERIFY(!supervisor.restartPending());

        // Even with the flag claiming otherwise, an ended process gets no bytes.
        WatcherStatus::shared().setRunning(true);
        WatcherStatus::shared().sendDirectories({u"/late"_s});
        QCOMPARE(supervisor.process()->bytesToWrite(), qint64(0));
        QCOMPARE(m_script->recordedStdin(), QByteArray("\n\n"));
    }

    // It takes the first configuration, closes its input and keeps running.
    void watcherThatStopsReadingRaisesNoSignal()
    {
        WatcherSupervisor& supervisor = supervise({u"await 2"_s, u"close-stdin"_s, u"sleep 8000"_s});
        supervisor.launchWatcher();
        QTRY_COMPARE(m_script->recordedStdin(), QByteArray("\n\n"));

        // Writing into the closed pipe fails quietly: no SIGPIPE ends this process, the watcher runs on.
        QTRY_VERIFY_WITH_TIMEOUT((WatcherStatus::shared().sendDirectories({u"/again"_s}),
                                  supervisor.process()->error() == QProcess::WriteError),
                                 10000);
        QVERIFY(WatcherStatus::shared().isRunning());
        QCOMPARE(m_script->recordedStdin(), QByteArray("\n\n"));
    }

    // How long each failed watcher ran, in order: the delay before each restart, and the failures that
    // tell the user. A steady run starts over, and the next streak tells again.
    void backoff()
    {
        constexpr qint64 steady = RestartBackoff::stableRunMs;
        const QList<std::tuple<Millis, Millis, Indices>> rows{
            {Millis(9, 0), {500, 1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000}, {2}},
            {{0, 0, 0, steady, 0, 0}, {500, 1000, 2000, 500, 1000, 2000}, {2, 5}}};
        for (const auto& [runs, delays, told] : rows) {
            RestartBackoff backoff;
            Millis gotDelays;
            Indices gotTold;
            for (int i = 0; i < runs.size(); ++i) {
                const RestartBackoff::Decision decision = backoff.failed(runs[i]);
                gotDelays.append(decision.delayMs);
                if (decision.tellUser)
                    gotTold.append(i);
            }
            QCOMPARE(gotDelays, delays);
            QCOMPARE(gotTold, told);
        }
    }

    // Each watcher takes its configuration, writes a last line without a line feed and ends, as a crash
    // would: the line still counts.
    void repeatedFailuresTellTheUserOnceAndKeepTrying()
    {
        WatcherSupervisor& supervisor =
            supervise({u"await 4"_s, writeEvent(u"/w/x"_s), u"exit 3"_s}, {{"file:///w", true, false}});
        const QStringList& paths = collectPaths(supervisor);
        StubNotifier notifier;
        supervisor.setNotifier(&notifier);
        QSignalSpy running(&WatcherStatus::shared(), &WatcherStatus::isRunningChanged);
        QSignalSpy launched(&supervisor, &WatcherSupervisor::launched);
        supervisor.launchUnlessRunning();

        // Failures at once, after 0.5 s, 1 s and 2 s: the third tells, the fourth launch still comes.
        QTRY_COMPARE_WITH_TIMEOUT(launched.size(), RestartBackoff::failuresToTell + 1, 15000);
        QVERIFY(WatcherStatus::shared().isFailing());
        QTRY_VERIFY(supervisor.restartPending());
        QTRY_COMPARE(paths.size(), RestartBackoff::failuresToTell + 1);
        QCOMPARE(m_script->recordedStdin(),
                 QByteArray("/w\n\n").repeated(RestartBackoff::failuresToTell + 1));
        QCOMPARE(running.size(), 2 * (RestartBackoff::failuresToTell + 1));
        QVERIFY(!WatcherStatus::shared().isRunning());
        QCOMPARE(notifier.shown.size(), 1);
        QVERIFY(notifier.shown[0].path.isEmpty());

        // The panel opens while a restart waits and asks for a watcher, which cannot start (mid-upgrade,
        // say): the restart is not lost.
        supervisor.setExecutable(writeBrokenProgram());
        supervisor.launchUnlessRunning();
        QVERIFY(!supervisor.restartPending());
        QTRY_VERIFY(supervisor.restartPending());
        m_supervisor.reset(); // before the notifier it holds
    }

private:
    WatcherSupervisor& supervise(const QStringList& commands, const StoredDirectories& directories = {})
    {
        openStore(directories);
        m_script = std::make_unique<WatcherScript>(commands);
        m_supervisor = std::make_unique<WatcherSupervisor>();
        m_script->runBy(*m_supervisor);
        return *m_supervisor;
    }

    // A script command writing one JSON event line about `path`, without its line feed.
    static QString writeEvent(const QString& path, const QByteArray& after = {})
    {
        return u"write {\"path\":\""_s + path +
               u"\",\"types\":[\"created\"],\"rule\":\"r\",\"severity\":\"critical\"}"_s +
               QString::fromUtf8(after);
    }

    const QStringList& collectPaths(WatcherSupervisor& supervisor)
    {
        m_paths.clear();
        connect(&supervisor, &WatcherSupervisor::eventsRead, this, [this](const QList<WatchEvent>& events) {
            for (const WatchEvent& event : events)
                m_paths.append(event.path);
        });
        return m_paths;
    }

    void openStore(const StoredDirectories& directories)
    {
        QString error;
        m_store = ModelContainer::open(m_dir->filePath(u"store.sqlite"_s), &error);
        QVERIFY2(m_store, qPrintable(error));
        auto context = m_store->newContext();
        for (const StoredDirectory& stored : directories) {
            Directory directory = Directory::materialize(PersistentIdentifier::create(), QUrl(stored.url),
                                                         stored.files, stored.directories, false, false);
            context->insert(directory);
        }
        QVERIFY(context->save());
        WatcherStatus::shared().setModelContainer(m_store.get());
    }

    // An executable that exec cannot run.
    QString writeBrokenProgram()
    {
        const QString path = m_dir->filePath(u"twwatch"_s);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write("#!/nonexistent/interpreter\n") > 0)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_store;
    std::unique_ptr<WatcherScript> m_script;
    std::unique_ptr<WatcherSupervisor> m_supervisor;
    QStringList m_paths;
};

QTEST_GUILESS_MAIN(SupervisorTest)
#include "SupervisorTest.moc"
