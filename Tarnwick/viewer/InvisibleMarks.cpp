#include "viewer/InvisibleMarks.h"

namespace {

bool inRange(char32_t c, char32_t first, char32_t last)
{
    return c >= first && c <= last;
}

bool isTagCharacter(char32_t c)
{
    return inRange(c, 0xE0000, 0xE007F);
}

char32_t codePointAt(QStringView text, qsizetype i, qsizetype& units)
{
    const QChar ch = text.at(i);
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(ch, text.at(i + 1));
    }
    units = 1;
    return ch.unicode();
}

// The flags of England, Scotland and Wales are the only tag sequences in everyday text; any other use
// of tag characters hides something.
qsizetype subdivisionFlagLength(QStringView text)
{
    static const QString flags[] = {
        QString::fromUcs4(U"\U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067\U000E007F"),
        QString::fromUcs4(U"\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F"),
        QString::fromUcs4(U"\U0001F3F4\U000E0067\U000E0062\U000E0077\U000E006C\U000E0073\U000E007F"),
    };
    for (const QString& flag : flags) {
        if (text.startsWith(flag))
            return flag.size();
    }
    return 0;
}

// The run of tag characters at the start of `text` as one mark with the ASCII it hides. Tags that
// stand for no printable character keep their code point, in brackets no hidden ASCII can forge.
QString tagRunMark(QStringView text, qsizetype& runUnits)
{
    QString mark = QChar(kHiddenTextOpen) + QStringLiteral("hidden: ");
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype units = 0;
        const char32_t c = codePointAt(text, i, units);
        if (!isTagCharacter(c))
            break;
        if (inRange(c, 0xE0020, 0xE007E))
            mark.append(QChar(static_cast<char16_t>(c - 0xE0000)));
        else
            mark.append(QChar(u'\u27E8') + invisibleMarkToken(c) + QChar(u'\u27E9'));
        i += units;
    }
    runUnits = i;
    mark.append(QChar(kHiddenTextClose));
    return mark;
}

} // namespace

bool isInvisibleCodePoint(char32_t c, bool atStart)
{
    if (c >= 0x20 && c < 0x7F) // printable ASCII, most of any text
        return false;
    if (c == U'\t' || c == U'\n')
        return false;
    // C0 and C1 controls and DEL: nothing sensible to draw; "\r" alone would end a line in the view.
    if (c < 0x20 || inRange(c, 0x7F, 0x9F))
        return true;
    if (c == 0xFEFF)
        return !atStart;
    return c == 0x00AD                     // soft hyphen
           || c == 0x034F                  // combining grapheme joiner
           || c == 0x061C                  // Arabic letter mark
           || inRange(c, 0x115F, 0x1160)   // Hangul fillers, used as invisible identifiers
           || c == 0x180E                  // Mongolian vowel separator
           || inRange(c, 0x200B, 0x200F)   // zero-width space, non-joiner, joiner, LRM, RLM
           || inRange(c, 0x2028, 0x202E)   // line/paragraph separators, bidi embeddings and overrides
           || inRange(c, 0x2060, 0x206F)   // word joiner, invisible operators, bidi isolates
           || c == 0x3164 || c == 0xFFA0   // Hangul fillers
           || inRange(c, 0xFDD0, 0xFDEF)   // noncharacters (a text document reads two as frame marks)
           || inRange(c, 0xFFF9, 0xFFFC)   // interlinear annotations, object replacement
           || inRange(c, 0xFFFE, 0xFFFF)   // noncharacters
           || inRange(c, 0x1D173, 0x1D17A) // musical formatting controls
           || inRange(c, 0xE0000, 0xE007F) // tag characters (hidden ASCII)
           || inRange(c, 0xE0100, 0xE01EF) // supplementary variation selectors (hidden bytes)
           || (c & 0xFFFE) == 0xFFFE;      // the noncharacters at the end of every plane
}

QString invisibleMarkToken(char32_t codePoint)
{
    return QStringLiteral("U+%1").arg(static_cast<uint>(codePoint), 4, 16, QLatin1Char('0')).toUpper();
}

DisplayText makeDisplayText(const QString& text, CrlfEnd crlfEnd)
{
    DisplayText out;
    const qsizetype size = text.size();
    qsizetype copiedUpTo = 0; // text[copiedUpTo, i) still has to be appended to out.text
    qsizetype line = 0;
    qsizetype lineStart = 0; // index in out.text (once copying started) or in text (before)
    bool copying = false;

    auto startCopying = [&](qsizetype i) {
        if (copying)
            return;
        copying = true;
        out.text.reserve(size + 64);
        out.text.append(QStringView(text).left(i));
        copiedUpTo = i;
    };

    for (qsizetype i = 0; i < size;) {
        const QChar ch = text.at(i);
        if (ch.unicode() >= 0x20 && ch.unicode() < 0x7F) {
            ++i;
            continue;
        }
        qsizetype units = 1;
        const char32_t cp = codePointAt(text, i, units);
        if (cp == 0x1F3F4) {
            // A well-formed flag is drawn as the flag; anything else after the black flag is marked.
            const qsizetype flag = subdivisionFlagLength(QStringView(text).mid(i));
            i += flag > 0 ? flag : units;
            continue;
        }
        if (cp == U'\n') {
            ++line;
            lineStart = copying ? out.text.size() + (i + 1 - copiedUpTo) : i + 1;
            i += 1;
            continue;
        }
        const bool crlf =
            crlfEnd == CrlfEnd::Drop && cp == U'\r' && i + 1 < size && text.at(i + 1) == QLatin1Char('\n');
        if (!crlf && !isInvisibleCodePoint(cp, i == 0) && !(units == 1 && ch.isSurrogate())) {
            i += units;
            continue;
        }
        startCopying(i);
        out.text.append(QStringView(text).mid(copiedUpTo, i - copiedUpTo));
        if (!crlf) {
            const QString token =
                isTagCharacter(cp) ? tagRunMark(QStringView(text).mid(i), units) : invisibleMarkToken(cp);
            out.marks.push_back({line, out.text.size() - lineStart, token.size()});
            out.text.append(token);
        }
        i += units;
        copiedUpTo = i;
    }
    if (!copying) {
        out.text = text;
        return out;
    }
    out.text.append(QStringView(text).mid(copiedUpTo));
    return out;
}
