#include "viewer/DiffLineKind.h"

DiffLineKind diffLineKind(QStringView line)
{
    if (line.startsWith(u'+') && !line.startsWith(u"+++"))
        return DiffLineKind::Added;
    if (line.startsWith(u'-') && !line.startsWith(u"---"))
        return DiffLineKind::Removed;
    if (line.startsWith(u"@@"))
        return DiffLineKind::HunkHeader;
    return DiffLineKind::Other;
}
