#include "viewer/TextEditorLauncher.h"

#include "viewer/BoundedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <map>
#include <vector>

namespace {

using Group = std::map<QString, QString>;

// The groups of a desktop entry or mimeapps.list, keys as written (localised keys are not needed).
std::map<QString, Group> readKeyFile(const QString& path)
{
    std::map<QString, Group> groups;
    // Through the viewer's one reader: a FIFO left under an entry's name must not stall the GUI.
    const std::optional<BoundedFile> file = BoundedFile::open(path, BoundedFile::Links::Follow);
    QByteArray bytes;
    if (!file || file->readAll(1 << 20, ReadBounds{}, bytes) == ReadEnd::Failed)
        return groups;
    Group* current = nullptr;
    const QList<QByteArray> lines = bytes.split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = &groups[line.mid(1, line.size() - 2)];
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (current && eq > 0)
            current->try_emplace(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}

QString unescapeValue(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            // Not a string escape: kept for the quoting rules of Exec, which come next.
            out += QLatin1Char('\\');
            out += next;
        }
    }
    return out;
}

QStringList pathList(const char* variable, const QString& fallback)
{
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty())
        value = fallback;
    QStringList dirs;
    for (const QString& dir : value.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            dirs << QDir::cleanPath(dir);
    }
    return dirs;
}

QString homeDir(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QDir::homePath() + fallback;
}

QStringList dataDirs()
{
    return QStringList{homeDir("XDG_DATA_HOME", QStringLiteral("/.local/share"))} +
           pathList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

// mimeapps.list files in the order they take precedence: desktop-specific before generic, config
// folders before the data folders' applications/.
QStringList mimeappsLists()
{
    QStringList desktops;
    for (const QString& d :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops << d.toLower();
    QStringList folders = QStringList{homeDir("XDG_CONFIG_HOME", QStringLiteral("/.config"))} +
                          pathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    for (const QString& dir : dataDirs())
        folders << dir + QStringLiteral("/applications");
    QStringList files;
    for (const QString& folder : folders) {
        for (const QString& desktop : desktops)
            files << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    }
    return files;
}

QString findDesktopEntry(const QString& id)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')) || !id.endsWith(QStringLiteral(".desktop")))
        return {};
    for (const QString& dir : dataDirs()) {
        const QString path = dir + QStringLiteral("/applications/") + id;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QString resolveProgram(const QString& program)
{
    if (program.contains(QLatin1Char('/')))
        return QFileInfo(program).isExecutable() && QDir::isAbsolutePath(program) ? program : QString();
    return QStandardPaths::findExecutable(program);
}

std::optional<TextEditorCommand> commandOfEntry(const QString& entryPath, const QString& file,
                                                const QString& url)
{
    const auto groups = readKeyFile(entryPath);
    const auto entry = groups.find(QStringLiteral("Desktop Entry"));
    if (entry == groups.end())
        return std::nullopt;
    const Group& keys = entry->second;
    auto value = [&](const char* key) {
        const auto it = keys.find(QString::fromLatin1(key));
        return it == keys.end() ? QString() : unescapeValue(it->second);
    };
    if (value("Type") != QStringLiteral("Application") || value("Hidden") == QStringLiteral("true"))
        return std::nullopt;
    if (const QString tryExec = value("TryExec"); !tryExec.isEmpty() && resolveProgram(tryExec).isEmpty())
        return std::nullopt;
    QStringList args = expandDesktopExec(value("Exec"), file, url, value("Name"), value("Icon"), entryPath);
    if (args.isEmpty())
        return std::nullopt;
    if (value("Terminal") == QStringLiteral("true")) {
        // An editor that runs in a terminal (vim, nano) gets the desktop's terminal.
        args = QStringList{QStringLiteral("x-terminal-emulator"), QStringLiteral("-e")} + args;
    }
    const QString program = resolveProgram(args.takeFirst());
    if (program.isEmpty())
        return std::nullopt;
    return TextEditorCommand{entryPath, program, args};
}

QStringList splitIds(const QString& list)
{
    return list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace

QStringList expandDesktopExec(const QString& exec, const QString& file, const QString& url,
                              const QString& name, const QString& icon, const QString& entryPath)
{
    // Split first, honouring double quotes (inside them a backslash escapes " ` $ \); field codes are
    // filled in only outside quotes.
    struct Word
    {
        QString text;
        bool quoted = false;
    };
    std::vector<Word> words;
    bool inWord = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                       QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
                words.back().text += exec.at(++i);
            } else {
                words.back().text += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            inWord = false;
            continue;
        }
        if (!inWord) {
            words.push_back({});
            inWord = true;
        }
        if (c == QLatin1Char('"')) {
            inQuotes = true;
            words.back().quoted = true;
        } else {
            words.back().text += c;
        }
    }
    if (inQuotes || words.empty())
        return {};

    QStringList args;
    bool fileGiven = false;
    for (const Word& word : words) {
        if (word.quoted) {
            args << word.text;
            continue;
        }
        if (word.text == QStringLiteral("%i")) {
            if (!icon.isEmpty())
                args << QStringLiteral("--icon") << icon;
            continue;
        }
        QString out;
        bool dropped = false;
        for (qsizetype i = 0; i < word.text.size(); ++i) {
            const QChar c = word.text.at(i);
            if (c != QLatin1Char('%') || i + 1 == word.text.size()) {
                out += c;
                continue;
            }
            switch (word.text.at(++i).unicode()) {
            case 'f':
            case 'F':
                out += file;
                fileGiven = true;
                break;
            case 'u':
            case 'U':
                out += url;
                fileGiven = true;
                break;
            case 'c':
                out += name;
                break;
            case 'k':
                out += entryPath;
                break;
            case '%':
                out += QLatin1Char('%');
                break;
            default:
                dropped = true; // deprecated or unknown codes expand to nothing
            }
        }
        if (!out.isEmpty() || !dropped)
            args << out;
    }
    if (args.isEmpty())
        return {};
    if (!fileGiven)
        args << file;
    return args;
}

std::optional<TextEditorCommand> textEditorCommand(const QByteArray& nativePath, bool* pathPassable)
{
    const QString file = QFile::decodeName(nativePath);
    const bool passable = QFile::encodeName(file) == nativePath && !nativePath.isEmpty();
    if (pathPassable)
        *pathPassable = passable;
    if (!passable)
        return std::nullopt;
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QString url = QString::fromLatin1("file://" + QFile::encodeName(absolute).toPercentEncoding("/"));

    const QString mime = QStringLiteral("text/plain");
    QStringList removed;
    auto tryIds = [&](const QStringList& ids) -> std::optional<TextEditorCommand> {
        for (const QString& id : ids) {
            if (removed.contains(id))
                continue;
            if (const QString entry = findDesktopEntry(id); !entry.isEmpty()) {
                if (auto command = commandOfEntry(entry, absolute, url))
                    return command;
            }
        }
        return std::nullopt;
    };
    // The ids `group` of a key file lists for text/plain.
    auto idsIn = [&](const std::map<QString, Group>& groups, const QString& group) {
        const auto g = groups.find(group);
        if (g == groups.end())
            return QStringList();
        const auto it = g->second.find(mime);
        return it == g->second.end() ? QStringList() : splitIds(it->second);
    };
    // Each list is read once: defaults from all of them come before any added association.
    std::vector<std::map<QString, Group>> lists;
    for (const QString& list : mimeappsLists())
        lists.push_back(readKeyFile(list));
    for (const auto& groups : lists) {
        if (auto command = tryIds(idsIn(groups, QStringLiteral("Default Applications"))))
            return command;
    }
    for (const auto& groups : lists) {
        if (auto command = tryIds(idsIn(groups, QStringLiteral("Added Associations"))))
            return command;
        removed << idsIn(groups, QStringLiteral("Removed Associations"));
    }
    for (const QString& dir : dataDirs()) {
        const auto groups = readKeyFile(dir + QStringLiteral("/applications/mimeinfo.cache"));
        if (auto command = tryIds(idsIn(groups, QStringLiteral("MIME Cache"))))
            return command;
    }
    return std::nullopt;
}

OpenAsTextResult openAsText(const QByteArray& nativePath, QString* editor)
{
    bool passable = true;
    const std::optional<TextEditorCommand> command = textEditorCommand(nativePath, &passable);
    if (!passable)
        return OpenAsTextResult::NameNotPassable;
    if (!command)
        return OpenAsTextResult::NoTextEditor;
    if (editor)
        *editor = QFileInfo(command->program).fileName();
    return QProcess::startDetached(command->program, command->arguments, QDir::homePath())
               ? OpenAsTextResult::Started
               : OpenAsTextResult::StartFailed;
}
