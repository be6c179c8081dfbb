#pragma once

#include <QByteArray>

#include <map>

// `git diff --no-index --no-prefix` run on the folders "a" and "b" already prints "a/<path>" and
// "b/<path>" like `git diff HEAD`, except on the first header line of an added or deleted file, where
// it repeats the one existing side ("diff --git b/x b/x"). This restores "diff --git a/x b/x" there
// and leaves every other line as git wrote it.
QByteArray relabelNoIndexHeaders(const QByteArray& diff);

// Which sides of a path were a symbolic link. The loader writes a link's target as a regular file,
// so git calls that side "100644"; this gives it back its mode "120000".
struct LinkSides
{
    bool a = false; // the committed side
    bool b = false; // the current side
};

// Restores the link modes in the headers of `git diff --no-index` output (before relabelling), the
// paths keyed as in the repository. A link that became a file, or a file a link, is shown as a mode
// change of one entry (git diff HEAD shows a deletion and an addition).
QByteArray restoreLinkModes(const QByteArray& diff, const std::map<QByteArray, LinkSides>& links);
