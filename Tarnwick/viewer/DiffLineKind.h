#pragma once

#include <QStringView>

enum class DiffLineKind { Added, Removed, HunkHeader, Other };

// First test that holds decides: "+" but not "+++" is added; "-" but not "---" is removed; "@@" is a
// hunk header; everything else (file headers, git's metadata, context, "\ No newline", "") is other.
// The start of the line is compared literally.
DiffLineKind diffLineKind(QStringView line);
