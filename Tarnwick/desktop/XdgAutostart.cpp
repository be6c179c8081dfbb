#include "desktop/XdgAutostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

#include <algorithm>

namespace {

const QString EntryName = QStringLiteral("tarnwick.desktop");
const QString ChosenKey = QStringLiteral("startAtLogin/chosen");

// Characters that make the desktop entry's command line split or expand an argument.
const QString ReservedInExec = QStringLiteral(" \t\"'\\><~|&;$*?#()`");

bool isTrue(QStringView value)
{
    return value.trimmed() == QLatin1String("true");
}

} // namespace

XdgAutostart::XdgAutostart(const QString& launcher, QString configHome)
    : m_launcher(launcher.isEmpty() ? launcherFor() : launcher)
    , m_configHome(std::move(configHome))
{
}

QString XdgAutostart::configHome() const
{
    if (!m_configHome.isEmpty()) {
        return m_configHome;
    }
    // XDG base directories: a relative value is invalid and must be ignored.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (xdg.startsWith(QLatin1Char('/'))) {
        return xdg;
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

QString XdgAutostart::entryPath() const
{
    return configHome() + QStringLiteral("/autostart/") + EntryName;
}

QString XdgAutostart::settingsPath() const
{
    return configHome() + QStringLiteral("/tarnwick/settings.ini");
}

bool XdgAutostart::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    // Sessions skip an entry that is hidden (the freedesktop way of turning one off) and GNOME one
    // whose own switch is off.
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals < 0) {
            continue;
        }
        const QStringView key = QStringView(line).left(equals).trimmed();
        const QStringView value = QStringView(line).mid(equals + 1);
        if (key == QLatin1String("Hidden") && isTrue(value)) {
            return false;
        }
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && !isTrue(value)) {
            return false;
        }
    }
    return true;
}

bool XdgAutostart::setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (enabled) {
        const QString exec = execValue(m_launcher);
        if (exec.isEmpty() || !QDir().mkpath(QFileInfo(path).path())) {
            return false;
        }
        const QString text = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Tarnwick\n"
                                            "Comment=Watches your directories for malicious file changes\n"
                                            "Exec=%1\n"
                                            "Icon=tarnwick\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(exec);
        // Never a half-written entry for the session to trip over.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
            return false;
        }
    } else if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        if (!QFile::remove(path)) {
            return false;
        }
    }
    return rememberChoice();
}

bool XdgAutostart::enableByDefault()
{
    return !wasChosen() && setEnabled(true);
}

bool XdgAutostart::wasChosen() const
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    return settings.value(ChosenKey, false).toBool();
}

bool XdgAutostart::rememberChoice()
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(ChosenKey, true);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString XdgAutostart::launcherFor(const QString& executable)
{
    const QString program = executable.isEmpty() ? QCoreApplication::applicationFilePath()
                                                 : QFileInfo(executable).absoluteFilePath();
    const QString launcher = QDir::cleanPath(QFileInfo(program).path() + QLatin1Char('/') +
                                             QStringLiteral(TW_LAUNCHER_FROM_PROGRAM));
    const QString target = QFileInfo(launcher).canonicalFilePath();
    if (!target.isEmpty() && target == QFileInfo(program).canonicalFilePath()) {
        return launcher;
    }
    return program;
}

QString XdgAutostart::execValue(const QString& program)
{
    if (program.isEmpty() || program.contains(QLatin1Char('\n')) || program.contains(QLatin1Char('\r'))) {
        return {};
    }
    QString argument = program;
    const bool quote =
        std::any_of(program.cbegin(), program.cend(), [](QChar c) { return ReservedInExec.contains(c); });
    if (quote) {
        argument.clear();
        for (const QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\')) {
                argument += QLatin1Char('\\');
            }
            argument += c;
        }
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    }
    // A literal percent sign would start a field code.
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // The value is a desktop entry string, where a backslash is itself escaped.
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return argument;
}
