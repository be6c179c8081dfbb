#pragma once

// The `text` view: a file's content as UTF-8 with LF line ends, so that a rule's literal text is found
// whether the file was saved as UTF-16 or UTF-32 (with or without a byte order mark), with a UTF-8 BOM
// or with CRLF line ends. Code units that do not decode become U+FFFD; a lone CR is kept.

#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// Fills `out` and returns true when the text differs from the raw bytes; false (and `out` untouched in
// meaning) when the raw bytes already are the text. `out` never exceeds 1.5 times `raw`.
bool decodeText(std::string_view raw, std::string& out);

// Whether `raw` is UTF-16 or UTF-32 text (by its byte order mark or its pattern of NUL bytes), in which
// a byte is not a character.
bool isWideText(std::string_view raw);

// Appends one code point as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, std::uint32_t cp);

} // namespace tw
