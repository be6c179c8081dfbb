// Arbitrary bytes through the viewer's text handling: strict UTF-8, the display form of invisible
// characters, opening lines, git plumbing parsing and diff header relabelling. Checks the invariants
// the views rely on.

#include "viewer/DiffHeaders.h"
#include "viewer/GitTreeEntries.h"
#include "viewer/InvisibleMarks.h"
#include "viewer/TextLines.h"
#include "viewer/Utf8.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    parseLsTree(bytes);
    parseLsFiles(bytes);
    isSafeRelativePath(bytes);
    const QByteArray relabelled = relabelNoIndexHeaders(bytes);
    if (relabelled.count('\n') != bytes.count('\n'))
        std::abort();

    const QString text = decodeUtf8Strictly(bytes).value_or(QString::fromUtf8(bytes));
    const DisplayText display = makeDisplayText(text);
    // Same lines as the stored text, and every token where its span says.
    if (countLines(display.text) != countLines(text))
        std::abort();
    const QStringList lines = display.text.split(u'\n');
    for (const MarkSpan& mark : display.marks) {
        if (mark.line < 0 || mark.line >= lines.size())
            std::abort();
        const QString& line = lines[mark.line];
        if (mark.column < 0 || mark.length <= 0 || mark.column + mark.length > line.size())
            std::abort();
        const QStringView token = QStringView(line).mid(mark.column, mark.length);
        const bool hiddenText =
            token.startsWith(QChar(kHiddenTextOpen)) && token.endsWith(QChar(kHiddenTextClose));
        if (!token.startsWith(u"U+") && !hiddenText)
            std::abort();
    }
    // Nothing invisible is left in the display.
    for (qsizetype i = 0; i < display.text.size(); ++i) {
        const QChar ch = display.text.at(i);
        if (!ch.isSurrogate() && isInvisibleCodePoint(ch.unicode(), i == 0))
            std::abort();
    }
    const QString opening = openingLines(text, 3, 64);
    if (!text.startsWith(opening))
        std::abort();
    return 0;
}
