#pragma once

// Where the matched lines of a file appear in what the viewer shows. The File tab shows line n as row
// n - 1; the Diff tab shows a line only where it is on the new side of a hunk (added or context),
// found by counting from the hunk headers.

#include <QList>
#include <QString>

#include <vector>

// Rows of the File tab for 1-based `lines`; lines below 1 are dropped.
std::vector<int> fileRowsOfLines(const QList<int>& lines);

// Rows of `diff` (split at "\n") that show one of `lines` of the file's current text. Only the first
// file of a diff is read: the viewer's lines belong to one file.
std::vector<int> diffRowsOfLines(const QString& diff, const QList<int>& lines);
