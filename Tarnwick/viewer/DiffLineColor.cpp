#include "viewer/DiffLineColor.h"

#include "viewer/DiffLineKind.h"

QColor diffGreen()
{
    return QColor(0x2D, 0xA4, 0x4E);
}

QColor diffRed()
{
    return QColor(0xE5, 0x53, 0x4B);
}

QColor diffBlue()
{
    return QColor(0x4C, 0x8D, 0xF6);
}

QColor diffLineColor(QStringView line, const QPalette& palette)
{
    switch (diffLineKind(line)) {
    case DiffLineKind::Added:
        return diffGreen();
    case DiffLineKind::Removed:
        return diffRed();
    case DiffLineKind::HunkHeader:
        return diffBlue();
    case DiffLineKind::Other:
        break;
    }
    return palette.color(QPalette::Text);
}
