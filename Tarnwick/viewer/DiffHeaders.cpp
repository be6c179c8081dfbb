#include "viewer/DiffHeaders.h"

#include <QList>

#include <optional>

namespace {

const QByteArray kDiffGit = "diff --git ";

// "b/x" -> "a/x", and the same inside git's C-style quotes ("\"b/x\"").
QByteArray withSide(QByteArray name, char side)
{
    const qsizetype at = name.startsWith('"') ? 1 : 0;
    if (name.size() > at + 1 && name[at + 1] == '/')
        name[at] = side;
    return name;
}

QByteArray relabelLine(const QByteArray& line)
{
    const QByteArray rest = line.mid(kDiffGit.size());
    if (rest.size() % 2 == 0)
        return line;
    const qsizetype half = rest.size() / 2;
    if (rest[half] != ' ' || rest.left(half) != rest.mid(half + 1))
        return line;
    const QByteArray name = rest.left(half);
    return kDiffGit + withSide(name, 'a') + ' ' + withSide(name, 'b');
}

// git's C-style quoting undone ("\"a/\\303\\251\"" -> "a/\xc3\xa9"); a bare name is returned as it is.
QByteArray unquoted(const QByteArray& name)
{
    if (name.size() < 2 || !name.startsWith('"') || !name.endsWith('"'))
        return name;
    static const QByteArray kEscapes = "a\ab\bf\fn\nr\rt\tv\v\"\"\\\\";
    QByteArray out;
    for (qsizetype i = 1; i + 1 < name.size(); ++i) {
        if (name[i] != '\\' || i + 2 >= name.size()) {
            out += name[i];
            continue;
        }
        const char c = name[++i];
        if (c >= '0' && c <= '3' && i + 3 < name.size()) {
            out += static_cast<char>(((c - '0') << 6) | ((name[i + 1] - '0') << 3) | (name[i + 2] - '0'));
            i += 2;
            continue;
        }
        const qsizetype at = kEscapes.indexOf(c);
        out += at >= 0 && at % 2 == 0 ? kEscapes[at + 1] : c;
    }
    return out;
}

// The repository path a "diff --git" line names: both halves name one path, on side a or b.
std::optional<QByteArray> headerPath(const QByteArray& line)
{
    const QByteArray rest = line.mid(kDiffGit.size());
    if (rest.size() % 2 == 0 || rest[rest.size() / 2] != ' ')
        return std::nullopt;
    const QByteArray name = unquoted(rest.left(rest.size() / 2));
    if (name.size() < 2 || name[1] != '/')
        return std::nullopt;
    return name.mid(2);
}

QByteArray linkModeLine(const QByteArray& line, const LinkSides& sides)
{
    static const QByteArray kRegular = " 100644";
    if (!line.endsWith(kRegular))
        return line;
    const QByteArray head = line.left(line.size() - kRegular.size());
    const auto mode = [](bool link) { return QByteArray(link ? "120000" : "100644"); };
    if ((head == "old mode" || head == "deleted file mode") && sides.a)
        return head + " 120000";
    if ((head == "new mode" || head == "new file mode") && sides.b)
        return head + " 120000";
    if (!head.startsWith("index ") || (!sides.a && !sides.b))
        return line;
    if (sides.a && sides.b)
        return head + " 120000";
    return "old mode " + mode(sides.a) + "\nnew mode " + mode(sides.b) + '\n' + head;
}

} // namespace

QByteArray restoreLinkModes(const QByteArray& diff, const std::map<QByteArray, LinkSides>& links)
{
    if (links.empty())
        return diff;
    QList<QByteArray> lines = diff.split('\n');
    const LinkSides* sides = nullptr; // the current file's, while in its header
    for (QByteArray& line : lines) {
        if (line.startsWith(kDiffGit)) {
            const std::optional<QByteArray> path = headerPath(line);
            const auto found = path ? links.find(*path) : links.end();
            sides = found == links.end() ? nullptr : &found->second;
        } else if (line.startsWith("--- ") || line.startsWith("@@") || line.startsWith("Binary ")) {
            sides = nullptr;
        } else if (sides) {
            line = linkModeLine(line, *sides);
        }
    }
    return lines.join('\n');
}

QByteArray relabelNoIndexHeaders(const QByteArray& diff)
{
    // Hunk lines start with ' ', '+', '-', '@' or '\', so only git's own header lines can match.
    QByteArray out;
    out.reserve(diff.size() + 64);
    qsizetype start = 0;
    while (start < diff.size()) {
        qsizetype end = diff.indexOf('\n', start);
        const bool hasEnd = end >= 0;
        if (!hasEnd)
            end = diff.size();
        const QByteArray line = diff.mid(start, end - start);
        out += line.startsWith(kDiffGit) ? relabelLine(line) : line;
        if (hasEnd)
            out += '\n';
        start = end + 1;
    }
    return out;
}
