#pragma once

#include <QFrame>
#include <QPalette>

// The thin rule the windows draw between their header and their list, in the palette's mid tone so it
// follows light and dark themes.
inline QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}
