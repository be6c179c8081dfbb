#pragma once

// The few text styles and named colours the views share, derived from the application font and
// palette so that they follow the desktop's settings and read well on light and dark themes.

#include <QColor>
#include <QFont>
#include <QPalette>

namespace TextStyles {

QFont headline();    // titles of the panel and the directories window
QFont subheadline(); // rule names, empty-state texts
QFont caption();     // paths
QFont caption2();    // ages, the watcher state, the warnings count

// Secondary text: between the text and the placeholder colour of the palette.
QColor secondary(const QPalette& palette);
void makeSecondary(QWidget* widget);

QColor green();
QColor red();
QColor yellow();

} // namespace TextStyles
