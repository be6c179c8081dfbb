#include "viewer/DiffHeaders.h"

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

} // namespace

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
