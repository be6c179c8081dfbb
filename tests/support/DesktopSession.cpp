#include "DesktopSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace tw::test {

namespace {

constexpr int startTimeoutMs = 15000;

template <typename Condition>
bool pollUntil(Condition condition, int timeoutMs = startTimeoutMs)
{
    for (QDeadlineTimer deadline(timeoutMs); !condition(); QThread::msleep(20)) {
        if (deadline.hasExpired())
            return condition();
    }
    return true;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

DesktopSession::DesktopSession()
{
    // Xvfb writes the display number it picked to a descriptor we give it; a file stands in for it, so
    // parallel sessions never fight over a display.
    const QString display = m_dir.isValid()
                                ? startReporting(m_xvfb, u"Xvfb"_s,
                                                 {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s,
                                                  u"1280x800x24"_s, u"-nolisten"_s, u"tcp"_s, u"-noreset"_s})
                                : QString();
    m_display = u":"_s + display;
    // No service activation on this bus: nothing can start a second dunst behind our back.
    if (!display.isEmpty())
        m_busAddress = startReporting(
            m_bus, u"dbus-daemon"_s,
            {u"--config-file="_s + QStringLiteral(TW_SOURCE_DIR "/tests/desktop/session-bus.conf"),
             u"--nofork"_s, u"--print-address=1"_s});
    if (!m_busAddress.isEmpty() && startAccessibilityBus() &&
        startDaemon(m_dunst, u"dunst"_s,
                    {u"-config"_s, QStringLiteral(TW_SOURCE_DIR "/tests/desktop/dunstrc"), u"-print"_s},
                    environment())) {
        // The name must belong to the dunst we started, not to any other daemon.
        const QByteArray pid = QByteArray::number(m_dunst->processId());
        const bool answered = pollUntil([&] {
            return m_dunst->state() == QProcess::NotRunning ||
                   askBus(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                          u"org.freedesktop.DBus.GetConnectionUnixProcessID"_s,
                          {u"string:org.freedesktop.Notifications"_s})
                       .endsWith(" " + pid);
        });
        if (!answered || m_dunst->state() == QProcess::NotRunning)
            m_error = u"dunst did not take org.freedesktop.Notifications on the private bus"_s;
    }
    if (!m_dir.isValid())
        m_error = u"cannot make a temporary folder"_s;
    if (!m_error.isEmpty())
        m_error += u"\n"_s + logs();
}

DesktopSession::~DesktopSession()
{
    for (auto* process : {&m_dunst, &m_a11yLauncher, &m_bus, &m_xvfb}) {
        if (*process)
            stop(**process);
    }
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

bool DesktopSession::startDaemon(std::unique_ptr<QProcess>& process, const QString& program,
                                 const QStringList& arguments, const QProcessEnvironment& env)
{
    const QString name = QFileInfo(program).fileName();
    process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setStandardOutputFile(m_dir.filePath(name + u".out"_s));
    process->setStandardErrorFile(m_dir.filePath(name + u".log"_s));
    // The harness must not outlive a test that crashes: each daemon gets TERM when the test process dies.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start(program, arguments);
    if (!process->waitForStarted(startTimeoutMs))
        m_error = program + u" did not start: "_s + process->errorString();
    return m_error.isEmpty();
}

QString DesktopSession::startReporting(std::unique_ptr<QProcess>& process, const QString& program,
                                       const QStringList& arguments)
{
    const QString out = m_dir.filePath(program + u".out"_s);
    if (!startDaemon(process, program, arguments))
        return {};
    const auto ended = [&] { return process->state() == QProcess::NotRunning; };
    if (!pollUntil([&] { return readFile(out).endsWith('\n') || ended(); }) || ended()) {
        m_error = program + u" reported nothing"_s;
        return {};
    }
    return QString::fromLatin1(readFile(out).trimmed());
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
                     {u"--launch-immediately"_s, u"--a11y=1"_s, u"--screen-reader=1"_s}, env))
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

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_display);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
    environment.insert(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s, u"1"_s);
    return environment;
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
        QHash<QString, QString> fields;
        for (auto it = field.globalMatch(block); it.hasNext();) {
            const auto match = it.next();
            fields[match.captured(1)] =
                match.hasCaptured(2) ? match.captured(2) : match.captured(3).trimmed();
        }
        Notification n{
            fields[u"id"_s].toUInt(), fields[u"summary"_s], fields[u"body"_s], fields[u"urgency"_s], {}};
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
    for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
        text += u"--- %1\n"_s.arg(name) + QString::fromUtf8(readFile(m_dir.filePath(name)).right(4000));
    return text;
}

} // namespace tw::test
