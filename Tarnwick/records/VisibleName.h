#pragma once

// How a name from the disk (a file or folder name, a path, a rule) is shown anywhere outside the file
// viewer's text: notifications, the panel's rows, window titles, tooltips, the directories window.
// A name can hold characters that draw nothing, move what follows (bidirectional overrides) or break
// the line ("\n" put "Scan complete: no threats found." on a line of its own in a notification). Each
// of those is shown as a visible token such as "⟨U+000A⟩", so what is shown is one line and reads in
// the order it is stored; every other character stays as it is.

#include <QString>

// True for a character shown as a token: controls, format characters (bidirectional controls,
// zero-width characters, tags), line and paragraph separators, spaces other than U+0020, variation
// selectors, fillers that draw blank, and lone surrogates.
bool isHiddenNameCharacter(char32_t codePoint);

QString visibleName(const QString& name);
