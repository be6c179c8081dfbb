#include "viewer/GitTreeEntries.h"

#include <QList>

#include <set>

namespace {

QList<QByteArray> records(const QByteArray& output)
{
    QList<QByteArray> list = output.split('\0');
    if (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

} // namespace

std::optional<std::vector<GitTreeEntry>> parseLsTree(const QByteArray& output)
{
    std::vector<GitTreeEntry> entries;
    for (const QByteArray& record : records(output)) {
        // <mode> SP <type> SP <oid> SP+ <size> TAB <path>
        const qsizetype tab = record.indexOf('\t');
        if (tab < 0)
            return std::nullopt;
        const QList<QByteArray> fields = record.left(tab).simplified().split(' ');
        if (fields.size() != 4)
            return std::nullopt;
        GitTreeEntry entry;
        entry.mode = fields[0];
        entry.type = fields[1];
        entry.oid = fields[2];
        bool ok = false;
        entry.size = fields[3] == "-" ? -1 : fields[3].toLongLong(&ok);
        if (fields[3] != "-" && !ok)
            return std::nullopt;
        entry.path = record.mid(tab + 1);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::vector<GitIndexEntry>> parseLsFiles(const QByteArray& output)
{
    std::vector<GitIndexEntry> entries;
    for (const QByteArray& record : records(output)) {
        // <mode> SP <oid> SP <stage> TAB <path>
        const qsizetype tab = record.indexOf('\t');
        if (tab < 0)
            return std::nullopt;
        const QList<QByteArray> fields = record.left(tab).split(' ');
        if (fields.size() != 3)
            return std::nullopt;
        bool ok = false;
        GitIndexEntry entry{fields[0], fields[1], fields[2].toInt(&ok), record.mid(tab + 1)};
        if (!ok)
            return std::nullopt;
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool isSafeRelativePath(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    }
    return true;
}

std::optional<QByteArray> pathHoldingAnother(const std::vector<QByteArray>& paths)
{
    const std::set<QByteArray> all(paths.begin(), paths.end());
    for (const QByteArray& path : paths) {
        for (qsizetype slash = path.indexOf('/'); slash > 0; slash = path.indexOf('/', slash + 1)) {
            if (all.count(path.left(slash)))
                return path.left(slash);
        }
    }
    return std::nullopt;
}
