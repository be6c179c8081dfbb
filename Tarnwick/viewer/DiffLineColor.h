#pragma once

#include <QColor>
#include <QPalette>
#include <QStringView>

// Named colours chosen to keep at least 3:1 contrast on both light and dark window backgrounds.
QColor diffGreen();
QColor diffRed();
QColor diffBlue();

// Green for added lines, red for removed ones, blue for hunk headers, the palette's text colour for
// everything else.
QColor diffLineColor(QStringView line, const QPalette& palette = QPalette());
