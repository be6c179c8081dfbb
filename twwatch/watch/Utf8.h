#pragma once

// File names are arbitrary bytes; JSON is UTF-8. These helpers decide which is which.

#include <string>
#include <string_view>

namespace tw {

// Strict UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

std::string base64Encode(std::string_view bytes);

// A name made safe for a terminal: control characters (C0, DEL, C1), bidirectional overrides and
// isolates, and bytes that are not UTF-8 are written as \xNN or \u{NNNN}, a backslash as \\. A file
// name can then neither move the cursor, retitle the window nor start a fake line of its own.
std::string escapeForTerminal(std::string_view bytes);

} // namespace tw
