#pragma once

#include <QByteArray>

// `git diff --no-index --no-prefix` run on the folders "a" and "b" already prints "a/<path>" and
// "b/<path>" like `git diff HEAD`, except on the first header line of an added or deleted file, where
// it repeats the one existing side ("diff --git b/x b/x"). This restores "diff --git a/x b/x" there
// and leaves every other line as git wrote it.
QByteArray relabelNoIndexHeaders(const QByteArray& diff);
