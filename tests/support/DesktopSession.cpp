#include "DesktopSession.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace tw::test {

namespace {

constexpr int startTimeoutMs = 15000;

// Polls `condition` (with a short sleep) until it holds or the deadline passes.
template <typename Condition>
bool pollUntil(Condition condition, int timeoutMs = startTimeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QThread::msleep(20);
    }
    return true;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The harness must not outlive a test that crashes: each daemon gets TERM when the test process dies.
void dieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

QString sourcePath(const char* relative)
{
    return QStringLiteral(TW_SOURCE_DIR "/") + QLatin1String(relative);
}

} // namespace

DesktopSession::DesktopSession()
{
    if (!m_dir.isValid())
        m_error = u"cannot make a temporary folder"_s;
    else if (startXvfb() && startBus() && startAccessibilityBus() && startDunst())
        waitForDunstOnBus();
    if (!m_error.isEmpty())
        m_error += u"\n"_s + logs();
}

DesktopSession::~DesktopSession()
{
    stop(m_dunst);
    stop(m_a11yLauncher);
    stop(m_bus);
    stop(m_xvfb);
}

void DesktopSession::stop(std::unique_ptr<QProcess>& process)
{
    if (process)
        stop(*process);
    process.reset();
}

void DesktopSession::stop(QProcess& process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished(graceMs);
    }
}

bool DesktopSession::startXvfb()
{
    // Xvfb writes the display number it picked to a descriptor we give it; a file stands in for it, so
    // parallel sessions never fight over a display.
    const QString number = startReporting(m_xvfb, u"Xvfb"_s,
                                          {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x800x24"_s,
                                           u"-nolisten"_s, u"tcp"_s, u"-noreset"_s},
                                          u"display"_s, u"xvfb.log"_s);
    m_display = u":"_s + number;
    return !number.isEmpty();
}

bool DesktopSession::startBus()
{
    // No service activation in this configuration: nothing can start a second dunst behind our back.
    m_busAddress = startReporting(m_bus, u"dbus-daemon"_s,
                                  {u"--config-file="_s + sourcePath("tests/desktop/session-bus.conf"),
                                   u"--nofork"_s, u"--print-address=1"_s},
                                  u"bus"_s, u"dbus.log"_s);
    return !m_busAddress.isEmpty();
}

bool DesktopSession::startDaemon(std::unique_ptr<QProcess>& process, const QString& program,
                                 const QStringList& arguments, const QString& out, const QString& log,
                                 const QProcessEnvironment& env)
{
    process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setStandardOutputFile(m_dir.filePath(out));
    process->setStandardErrorFile(m_dir.filePath(log), QIODevice::Append);
    dieWithParent(*process);
    process->start(program, arguments);
    if (!process->waitForStarted(startTimeoutMs))
        m_error = program + u" did not start: "_s + process->errorString();
    return m_error.isEmpty();
}

QString DesktopSession::startReporting(std::unique_ptr<QProcess>& process, const QString& program,
                                       const QStringList& arguments, const QString& out, const QString& log)
{
    if (!startDaemon(process, program, arguments, out, log, QProcessEnvironment::systemEnvironment()))
        return {};
    const auto ended = [&] { return process->state() == QProcess::NotRunning; };
    if (!pollUntil([&] { return readFile(m_dir.filePath(out)).endsWith('\n') || ended(); }) || ended()) {
        m_error = program + u" reported nothing"_s;
        return {};
    }
    return QString::fromLatin1(readFile(m_dir.filePath(out)).trimmed());
}

QByteArray DesktopSession::askBus(const QString& destination, const QString& path, const QString& method,
                                  const QStringList& arguments) const
{
    QByteArray reply;
    const QStringList call{u"--session"_s, u"--print-reply=literal"_s, u"--dest="_s + destination, path,
                           method};
    return run(u"dbus-send"_s, call + arguments, &reply, 5000) == 0 ? reply.trimmed() : QByteArray();
}

bool DesktopSession::startAccessibilityBus()
{
    // The real launcher: it starts the accessibility bus, whose registry (at-spi2-registryd) it activates,
    // and says on the session bus where that is and that a screen reader runs, so Qt exports its widgets.
    // The registry leaves with the session bus. (Qt 6.4 never turns on with AT_SPI_BUS_ADDRESS alone.)
    QProcessEnvironment env = environment();
    env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
    if (!startDaemon(m_a11yLauncher, u"/usr/libexec/at-spi-bus-launcher"_s,
                     {u"--launch-immediately"_s, u"--a11y=1"_s, u"--screen-reader=1"_s}, u"a11y.log"_s,
                     u"a11y.log"_s, env))
        return false;
    pollUntil([&] {
        m_a11yBusAddress =
            QString::fromLatin1(askBus(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s, u"org.a11y.Bus.GetAddress"_s));
        return !m_a11yBusAddress.isEmpty() || m_a11yLauncher->state() == QProcess::NotRunning;
    });
    if (m_a11yBusAddress.isEmpty())
        m_error = u"at-spi-bus-launcher did not give the accessibility bus"_s;
    return !m_a11yBusAddress.isEmpty();
}

bool DesktopSession::startDunst()
{
    return startDaemon(m_dunst, u"dunst"_s, {u"-config"_s, sourcePath("tests/desktop/dunstrc"), u"-print"_s},
                       u"dunst.out"_s, u"dunst.log"_s, environment());
}

bool DesktopSession::waitForDunstOnBus()
{
    // The name must belong to the dunst we started, not to any other daemon.
    const QByteArray expected = QByteArray::number(m_dunst->processId());
    const bool owned = pollUntil([&] {
        return m_dunst->state() == QProcess::NotRunning ||
               askBus(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                      u"org.freedesktop.DBus.GetConnectionUnixProcessID"_s,
                      {u"string:org.freedesktop.Notifications"_s})
                   .endsWith(" " + expected);
    });
    if (!owned || m_dunst->state() == QProcess::NotRunning) {
        m_error = u"dunst did not take org.freedesktop.Notifications on the private bus"_s;
        return false;
    }
    return true;
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_display);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
    environment.insert(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s, u"1"_s);
    return environment;
}

void DesktopSession::exportToEnvironment() const
{
    qputenv("DISPLAY", m_display.toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toLocal8Bit());
}

QList<DesktopSession::Notification> DesktopSession::notifications()
{
    // dunst -print writes one brace-delimited block per notification: "\tkey: 'value'" lines, with
    // values that may span lines, and an "actions: { "key": "label" }" block.
    const QString text = QString::fromUtf8(readFile(m_dir.filePath(u"dunst.out"_s)));
    static const QRegularExpression field(u"^\\t(\\w+): (?:'(.*?)'|([^'\\n]*))$"_s,
                                          QRegularExpression::MultilineOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression action(u"^\\t\\t\"([^\"]*)\": "_s, QRegularExpression::MultilineOption);

    QList<Notification> list;
    for (const QString& block : text.split(u"\n}\n"_s, Qt::SkipEmptyParts)) {
        if (!block.contains(u"appname:"_s))
            continue;
        Notification n;
        for (auto it = field.globalMatch(block); it.hasNext();) {
            const auto match = it.next();
            const QString key = match.captured(1);
            const QString value = match.hasCaptured(2) ? match.captured(2) : match.captured(3).trimmed();
            if (key == "appname"_L1)
                n.appName = value;
            else if (key == "summary"_L1)
                n.summary = value;
            else if (key == "body"_L1)
                n.body = value;
            else if (key == "urgency"_L1)
                n.urgency = value;
            else if (key == "id"_L1)
                n.id = value.toUInt();
        }
        const qsizetype actions = block.indexOf(u"\tactions: {"_s);
        if (actions >= 0) {
            for (auto it = action.globalMatch(block, actions); it.hasNext();)
                n.actions.append(it.next().captured(1));
        }
        list.append(n);
    }
    return list;
}

int DesktopSession::run(const QString& program, const QStringList& arguments, QByteArray* output,
                        int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        stop(process);
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString DesktopSession::logs() const
{
    QString text;
    for (const char* name : {"xvfb.log", "dbus.log", "a11y.log", "dunst.log", "dunst.out"}) {
        text += u"--- %1\n"_s.arg(QLatin1String(name));
        text += QString::fromUtf8(readFile(m_dir.filePath(QLatin1String(name))).right(4000));
    }
    return text;
}

} // namespace tw::test
