#pragma once

// The parts of git's plumbing output the diff loader reads: `ls-tree -r -l -z --full-name` and
// `ls-files -s -z --full-name`. Both name paths from the top of the work tree.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

struct GitTreeEntry
{
    QByteArray mode;  // "100644", "100755", "120000", "160000" ...
    QByteArray type;  // "blob", "commit" (a submodule)
    QByteArray oid;   // hex object name
    qint64 size = -1; // blob size; -1 when git gives none
    QByteArray path;  // as stored, not quoted (-z)
};

struct GitIndexEntry
{
    QByteArray mode;
    QByteArray oid;
    int stage = 0;
    QByteArray path;
};

// Entries in output order; nullopt when a record does not have the expected shape.
std::optional<std::vector<GitTreeEntry>> parseLsTree(const QByteArray& output);
std::optional<std::vector<GitIndexEntry>> parseLsFiles(const QByteArray& output);

// A path that can be recreated under a scratch folder: relative, no empty, "." or ".." component.
bool isSafeRelativePath(const QByteArray& path);

// The first path (in `paths`, sorted or not) that is also a folder of another path ("x" with "x/y"):
// a tree git cannot check out, and whose recreation would go through whatever "x" became.
std::optional<QByteArray> pathHoldingAnother(const std::vector<QByteArray>& paths);
