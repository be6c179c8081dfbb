#include "VisibleName.h"

#include <QChar>
#include <QStringView>

bool isHiddenNameCharacter(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Separator_Space:
        return c != U' ';
    default:
        break;
    }
    // Drawn blank or not at all, yet not in the categories above.
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 || c == 0x3164 ||
           c == 0xFFA0 || (c >= 0x180B && c <= 0x180F) || (c >= 0xFE00 && c <= 0xFE0F) ||
           (c >= 0xE0100 && c <= 0xE01EF) || c == 0x2800;
}

QString visibleName(const QString& name)
{
    QString shown;
    shown.reserve(name.size());
    const QStringView view(name);
    for (qsizetype i = 0; i < view.size();) {
        char32_t c = view[i].unicode();
        qsizetype length = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < view.size() && view[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(view[i], view[i + 1]);
            length = 2;
        }
        if (isHiddenNameCharacter(c))
            shown += QStringLiteral("\u27E8U+%1\u27E9").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += view.sliced(i, length);
        i += length;
    }
    return shown;
}
