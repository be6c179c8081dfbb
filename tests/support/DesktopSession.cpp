#include "DesktopSession.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

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
        m_error = QStringLiteral("cannot make a temporary folder");
    else if (startXvfb() && startBus() && startAccessibilityBus() && startDunst())
        waitForDunstOnBus();
    if (!m_error.isEmpty())
        m_error += QStringLiteral("\n") + logs();
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
    const QString number =
        startReporting(m_xvfb, QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-noreset")},
                       QStringLiteral("display"), QStringLiteral("xvfb.log"));
    m_display = QStringLiteral(":") + number;
    return !number.isEmpty();
}

bool DesktopSession::startBus()
{
    // No service activation in this configuration: nothing can start a second dunst behind our back.
    m_busAddress =
        startReporting(m_bus, QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + sourcePath("tests/desktop/session-bus.conf"),
                        QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
                       QStringLiteral("bus"), QStringLiteral("dbus.log"));
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
        m_error = program + QStringLiteral(" did not start: ") + process->errorString();
    return m_error.isEmpty();
}

QString DesktopSession::startReporting(std::unique_ptr<QProcess>& process, const QString& program,
                                       const QStringList& arguments, const QString& out, const QString& log)
{
    if (!startDaemon(process, program, arguments, out, log, QProcessEnvironment::systemEnvironment()))
        return {};
    const auto ended = [&] { return process->state() == QProcess::NotRunning; };
    if (!pollUntil([&] { return readFile(m_dir.filePath(out)).endsWith('\n') || ended(); }) || ended()) {
        m_error = program + QStringLiteral(" reported nothing");
        return {};
    }
    return QString::fromLatin1(readFile(m_dir.filePath(out)).trimmed());
}

QByteArray DesktopSession::askBus(const QString& destination, const QString& path, const QString& method,
                                  const QStringList& arguments) const
{
    QProcess query;
    query.setProcessEnvironment(environment());
    query.start(QStringLiteral("dbus-send"),
                QStringList{QStringLiteral("--session"), QStringLiteral("--print-reply=literal"),
                            QStringLiteral("--dest=") + destination, path, method} +
                    arguments);
    if (!query.waitForFinished(5000) || query.exitCode() != 0)
        return {};
    return query.readAllStandardOutput().trimmed();
}

bool DesktopSession::startAccessibilityBus()
{
    // The real launcher: it starts the accessibility bus, whose registry (at-spi2-registryd) it activates,
    // and says on the session bus where that is and that a screen reader runs, so Qt exports its widgets.
    // The registry leaves with the session bus. (Qt 6.4 never turns on with AT_SPI_BUS_ADDRESS alone.)
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    if (!startDaemon(m_a11yLauncher, QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                     {QStringLiteral("--launch-immediately"), QStringLiteral("--a11y=1"),
                      QStringLiteral("--screen-reader=1")},
                     QStringLiteral("a11y.log"), QStringLiteral("a11y.log"), env))
        return false;
    pollUntil([&] {
        m_a11yBusAddress =
            QString::fromLatin1(askBus(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus.GetAddress")));
        return !m_a11yBusAddress.isEmpty() || m_a11yLauncher->state() == QProcess::NotRunning;
    });
    if (m_a11yBusAddress.isEmpty())
        m_error = QStringLiteral("at-spi-bus-launcher did not give the accessibility bus");
    return !m_a11yBusAddress.isEmpty();
}

bool DesktopSession::startDunst()
{
    return startDaemon(
        m_dunst, QStringLiteral("dunst"),
        {QStringLiteral("-config"), sourcePath("tests/desktop/dunstrc"), QStringLiteral("-print")},
        QStringLiteral("dunst.out"), QStringLiteral("dunst.log"), environment());
}

bool DesktopSession::waitForDunstOnBus()
{
    // The name must belong to the dunst we started, not to any other daemon.
    const QByteArray expected = QByteArray::number(m_dunst->processId());
    const bool owned = pollUntil([&] {
        return m_dunst->state() == QProcess::NotRunning ||
               askBus(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                      QStringLiteral("org.freedesktop.DBus.GetConnectionUnixProcessID"),
                      {QStringLiteral("string:org.freedesktop.Notifications")})
                   .endsWith(" " + expected);
    });
    if (!owned || m_dunst->state() == QProcess::NotRunning) {
        m_error = QStringLiteral("dunst did not take org.freedesktop.Notifications on the private bus");
        return false;
    }
    return true;
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
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
    const QString text = QString::fromUtf8(readFile(m_dir.filePath(QStringLiteral("dunst.out"))));
    static const QRegularExpression field(QStringLiteral("^\\t(\\w+): '(.*?)'$"),
                                          QRegularExpression::MultilineOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression plain(QStringLiteral("^\\t(\\w+): ([^'\\n]*)$"),
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression action(QStringLiteral("^\\t\\t\"([^\"]*)\": "),
                                           QRegularExpression::MultilineOption);

    QList<Notification> list;
    for (const QString& block : text.split(QStringLiteral("\n}\n"), Qt::SkipEmptyParts)) {
        if (!block.contains(QStringLiteral("appname:")))
            continue;
        Notification n;
        for (auto it = field.globalMatch(block); it.hasNext();) {
            const auto match = it.next();
            const QString key = match.captured(1);
            if (key == QLatin1String("appname"))
                n.appName = match.captured(2);
            else if (key == QLatin1String("summary"))
                n.summary = match.captured(2);
            else if (key == QLatin1String("body"))
                n.body = match.captured(2);
        }
        for (auto it = plain.globalMatch(block); it.hasNext();) {
            const auto match = it.next();
            if (match.captured(1) == QLatin1String("urgency"))
                n.urgency = match.captured(2).trimmed();
            else if (match.captured(1) == QLatin1String("id"))
                n.id = match.captured(2).trimmed().toUInt();
        }
        const qsizetype actions = block.indexOf(QStringLiteral("\tactions: {"));
        if (actions >= 0) {
            for (auto it = action.globalMatch(block, actions); it.hasNext();)
                n.actions.append(it.next().captured(1));
        }
        list.append(n);
    }
    return list;
}

int DesktopSession::dunstctl(const QStringList& arguments, QByteArray* output) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral("dunstctl"), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
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
        text += QStringLiteral("--- %1\n").arg(QLatin1String(name));
        text += QString::fromUtf8(readFile(m_dir.filePath(QLatin1String(name))).right(4000));
    }
    return text;
}

} // namespace tw::test
