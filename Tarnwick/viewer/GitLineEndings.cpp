#include "viewer/GitLineEndings.h"

namespace {

struct TextStats
{
    qint64 crlf = 0;
    qint64 loneCr = 0;
    qint64 nul = 0;
    qint64 printable = 0;
    qint64 nonPrintable = 0;
};

// Counted as git's convert.c counts, so the text-or-binary guess is the same.
TextStats gatherStats(const QByteArray& bytes)
{
    TextStats stats;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') {
            if (i + 1 < size && bytes[i + 1] == '\n') {
                ++stats.crlf;
                ++i;
            } else {
                ++stats.loneCr;
            }
            continue;
        }
        if (c == '\n')
            continue;
        if (c == 127) {
            ++stats.nonPrintable;
        } else if (c < 32) {
            if (c == '\b' || c == '\t' || c == 033 || c == 014) {
                ++stats.printable;
            } else {
                if (c == 0)
                    ++stats.nul;
                ++stats.nonPrintable;
            }
        } else {
            ++stats.printable;
        }
    }
    // A final ^Z (an old DOS end-of-file mark) does not make a file binary.
    if (size >= 1 && bytes[size - 1] == '\032')
        --stats.nonPrintable;
    return stats;
}

bool looksBinary(const TextStats& stats)
{
    return stats.loneCr > 0 || stats.nul > 0 || (stats.printable >> 7) < stats.nonPrintable;
}

enum class Action { Undefined, Binary, Text, Auto };

Action actionOfTextValue(const QByteArray& value)
{
    if (value == "set" || value == "input")
        return Action::Text;
    if (value == "unset")
        return Action::Binary;
    if (value == "auto")
        return Action::Auto;
    return Action::Undefined;
}

} // namespace

EolConversion eolConversionOf(const QByteArray& text, const QByteArray& crlf, const QByteArray& eol,
                              const QByteArray& autocrlf)
{
    Action action = actionOfTextValue(text);
    if (action == Action::Undefined)
        action = actionOfTextValue(crlf); // the older name of the same attribute
    if (action != Action::Binary && (eol == "lf" || eol == "crlf") && action != Action::Auto)
        action = Action::Text; // eol alone makes a file text
    if (action == Action::Undefined) {
        const QByteArray setting = autocrlf.trimmed().toLower();
        if (setting == "input" || setting == "true" || setting == "yes" || setting == "on" || setting == "1")
            action = Action::Auto;
    }
    switch (action) {
    case Action::Text:
        return EolConversion::Text;
    case Action::Auto:
        return EolConversion::Auto;
    case Action::Undefined:
    case Action::Binary:
        break;
    }
    return EolConversion::None;
}

bool hasCrlfAsText(const QByteArray& indexed)
{
    if (!indexed.contains('\r'))
        return false;
    const TextStats stats = gatherStats(indexed);
    return !looksBinary(stats) && stats.crlf > 0;
}

QByteArray toGitLineEndings(const QByteArray& bytes, EolConversion conversion, bool indexHasCrlf)
{
    if (conversion == EolConversion::None || bytes.isEmpty())
        return bytes;
    const TextStats stats = gatherStats(bytes);
    if (stats.crlf == 0)
        return bytes;
    if (conversion == EolConversion::Auto && (looksBinary(stats) || indexHasCrlf))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        // After the guess there is no lone CR left, so text=auto drops every CR.
        if (bytes[i] == '\r' && (conversion == EolConversion::Auto || (i + 1 < size && bytes[i + 1] == '\n')))
            continue;
        out += bytes[i];
    }
    return out;
}
