#pragma once

// Characters that draw nothing (or reorder what is drawn) can make a file read differently from what
// it does: bidirectional controls, zero-width characters, Unicode tag characters, control bytes and
// separators that a text view would turn into line breaks. The viewer shows each of them as a visible
// token such as "U+202E", highlighted, and everything else as stored. A run of tag characters smuggles
// ASCII, so it becomes one token that shows what it hides: "⟦hidden: ignore previous instructions⟧";
// the flags of England, Scotland and Wales, built from tags, are drawn as flags.

#include <QString>

#include <vector>

// True for a code point that is drawn as a token. `atStart`: the first character of the text, where
// U+FEFF is an ordinary byte order mark.
bool isInvisibleCodePoint(char32_t codePoint, bool atStart = false);

// "U+202E", "U+E0041": at least four upper-case hex digits.
QString invisibleMarkToken(char32_t codePoint);

// Around the decoded text of a run of tag characters. Not ASCII, so hidden text cannot close the mark.
inline constexpr char16_t kHiddenTextOpen = u'\u27E6';
inline constexpr char16_t kHiddenTextClose = u'\u27E7';

// One token in the display text: line (0-based, lines split at "\n"), start column and length, both
// in UTF-16 units of that line.
struct MarkSpan
{
    qsizetype line = 0;
    qsizetype column = 0;
    qsizetype length = 0;

    friend bool operator==(const MarkSpan&, const MarkSpan&) = default;
};

struct DisplayText
{
    QString text;                // lines separated by "\n" only, tokens in place of invisible characters
    std::vector<MarkSpan> marks; // in text order
};

// What happens to a "\r" right before "\n". A file's CRLF line ends are its line ends (Drop); in a
// diff they can be the whole change, and a diff line must show what the line holds (Mark).
enum class CrlfEnd { Drop, Mark };

// The text as the viewer draws it. A "\r" right before "\n" (a CRLF line end) is dropped or marked as
// `crlf` says, any other "\r" becomes a token, so the display has exactly the lines of splitting
// `text` at "\n". Without anything to replace, `text` is shared, not copied.
DisplayText makeDisplayText(const QString& text, CrlfEnd crlf = CrlfEnd::Drop);
